#include "sql/sql_tab.h"

#include <mysql.h>

#include <algorithm>

#include "platform/pf_text.h"
#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "sql/sql_recs.h"
#include "sql/sql_rpt.h"
#include "sql/sql_util.h"
#include "sql/sql_vali.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_idx.h"
#include "udb/udb_rec.h"
#include "udb/udb_rule.h"
#include "udb/udb_sche.h"

namespace {

// A batch never grows beyond this many bytes.
constexpr std::size_t max_batch = 1000000;
// Room the protocol needs around a statement within max_allowed_packet.
constexpr std::size_t packet_slack = 1024;

const char* const not_conforming =
    "The structure of data source does not conform to the destination table. For more information see "
    "Troubleshooting article of the product documentation.";

std::size_t read_packet_limit(MYSQL* m) {
    try {
        const auto v = sql_read_value(m, "SELECT @@max_allowed_packet");
        if (v) {
            const std::uint64_t n = std::stoull(*v);
            if (n > packet_slack) return static_cast<std::size_t>(n - packet_slack);
        }
    } catch (const std::exception& e) {
        tk_trace(2, "Cannot read max_allowed_packet: %s", e.what());
    }
    return 1024 * 1024 - packet_slack;  // the smallest default a server has
}

// True when a refused multi-row INSERT leaves nothing of itself in the table:
// the table's engine has transactions.
bool is_transactional(sql_database& db, const std::wstring& table) {
    const std::string statement =
        "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
        "ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = '" +
        db.escape(tk_to_utf8(db.name())) + "' AND t.TABLE_NAME = '" + db.escape(tk_to_utf8(table)) + "'";
    try {
        const auto v = sql_read_value(db.connection(), statement);
        return v && pf_ascii_upper(v->empty() ? 'N' : (*v)[0]) == 'Y';
    } catch (const std::exception& e) {
        tk_trace(2, "Cannot read the table's engine: %s", e.what());
        return false;
    }
}

}  // namespace

// ---- field finder -------------------------------------------------------------------------

sql_field_finder::sql_field_finder(const sql_dialect& dialect, const udb_record& record)
    : m_validator(sql_create_fn_validator(dialect, record)) {
    tk_trace(1, "sql_field_finder::ctor");
    tk_trace(1, "sql_field_finder::intialize");
    m_names.reserve(record.size());
    for (const udb_field& f : record) {
        const std::wstring& name = f.name.str();
        if (m_validator->is_acceptable(name)) {
            m_names.push_back(name);
            continue;
        }
        std::wstring safe = m_validator->get_safe_name(name);
        tk_trace_w(1, L"GOT SAFE NAME: %s->%s", name.c_str(), safe.c_str());
        m_validator->add_existing_name(safe);
        m_names.push_back(std::move(safe));
    }
}

sql_field_finder::~sql_field_finder() = default;

int sql_field_finder::get_field_idx(const std::wstring& name) const {
    tk_trace_w(1, L"sql_field_finder::get_field_idx(%s)", name.c_str());
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    return it == m_names.end() ? -1 : static_cast<int>(it - m_names.begin());
}

// ---- row writer ---------------------------------------------------------------------------

sql_row_writer::sql_row_writer(sql_database& db, const std::wstring& table_name, const udb_schema& schema,
                               const udb_indexes& indexes, int key_index)
    : m_db(db),
      m_dialect(db.engine().dialect()),
      m_table_name(table_name),
      m_qualified(db.qualified(table_name)),
      m_schema(schema),
      m_indexes(indexes),
      m_key_index(key_index),
      m_mode(db.connection(), "sql_mode", true) {
    tk_trace(2, "sql_row_writer::ctor");
    m_packet_limit = read_packet_limit(db.connection());
    m_batch_limit = std::min(max_batch, m_packet_limit);
    m_fast = db.engine().fast_insert() && is_transactional(db, table_name);
    begin();
}

sql_row_writer::~sql_row_writer() {
    if (!m_pending.empty())
        tk_trace(2, "sql_row_writer::dtor: %d rows not sent are discarded", static_cast<int>(m_rows.size()));
    // m_mode's destructor puts the session's mode back (a failure only traced).
}

void sql_row_writer::begin() {
    if (m_pinned) return;
    sql_use_writing_mode(m_mode, m_dialect.version);
    m_pinned = true;
}

bool sql_row_writer::plan::matches(const udb_record& record) const {
    if (record.size() != field_names.size()) return false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        // The plan keeps its names alive, so the same text object means the same name.
        const std::wstring& a = record[i].name.str();
        const std::wstring& b = field_names[i].str();
        if (&a != &b && a != b) return false;
    }
    return true;
}

sql_row_writer::plan sql_row_writer::make_plan(const udb_record& record) const {
    plan p;
    p.field_names.reserve(record.size());
    for (const udb_field& f : record) p.field_names.push_back(f.name);
    if (record.size() >= m_schema.size()) {
        tk_trace(1, "Size of schema is less or equal to the size of record");
        const sql_field_finder finder(m_dialect, record);
        for (const t_ftd* col : m_schema.columns()) {
            const int idx = finder.get_field_idx(col->name.str());
            if (idx < 0) {
                tk_trace_w(1, L"Field %s not found in appending record", col->name.c_str());
                throw tk_exception(not_conforming, 0);
            }
            p.field_of_column.push_back(idx);
            p.columns.push_back(col);
        }
    } else {
        tk_trace(1, "Size of record is less than size of schema");
        const std::unique_ptr<udb_validator> validator = sql_create_fn_validator(m_dialect, record);
        for (std::size_t i = 0; i < record.size(); ++i) {
            const std::wstring& name = record[i].name.str();
            std::wstring mapped = name;
            if (!validator->is_acceptable(name)) {
                mapped = validator->get_safe_name(name);
                validator->add_existing_name(mapped);
            }
            tk_trace_w(1, L"Name=%s, mapped name=%s", name.c_str(), mapped.c_str());
            if (!m_schema.find_field(mapped)) {
                tk_trace_w(1, L"Field %s not found", mapped.c_str());
                throw tk_exception(not_conforming, 0);
            }
            p.field_of_column.push_back(static_cast<int>(i));
            p.columns.push_back(&m_schema.get_field(mapped));
        }
    }
    p.head = "INSERT INTO " + m_qualified + " (";
    for (std::size_t c = 0; c < p.columns.size(); ++c) {
        if (c) p.head += ", ";
        p.head += m_dialect.quote(p.columns[c]->name.str());
        p.defaults.push_back(p.columns[c]->b_not_null ? tk_to_utf8(make_mysql_def_val(*p.columns[c], &m_dialect))
                                                      : std::string());
    }
    p.head += ") VALUES ";
    return p;
}

void sql_row_writer::build_row(const udb_record& record) {
    const plan& p = *m_plan;
    const bool rules = udb_custom_conversion::exists();
    m_row.clear();
    m_row.push_back('(');
    for (std::size_t c = 0; c < p.columns.size(); ++c) {
        if (c) m_row.append(", ", 2);
        const udb_field& field = record[static_cast<std::size_t>(p.field_of_column[c])];
        if (rules && udb_custom_conversion::is_acceptable2(field)) {
            m_row += tk_to_utf8(udb_custom_conversion::handle2(field));
            continue;
        }
        sql_append_field(m_row, field, p.columns[c]->b_not_null != 0, p.defaults[c]);
    }
    m_row.push_back(')');
}

void sql_row_writer::append(const udb_record& record, std::int64_t record_no) {
    tk_trace(1, "sql_row_writer::append");
    // A row its source could not read whole is not stored changed.
    if (record.refused()) throw tk_exception(record.refusal(), 0);
    begin();
    if (!m_plan || !m_plan->matches(record)) {
        plan next = make_plan(record);
        // Every row of a statement follows its column list.
        if (m_plan && next.head != m_plan->head) send_pending();
        m_plan = std::move(next);
    }
    build_row(record);
    const std::string& head = m_plan->head;
    if (head.size() + m_row.size() > m_packet_limit)
        throw tk_exception("The row needs a statement of " + std::to_string(head.size() + m_row.size()) +
                               " bytes, more than the server takes (max_allowed_packet)",
                           0);
    if (!m_fast) {
        m_statement.assign(head);
        m_statement += m_row;
        tk_trace(2, "Run SQL query: %s", m_statement.c_str());
        m_db.query_append(m_statement);
        return;
    }
    if (!m_pending.empty() && m_pending.size() + 2 + m_row.size() > m_batch_limit) send_pending();
    if (m_pending.empty()) {
        tk_trace(1, "Initialize new query...");
        m_pending = head;
    } else {
        m_pending.append(", ", 2);
    }
    const std::size_t begin_at = m_pending.size();
    m_pending += m_row;
    m_rows.push_back({begin_at, m_pending.size(), record_no});
    tk_trace(1, "*** FAST INSERT MODE ***");
    // A row that fills a batch on its own goes at once.
    if (m_pending.size() >= m_batch_limit) send_pending();
}

void sql_row_writer::report_refused(const tk_exception& error, std::int64_t record_no) {
    ++m_refused;
    m_db.engine().value_reports().report(error, m_table_name + L", record #" + std::to_wstring(record_no));
}

void sql_row_writer::send_one(const std::string& head, std::string_view row, std::int64_t record_no) {
    std::string statement;
    statement.reserve(head.size() + row.size());
    statement += head;
    statement += row;
    try {
        m_db.query_append(statement);
    } catch (const sql_exception& e) {
        if (e.connection_failed()) throw;
        report_refused(e, record_no);
    }
}

void sql_row_writer::send_pending() {
    if (m_pending.empty()) return;
    tk_trace(2, "Run SQL query: [%d rows, %d bytes]", static_cast<int>(m_rows.size()),
             static_cast<int>(m_pending.size()));
    std::string batch;
    batch.swap(m_pending);
    std::vector<pending_row> rows;
    rows.swap(m_rows);
    try {
        m_db.query_append(batch);
        return;
    } catch (const sql_exception& e) {
        if (e.connection_failed()) throw;
        tk_trace(2, "The batch was refused, sending its rows one by one: %s", e.server_text().c_str());
    }
    // The refused statement changed nothing (the engine has transactions):
    // each row again on its own finds the ones the server refuses.
    const std::string head = batch.substr(0, rows.front().begin);
    for (const pending_row& r : rows)
        send_one(head, std::string_view(batch).substr(r.begin, r.end - r.begin), r.record_no);
}

void sql_row_writer::complete() {
    tk_trace(2, "sql_row_writer::complete");
    send_pending();
    if (m_pinned) {
        m_pinned = false;
        m_mode.restore();
    }
}

void sql_row_writer::update(const udb_record& record) {
    tk_trace(1, "sql_table::update");
    if (m_key_index == -1) {
        tk_trace(1, "There's no primary/unique key");
        return;
    }
    tk_trace(1, "Step #1");
    if (m_key_index < 0 || static_cast<std::size_t>(m_key_index) >= m_indexes.size())
        throw tk_mail_assertion("sql_tab", 404);
    const udb_index& key = m_indexes[static_cast<std::size_t>(m_key_index)];
    tk_trace(1, "Step #2");
    begin();
    send_pending();  // the row to change may still be waiting in a batch
    const std::unique_ptr<udb_validator> validator = sql_create_fn_validator(m_dialect, record);
    tk_trace(1, "Step #3");
    std::string set, where;
    for (const udb_field& f : record) {
        tk_trace(1, "Step #4");
        const std::wstring& name = f.name.str();
        const std::wstring mapped = validator->is_acceptable(name) ? name : validator->get_safe_name(name);
        tk_trace_w(1, L"Got mappend fn: %s", mapped.c_str());
        if (!m_schema.find_field(mapped)) {
            tk_trace_w(1, L"Field '%s' is not found in schema", mapped.c_str());
            continue;
        }
        const bool in_key = std::find(key.field_names.begin(), key.field_names.end(), mapped) != key.field_names.end();
        std::string& list = in_key ? where : set;
        if (!list.empty()) list += in_key ? " AND " : ", ";
        list += m_dialect.quote(mapped);
        // A key of NULL matches NULL: <=> is equality that holds for NULL too.
        list += in_key ? " <=> " : "=";
        sql_append_literal(list, f);
    }
    if (where.empty()) {
        tk_trace(1, "Missing primary/unique key");
        return;
    }
    if (set.empty()) {
        tk_trace(1, "Nothing to update");
        return;
    }
    const std::string statement = "UPDATE " + m_qualified + " SET " + set + " WHERE " + where;
    tk_trace(2, "UPDATE QUERY: %s", statement.c_str());
    m_db.query_append(statement);
}

// ---- the table's writing operations -------------------------------------------------------

void sql_table::append_record(const udb_record& record) {
    tk_trace(1, "sql_table::append_record");
    if (!m_writer) m_writer = std::make_unique<sql_row_writer>(*m_db, m_table_name, m_schema, m_indexes, m_key_index);
    const std::int64_t refused_before = m_writer->refused();
    try {
        m_writer->append(record, ++m_appended);
    } catch (...) {
        m_rec_count -= m_writer->refused() - refused_before;
        throw;
    }
    m_rec_count += 1 - (m_writer->refused() - refused_before);
}

void sql_table::update(const udb_record& record) {
    if (!m_writer) m_writer = std::make_unique<sql_row_writer>(*m_db, m_table_name, m_schema, m_indexes, m_key_index);
    m_writer->update(record);
}

void sql_table::complete() {
    if (!m_writer) return;
    const std::int64_t refused_before = m_writer->refused();
    try {
        m_writer->complete();
    } catch (...) {
        m_rec_count -= m_writer->refused() - refused_before;
        throw;
    }
    m_rec_count -= m_writer->refused() - refused_before;
}
