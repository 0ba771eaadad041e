// The reading half of pgs_recordset: a table opened for reading, or a SELECT
// text, walked row by row through pgs_row_reader.
#include "postgres/pgs_recs.h"

#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_ftd.h"
#include "postgres/pgs_ident.h"
#include "postgres/pgs_pqxx.h"
#include "postgres/pgs_read.h"
#include "postgres/pgs_rkey.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

void fill_schema(udb_schema& schema, const std::vector<pgs_read_column>& columns) {
    for (const pgs_read_column& c : columns) {
        auto column = std::make_unique<pgs_ftd>(c.size, c.name, c.vt, c.not_null, c.type_name);
        column->reserved = c.subtype;
        schema.add(std::move(column));
    }
}

}  // namespace

pgs_recordset::pgs_recordset(pgs_database& db, const std::wstring& name, const std::wstring& sql)
    : udb_recordset(name, sql, true), m_engine(db.engine()), m_db_name(db.name()), m_relationships(db.relationships()) {
    tk_trace_w(2, L"pgs_recordset::pgs_recordset(%s)", name.c_str());
    m_bare_name = name;
    m_quoted = pgs_quote_ident(tk_to_utf8(name));
    m_reader = pgs_row_reader::query(m_engine.connection(), sql);
    fill_schema(m_schema, m_reader->columns());
    m_rec_count = m_reader->count();
    tk_trace(2, "Got %lld records", static_cast<long long>(m_rec_count));
}

void pgs_recordset::open_reader() {
    m_reader = pgs_row_reader::table(m_engine.connection(), m_schema_name, m_bare_name);
    fill_schema(m_schema, m_reader->columns());
    if (!m_schema.empty())
        init_indexes();
    else
        tk_trace(2, "Empty table");
    m_rec_count = m_reader->count();
    tk_trace(2, "Got %lld records", static_cast<long long>(m_rec_count));
}

pgs_row_reader& pgs_recordset::reader() {
    if (!m_reader) throw pgs_exception("Table " + m_quoted + " is open for appending, not for reading");
    return *m_reader;
}

void pgs_recordset::init_indexes() {
    if (reader().table_oid() == 0) return;  // a query has no keys of its own
    pgs_read_keys(reader(), *this, m_table_name, m_relationships);
}

void pgs_recordset::reset() {
    tk_trace(1, "pgs_recordset::reset");
    reader().restart();
}

void pgs_recordset::next() {
    tk_trace(1, "pgs_recordset::next");
    if (m_reader) m_reader->next();
}

bool pgs_recordset::is_eof() {
    const bool eof = !m_reader || m_reader->at_end();
    tk_trace(1, "pgs_recordset::is_eof(%d)", int(eof));
    return eof;
}

udb_record* pgs_recordset::get_item() {
    tk_trace(1, "pgs_recordset::get_item");
    return reader().current();
}
