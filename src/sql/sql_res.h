#pragma once
// Ownership of one MySQL result: freed (and any rows not fetched read and
// discarded) when the owner goes.
#include <memory>

struct st_mysql_res;

struct sql_result_free {
    void operator()(st_mysql_res* result) const noexcept;
};

using sql_result = std::unique_ptr<st_mysql_res, sql_result_free>;
