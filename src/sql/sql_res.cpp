#include "sql/sql_res.h"

#include <mysql.h>

void sql_result_free::operator()(MYSQL_RES* result) const noexcept { mysql_free_result(result); }

void sql_statement_close::operator()(MYSQL_STMT* statement) const noexcept { mysql_stmt_close(statement); }

void sql_connection_close::operator()(MYSQL* connection) const noexcept { mysql_close(connection); }
