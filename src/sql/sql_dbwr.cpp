// Writing into MySQL (tables, rows) is not part of this system's runs; these
// stand in until that side is built and refuse instead of pretending.
#include "sql/sql_db.h"
#include "sql/sql_recs.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

namespace {
[[noreturn]] void refuse()
{
    throw tk_exception("Writing into a MySQL database is not supported.", 1);
}
}  // namespace

std::unique_ptr<udb_recordset> sql_database::create_table(const std::wstring& name, const udb_schema&,
                                                          const udb_indexes&)
{
    tk_trace_w(2, L"sql_database::create_table(%s)", name.c_str());
    refuse();
}

void sql_table::append_record(const udb_record&)
{
    tk_trace(1, "sql_table::append_record");
    refuse();
}

void sql_table::complete()
{
    if (!m_pending_insert.empty()) refuse();
}
