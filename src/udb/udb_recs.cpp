#include "udb/udb_recs.h"

#include "tk/tk_log.h"

udb_recordset::udb_recordset(std::wstring table_name, bool owns_fields)
    : m_table_name(std::move(table_name)), m_schema(owns_fields) {}

udb_recordset::udb_recordset(std::wstring table_name, std::wstring query_text, bool owns_fields)
    : m_query_text(std::move(query_text)), m_table_name(std::move(table_name)), m_schema(owns_fields) {}

udb_recordset::~udb_recordset() = default;

void udb_recordset::update(const udb_record&) { tk_trace(1, "udb_recordset::update"); }

udb_record* udb_recordset::get_item() { return nullptr; }
bool udb_recordset::is_eof() { return true; }
bool udb_recordset::is_query() const { return !m_query_text.empty(); }
void udb_recordset::next() {}
void udb_recordset::prev() {}
void udb_recordset::reset() {}
void udb_recordset::complete() {}

void udb_recordset::add_index(const udb_index& index) {
    tk_trace_w(1, L"udb_recordset::add_index");
    if (!m_indexes.is_acceptable_name(index.name)) return;
    if (m_key_index == -1 && (index.b_primary || index.b_unique)) {
        tk_trace(1, "Store primary/unique key");
        m_key_index = static_cast<int>(m_indexes.size());
    }
    m_indexes.add(index);
}
