#include "udb/udb_db.h"

#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "udb/udb_text.h"

udb_database::udb_database(std::wstring name, int mode, bool b_case_sensitive)
    : m_mode(mode), m_name(std::move(name)), m_case_sensitive(b_case_sensitive ? 1 : 0) {
    tk_trace_w(1, L"udb_database::ctor(%s)", m_name.c_str());
}

udb_database::~udb_database() { tk_trace(1, "udb_database::dtor"); }

bool udb_database::names_equal(const std::wstring& a, const std::wstring& b) const {
    return m_case_sensitive ? a == b : udb_eq_nocase(a, b);
}

bool udb_database::delete_tab(const std::wstring& name) {
    tk_trace_w(1, L"udb_database::delete_tab (%s)", name.c_str());
    for (auto it = m_table_names.begin(); it != m_table_names.end(); ++it) {
        if (names_equal(*it, name)) {
            m_table_names.erase(it);
            return true;
        }
    }
    throw tk_mail_assertion("udb_db", 44);
}

std::unique_ptr<udb_recordset> udb_database::query_rs(const std::wstring&) { throw tk_mail_assertion("udb_db", 70); }

void udb_database::create_views(const udb_queries&) {}
void udb_database::create_relationships(const udb_relationships&) {}

bool udb_database::is_table_exist(const std::wstring& name) const {
    tk_trace_w(1, L"udb_database::is_table_exist(%s)", name.c_str());
    for (const std::wstring& entry : m_table_names) {
        tk_trace_w(1, L"Compare with %s", entry.c_str());
        if (names_equal(entry, name)) {
            tk_trace(1, "table exists");
            return true;
        }
    }
    tk_trace(1, "table not found");
    return false;
}

std::wstring udb_database::listed_name(const std::wstring& name) const {
    for (const std::wstring& entry : m_table_names)
        if (entry == name) return entry;
    for (const std::wstring& entry : m_table_names)
        if (names_equal(entry, name)) return entry;
    return name;
}

std::unique_ptr<udb_recordset> udb_database::create_table_from(const udb_table_source&, const std::wstring& name,
                                                               const udb_schema& schema, const udb_indexes& indexes) {
    return create_table(name, schema, indexes);
}

std::optional<udb_table_source> udb_database::table_source(const std::wstring&) const { return std::nullopt; }

std::vector<udb_sourced_table> udb_database::sourced_tables() const { return {}; }

void udb_database::begin_table(const std::wstring&) {}

void udb_database::end_table() noexcept {}
