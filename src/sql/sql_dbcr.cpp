// Creating and dropping MySQL databases (the destination side of the engine).
#include <mysql.h>

#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

std::unique_ptr<udb_database> sql_engine::create_db(const std::wstring& name)
{
    tk_trace_w(2, L"sql_engine::create_db (%s)", name.c_str());
    tk_trace_w(3, L"Creating MySQL database '%s'", name.c_str());
    execute("CREATE DATABASE " + quote(name));
    return open_db(name, 2);
}

void sql_engine::db_delete(const std::wstring& name)
{
    tk_trace_w(2, L"sql_engine::db_delete(%s)", name.c_str());
    tk_trace_w(3, L"Deleting MySQL database '%s'", name.c_str());
    try_statement("SET FOREIGN_KEY_CHECKS = 0", "Cannot turn off foreign key check: %s");
    execute("DROP DATABASE " + quote(name));
    try_statement("SET FOREIGN_KEY_CHECKS = 1", "Cannot turn on foreign key check: %s");
}
