#pragma once
// Ownership of one MySQL result: freed (and any rows not fetched read and
// discarded) when the owner goes; of one prepared statement: closed (its
// rows not fetched read and discarded) when the owner goes; and of one
// connection of its own: closed when the owner goes.
#include <memory>

struct st_mysql;
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

struct sql_connection_close {
    void operator()(st_mysql* connection) const noexcept;
};

using sql_connection = std::unique_ptr<st_mysql, sql_connection_close>;
