#include "sql/sql_db.h"

#include <mysql.h>

#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "sql/sql_recs.h"
#include "sql/sql_stmt.h"
#include "sql/sql_ver.h"
#include "sql/sql_view.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

sql_database::sql_database(sql_engine& engine, const std::wstring& name, int mode)
    : udb_database(name, mode, engine.case_sensitive_names()), m_engine(engine), m_count_link(engine) {
    tk_trace_w(2, L"sql_database::sql_database(%s, mode=%d)", name.c_str(), mode);
    init_tables();
    if ((mode & no_views_mode) == 0) {
        try {
            init_views();
        } catch (const sql_exception& e) {
            tk_trace(2, "ERROR1:\n%s", e.what());
        }
    }
}

st_mysql* sql_database::connection() const { return m_engine.handle(); }

sql_database::~sql_database() = default;

std::unique_ptr<sql_pending_count> sql_database::count_aside(const std::wstring& table) {
    return m_count_link.start("SELECT COUNT(*) FROM " + qualified(table));
}

void sql_database::init_tables() {
    tk_trace(2, "sql_database::init_tables");
    std::unique_ptr<sql_tmp_recordset> rs;
    if (!sql_gate::lists_full_tables(m_engine.server_version())) {
        tk_trace(2, "Extracting tables in old way");
        sql_result res(mysql_list_tables(connection(), nullptr));
        if (!res) throw sql_exception(connection());
        rs = std::make_unique<sql_tmp_recordset>(std::move(res), m_engine);
    } else {
        tk_trace(2, "Extracting tables in new way");
        rs = query_tmp(sql_full_tables_stmt());
    }
    if (!rs) return;
    for (; !rs->is_eof(); rs->next()) {
        std::wstring table = (*rs->get_item())[0].to_wstring();
        tk_trace_w(2, L"Got table name: '%s'", table.c_str());
        m_table_names.push_back(std::move(table));
    }
}

void sql_database::init_views() {
    tk_trace(2, "sql_database::init_views");
    auto rs = query_tmp(sql_views_stmt(escape(tk_to_utf8(m_name))));
    if (!rs) return;
    for (; !rs->is_eof(); rs->next()) {
        const udb_record& row = *rs->get_item();
        std::wstring view = row[0].to_wstring();
        tk_trace_w(2, L"Got query name: '%s'", view.c_str());
        std::wstring text = row[1].to_wstring();
        tk_trace_w(2, L"Got query SQL: '%s'", text.c_str());
        m_queries.emplace(std::move(view), refine_view_out(text));  // the first text of a name stays
    }
}

std::wstring sql_database::refine_view_out(const std::wstring& text) const { return sql_refine_view_out(m_name, text); }

std::string sql_database::escape(const std::string& utf8) const {
    std::string out(utf8.size() * 2 + 1, '\0');
    const unsigned long n = mysql_real_escape_string(connection(), out.data(), utf8.data(), utf8.size());
    out.resize(n);
    return out;
}

std::unique_ptr<udb_recordset> sql_database::get_table(const std::wstring& name, int mode) {
    tk_trace_w(2, L"sql_database::get_table (%s)", name.c_str());
    if (!is_table_exist(name)) throw tk_mail_assertion("sql_db", 120);
    return std::make_unique<sql_table>(*this, name, m_relationships, rows_of(mode));
}

sql_rows sql_database::rows_of(int mode) {
    if (opens_for_writing(mode) || mode == definitions_mode) return sql_rows::none;
    return mode == rows_when_read_mode ? sql_rows::when_read : sql_rows::on_opening;
}

std::unique_ptr<udb_recordset> sql_database::get_query(const std::wstring& name, const std::wstring& sql, int mode) {
    tk_trace_w(2, L"sql_database::get_query(%s,%s)", name.c_str(), sql.c_str());
    return std::make_unique<sql_recordset>(*this, name, sql, m_relationships, rows_of(mode));
}

bool sql_database::query(const std::wstring& sql) {
    tk_trace_w(2, L"sql_database::query(%s)", sql.c_str());
    std::string utf8;
    if (!tk_w2a(sql, utf8)) return false;
    if (mysql_real_query(connection(), utf8.data(), utf8.size()) != 0) return false;
    const sql_result rows(mysql_use_result(connection()));  // read and discarded
    return true;
}

std::unique_ptr<udb_recordset> sql_database::query_rs(const std::wstring& sql) {
    tk_trace_w(2, L"sql_database::query(%s)", sql.c_str());
    return query_tmp(tk_to_utf8(sql));
}

std::unique_ptr<sql_tmp_recordset> sql_database::query_tmp(const std::string& utf8_sql) {
    sql_result res = do_query2(utf8_sql);
    if (mysql_errno(connection())) throw sql_exception(connection()).set_statement(utf8_sql);
    if (!res) return nullptr;
    return std::make_unique<sql_tmp_recordset>(std::move(res), m_engine);
}

sql_result sql_database::do_query2(const std::string& utf8_sql) {
    tk_trace(1, "sql_database::do_query2(%s)", utf8_sql.c_str());
    if (mysql_real_query(connection(), utf8_sql.data(), utf8_sql.size()) != 0) return nullptr;
    return sql_result(mysql_use_result(connection()));
}

// ---- the streamed statement ---------------------------------------------------------

sql_database::sql_limited_query::sql_limited_query(sql_database& db, const std::string& utf8_sql, protocol how)
    : m_engine(db.engine()), m_reports(db.engine().value_reports()), m_statement(utf8_sql) {
    tk_trace(1, "sql_database::sql_limited_query::sql_limited_query(%s)", utf8_sql.c_str());
    if (how == protocol::binary) {
        m_binary = std::make_unique<sql_binary_rows>(m_engine.handle(), utf8_sql);
        m_field_count = m_binary->field_count();
        m_fields = m_binary->fields();
    } else {
        m_result = db.do_query2(utf8_sql);
        if (!m_result) {
            if (mysql_errno(m_engine.handle())) throw sql_exception(m_engine.handle()).set_statement(utf8_sql);
            throw sql_exception("The statement returns no rows: " + utf8_sql, 0);
        }
        m_field_count = mysql_num_fields(m_result.get());
        m_fields = mysql_fetch_fields(m_result.get());
    }
    m_columns = sql_read_columns(m_fields, m_field_count, db.engine().blob_as_text());
}

sql_database::sql_limited_query::~sql_limited_query() {
    tk_trace(1, "sql_database::sql_limited_query::~sql_limited_query");
}

void sql_database::sql_limited_query::abandon() noexcept {
    if (at_end()) return;
    tk_trace(2, "sql_database::sql_limited_query::abandon");
    // Reading the rest of a large table only to drop it would keep a stopped
    // run waiting. Should the server not be reached, the rows are read
    // after all.
    m_engine.interrupt_statement();
    m_binary.reset();
    m_result.reset();
}

std::size_t sql_database::sql_limited_query::store_to(window* win, const std::wstring& source,
                                                      std::int64_t first_record) {
    tk_trace(1, "sql_database::sql_limited_query::store_to");
    if (!win) throw tk_mail_assertion("sql_db", 59);
    tk_trace(1, "Step #1");
    std::size_t n = 0;
    std::size_t bytes = 0;
    while (m_binary && n < window_size && bytes < window_bytes) {
        std::unique_ptr<sql_record>& slot = (*win)[n];
        if (!slot) slot = std::make_unique<sql_record>();
        if (!m_binary->fetch(*slot, m_columns,
                             sql_row_origin{&source, first_record + static_cast<std::int64_t>(n), &m_reports}, bytes)) {
            m_binary.reset();  // the end of the rows: the statement is closed
            break;
        }
        ++n;
    }
    while (m_result && n < window_size && bytes < window_bytes) {
        MYSQL_ROW row = mysql_fetch_row(m_result.get());
        if (!row) {
            // The end of the rows, or a connection that broke off mid-table.
            if (mysql_errno(m_engine.handle())) throw sql_exception(m_engine.handle()).set_statement(m_statement);
            m_result.reset();
            break;
        }
        const unsigned long* lengths = mysql_fetch_lengths(m_result.get());
        for (unsigned i = 0; i < m_field_count; ++i) bytes += lengths[i];
        std::unique_ptr<sql_record>& slot = (*win)[n];
        if (!slot) slot = std::make_unique<sql_record>();
        slot->fill(m_columns, lengths, row,
                   sql_row_origin{&source, first_record + static_cast<std::int64_t>(n), &m_reports});
        tk_trace(1, "Step #2.%d", static_cast<int>(n));
        ++n;
    }
    return n;
}
