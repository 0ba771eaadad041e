#pragma once
// Ownership of one MySQL result: freed (and any rows not fetched read and
// discarded) when the owner goes; and of one prepared statement: closed (its
// rows not fetched read and discarded) when the owner goes.
#include <memory>

struct st_mysql_res;
struct st_mysql_stmt;

struct sql_result_free {
    void operator()(st_mysql_res* result) const noexcept;
};

using sql_result = std::unique_ptr<st_mysql_res, sql_result_free>;

struct sql_statement_close {
    void operator()(st_mysql_stmt* statement) const noexcept;
};

using sql_statement = std::unique_ptr<st_mysql_stmt, sql_statement_close>;
