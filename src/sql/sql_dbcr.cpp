// Creating and dropping MySQL databases (the destination side of the engine).
#include <mysql.h>

#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "sql/sql_sess.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

std::unique_ptr<udb_database> sql_engine::create_db(const std::wstring& name) {
    tk_trace_w(2, L"sql_engine::create_db (%s)", name.c_str());
    tk_trace_w(3, L"Creating MySQL database '%s'", name.c_str());
    execute("CREATE DATABASE " + quote(name));
    return open_db(name, 2);
}

void sql_engine::db_delete(const std::wstring& name) {
    tk_trace_w(2, L"sql_engine::db_delete(%s)", name.c_str());
    tk_trace_w(3, L"Deleting MySQL database '%s'", name.c_str());
    // The session gets back the checks it had, whatever happens to the drop.
    sql_session_setting checks(handle(), "FOREIGN_KEY_CHECKS", false);
    try {
        checks.change("0");
    } catch (const tk_exception& e) {
        tk_trace(2, "Cannot turn off foreign key check: %s", e.what());
    }
    execute("DROP DATABASE " + quote(name));
    try {
        checks.restore();
    } catch (const tk_exception& e) {
        tk_trace(2, "Cannot turn on foreign key check: %s", e.what());
    }
}
