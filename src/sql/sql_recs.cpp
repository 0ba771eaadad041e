#include "sql/sql_recs.h"

#include <mysql.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "platform/pf_utf8.h"
#include "sql/sql_dflt.h"
#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "sql/sql_qchk.h"
#include "sql/sql_tab.h"
#include "sql/sql_ver.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_text.h"

namespace {

// Rows of a statement, fetched and dropped: the count of a SELECT that cannot
// stand inside COUNT(*) (two output columns of the same name).
std::int64_t count_rows(sql_database& db, const std::string& sql) {
    MYSQL* m = db.connection();
    const sql_result res = db.do_query2(sql);
    if (!res) {
        if (mysql_errno(m)) throw sql_exception(m).set_statement(sql);
        return 0;
    }
    std::int64_t n = 0;
    while (mysql_fetch_row(res.get())) ++n;
    if (mysql_errno(m)) throw sql_exception(m).set_statement(sql);
    return n;
}

std::int64_t first_cell_as_count(sql_tmp_recordset* rs) {
    if (!rs || rs->is_eof() || rs->get_item()->empty()) return 0;
    const std::string text = (*rs->get_item())[0].to_string();
    std::int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

// UTF-8 without NUL: text a value can hold.
bool is_text(std::string_view s) {
    bool nul = false;
    return pf_utf8::count_without_nul(s, nul) != std::string_view::npos;
}

// A catalogue text for the trace: bytes that are not printable ASCII as \xHH.
std::string printable(std::string_view s) {
    std::string out;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out.push_back(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out;
}

bool is_zero_date_default(const std::wstring& s) {
    return s.empty() || s == L"0000-00-00" || s == L"0000-00-00 00:00:00" || s == L"00000000000000";
}

// A BIT default as SHOW COLUMNS gives it: b'101'.
bool parse_bit_literal(const std::wstring& s, std::uint64_t& out) {
    if (s.size() < 3 || (s[0] != L'b' && s[0] != L'B') || s[1] != L'\'' || s.back() != L'\'') return false;
    out = 0;
    for (std::size_t i = 2; i + 1 < s.size(); ++i) {
        if (s[i] != L'0' && s[i] != L'1') return false;
        out = (out << 1) | (s[i] == L'1' ? 1u : 0u);
    }
    return true;
}

// CHAR, ENUM and SET: the metadata length counts bytes, the characters times
// the longest character of the result's character set; the column holds
// characters (as VARCHAR's declared length does).
std::uint32_t length_in_characters(const MYSQL_FIELD& f) {
    const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(f.charsetnr);
    const unsigned long per_char = cs && cs->char_maxlen > 1 ? cs->char_maxlen : 1;
    return static_cast<std::uint32_t>((f.length + per_char - 1) / per_char);
}

// The metadata length of a FLOAT column.
constexpr std::uint32_t float_length = 12;

std::string lower_ascii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The numbers of a SHOW COLUMNS type written "name(a)" or "name(a,b)"; false
// unless all N are there.
template <std::size_t N>
bool type_numbers(std::string_view type, std::string_view name, std::array<int, N>& numbers) {
    if (!type.starts_with(name) || type.substr(name.size(), 1) != "(") return false;
    const char* p = type.data() + name.size() + 1;
    const char* const end = type.data() + type.size();
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0 && (p == end || *p++ != ',')) return false;
        const auto [next, ec] = std::from_chars(p, end, numbers[i]);
        if (ec != std::errc()) return false;
        p = next;
    }
    return true;
}

// FLOAT(p, s) with 0 < s < p is carried as a decimal (refine_columns).
bool is_decimal_float(const std::array<int, 2>& precision_scale) {
    const auto [p, s] = precision_scale;
    return p != 0 && s != 0 && s < p;
}

// A SHOW COLUMNS type that is a FLOAT carried as one: "float", "float unsigned",
// "float(10,0)".
bool is_float_type(const std::string& type) {
    if (type.compare(0, 5, "float") != 0) return false;
    if (type.size() > 5 && type[5] != ' ' && type[5] != '(') return false;
    std::array<int, 2> precision_scale{};
    return !(type_numbers(type, "float", precision_scale) && is_decimal_float(precision_scale));
}

}  // namespace

// ---- snapshot -------------------------------------------------------------------------

sql_snapshot::sql_snapshot(sql_database& db) : m_engine(db.engine()) {
    const std::uint32_t v = db.engine().server_version();
    const std::string isolation = sql_isolation_stmt(v);
    const std::string start = sql_snapshot_stmt(v);
    if (start.empty()) return;
    if (mysql_query(m_engine.handle(), isolation.c_str()) != 0)
        tk_trace(2, "Cannot set the isolation level: %s", mysql_error(m_engine.handle()));
    if (mysql_query(m_engine.handle(), start.c_str()) != 0) {
        tk_trace(2, "Cannot start a consistent snapshot: %s", mysql_error(m_engine.handle()));
        return;
    }
    m_active = true;
}

sql_snapshot::~sql_snapshot() {
    if (m_active && mysql_query(m_engine.handle(), "COMMIT") != 0)
        tk_trace(2, "Cannot end the consistent snapshot: %s", mysql_error(m_engine.handle()));
}

// ---- sql_recordset --------------------------------------------------------------------

sql_recordset::sql_recordset(sql_database& db, const std::wstring& table_name, udb_relationships& relationships)
    : udb_recordset(table_name, true), m_db(&db), m_relationships(&relationships) {
    tk_trace(2, "sql_recordset::sql_recordset1");
    m_snapshot = std::make_unique<sql_snapshot>(db);
    initialize();
}

sql_recordset::sql_recordset(sql_database& db, const std::wstring& name, const std::wstring& sql,
                             udb_relationships& relationships, sql_rows rows)
    : udb_recordset(name, sql, true), m_db(&db), m_relationships(&relationships) {
    tk_trace(2, "sql_recordset::sql_recordset2");
    // Before anything of it reaches the server to run: the count and the
    // rows would each run a statement that is not a query.
    const std::string statement = source_sql();
    sql_require_query(sql_check_query(db.connection(), statement), name, statement);
    m_catalogue_only = rows == sql_rows::none;
    m_rows_when_read = rows == sql_rows::when_read;
    if (!m_catalogue_only) m_snapshot = std::make_unique<sql_snapshot>(db);
    initialize();
}

sql_recordset::sql_recordset(deferred, sql_database& db, const std::wstring& table_name,
                             udb_relationships& relationships)
    : udb_recordset(table_name, true), m_db(&db), m_relationships(&relationships) {
    tk_trace(2, "sql_recordset::sql_recordset1");
}

sql_recordset::~sql_recordset() {
    tk_trace(1, "sql_recordset::dtor");
    clean();
}

void sql_recordset::abandon() noexcept {
    m_pending_count.reset();
    if (m_stream) m_stream->abandon();
}

bool sql_recordset::rec_count_arrived() { return !m_pending_count || m_pending_count->arrived(); }

std::optional<std::int64_t> sql_recordset::wait_rec_count() {
    if (m_pending_count) {
        const std::optional<std::int64_t> counted = m_pending_count->wait();
        m_pending_count.reset();
        m_count_failed = !counted;
        if (counted) m_rec_count = *counted;
    }
    if (m_count_failed) return std::nullopt;
    return m_rec_count;
}

std::string sql_recordset::source_sql() const {
    if (is_query()) return sql_trim_query(tk_to_utf8(m_query_text));
    if (!m_select_sql.empty()) return m_select_sql;
    return sql_select_table_stmt(tk_to_utf8(m_table_name), m_db->engine().server_version());
}

std::int64_t sql_recordset::get_rec_count() {
    tk_trace(2, "sql_recordset::get_rec_count");
    if (!is_query()) {
        auto rs = m_db->query_tmp(sql_count_table_stmt(tk_to_utf8(m_table_name), m_db->engine().server_version()));
        return first_cell_as_count(rs.get());
    }
    const std::string query = tk_to_utf8(m_query_text);
    try {
        auto rs = m_db->query_tmp(sql_count_query_stmt(query));
        return first_cell_as_count(rs.get());
    } catch (const sql_exception& e) {
        // A SELECT with two output columns of the same name cannot be a
        // derived table; its rows are counted by reading them once.
        tk_trace(2, "Counting the rows of the query itself: %s", e.what());
    }
    return count_rows(*m_db, sql_trim_query(query));
}

void sql_recordset::initialize() {
    describe();
    start_reading();
}

void sql_recordset::describe() {
    tk_trace(2, "sql_recordset::initialize");
    clean();
    // A table being read is counted on the side connection while its rows
    // stream on this one; anything else is counted here first.
    m_pending_count.reset();
    m_count_failed = false;
    if (!is_query() && !m_catalogue_only) m_pending_count = m_db->count_aside(m_table_name);
    if (!m_pending_count) {
        m_rec_count = get_rec_count();
        tk_trace(1, "get_rec_count returns %lld", static_cast<long long>(m_rec_count));
    }

    open_stream();
    const MYSQL_FIELD* fields = m_stream->fields();
    const sql_columns& cols = m_stream->columns();
    for (unsigned i = 0; i < m_stream->field_count(); ++i) {
        tk_trace(1, "Processing field #%d", static_cast<int>(i + 1));
        const MYSQL_FIELD& f = fields[i];
        const sql_column& col = cols[i];
        std::uint32_t subtype = 0;
        if (f.type == MYSQL_TYPE_DATETIME)
            subtype = 1;
        else if (f.type == MYSQL_TYPE_DATE)
            subtype = 2;
        else if (f.type == MYSQL_TYPE_TIME)
            subtype = 3;
        else if (col.vt == VT_I8)
            subtype = 1;
        else if (col.vt == VT_UI8)
            subtype = 2;
        std::uint32_t size = static_cast<std::uint32_t>(f.length);
        if (f.type == MYSQL_TYPE_STRING && col.how == sql_column::path::text) size = length_in_characters(f);
        VARTYPE vt = col.vt;
        bool not_null = (f.flags & sql_mysql::not_null_flag) != 0;
        bool auto_increment = (f.flags & sql_mysql::auto_increment_flag) != 0;
        for (const float_column& fc : m_float_columns)
            if (fc.index == i) {
                size = float_length;
                vt = VT_R4;
                not_null = fc.not_null;
                auto_increment = fc.auto_increment;
            }
        tk_trace(2, "GOT FIELD: name=%s, type=%d, size=%d", f.name, static_cast<int>(f.type),
                 static_cast<int>(f.length));
        if (f.type >= MYSQL_TYPE_TINY_BLOB && f.type <= MYSQL_TYPE_BLOB && col.vt == VT_BSTR)
            tk_trace(2, "Change type from BLOB to TEXT");
        if (f.type == MYSQL_TYPE_DECIMAL || f.type == MYSQL_TYPE_NEWDECIMAL) {
            tk_trace(1, "Scale/precision: (%d,%d)", static_cast<int>(f.decimals), static_cast<int>(f.length));
            // The length counts the decimal point when there are decimals, and
            // the sign unless the column is UNSIGNED.
            long precision = static_cast<long>(f.length);
            if (f.decimals > 0) --precision;
            if (!(f.flags & sql_mysql::unsigned_flag)) --precision;
            if (precision < 1) precision = 1;
            subtype = f.decimals + (static_cast<std::uint32_t>(precision) << 8);
        }
        m_schema.add(std::make_unique<t_ftd>(size, col.name, vt, not_null, auto_increment, ole_variant(), subtype));
    }
    // Described only: a table's statement returned no rows. A query's text
    // cannot be limited from outside without changing what its columns are:
    // it ran whole, and its result is let go with no row made into a record,
    // so no value of it is judged.
    if (m_catalogue_only) m_stream.reset();
}

void sql_recordset::start_reading() {
    mark_not_null_columns();
    m_first_window = false;
    m_rows_pending = m_stream != nullptr;
    if (!m_rows_when_read) begin_rows();
}

void sql_recordset::begin_rows() {
    if (!m_rows_pending) return;
    m_rows_pending = false;
    load_window();
    m_first_window = true;
}

void sql_recordset::open_stream() {
    // A table's rows come with the binary protocol; a query's keep the text
    // protocol, as written SELECTs of any kind stand there.
    using protocol = sql_database::sql_limited_query::protocol;
    const bool binary =
        !is_query() && !m_catalogue_only && sql_gate::reads_binary_rows(m_db->engine().server_version());
    const bool no_rows = m_catalogue_only && !is_query();
    m_stream = std::make_unique<sql_database::sql_limited_query>(
        *m_db, no_rows ? source_sql() + " LIMIT 0" : source_sql(), binary ? protocol::binary : protocol::text);
    for (const float_column& fc : m_float_columns)
        if (fc.index < m_stream->field_count() && m_stream->fields()[fc.index].type == MYSQL_TYPE_DOUBLE)
            m_stream->read_float_exact(fc.index);
    mark_not_null_columns();
}

void sql_recordset::mark_not_null_columns() {
    if (!m_stream) return;
    const std::size_t n = std::min<std::size_t>(m_stream->field_count(), m_schema.size());
    for (std::size_t i = 0; i < n; ++i) {
        const t_ftd& col = *m_schema[i];
        m_stream->set_not_null(static_cast<unsigned>(i), col.b_not_null || col.b_auto_increment);
    }
}

void sql_recordset::clean() {
    tk_trace(2, "sql_recordset::clean");
    // The records stay allocated so the next window refills them.
    m_filled = 0;
}

void sql_recordset::drop_rows_after(std::uint32_t filled) noexcept {
    // A window cut short by large rows leaves older rows in the slots behind
    // it; their values are not kept alive until the slots fill again.
    for (std::size_t i = filled; i < m_window.size() && m_window[i]; ++i) m_window[i].reset();
}

void sql_recordset::load_window() {
    clean();
    m_first_window = false;
    if (!m_stream || m_stream->at_end()) return;
    try {
        m_filled = static_cast<std::uint32_t>(m_stream->store_to(&m_window, m_table_name, m_rows_read + 1));
        if (m_filled < window_size) drop_rows_after(m_filled);
    } catch (...) {
        m_filled = 0;
        m_stream.reset();
        throw;
    }
    m_rows_read += m_filled;
    if (m_stream->at_end() && !m_pending_count && !m_count_failed && m_rows_read != m_rec_count)
        tk_trace(2, "Counted %lld rows, read %lld", static_cast<long long>(m_rec_count),
                 static_cast<long long>(m_rows_read));
}

void sql_recordset::append_record(const udb_record&) {
    tk_trace(1, "sql_recordset::append_record");
    throw tk_mail_assertion("sql_recs", 172);
}

udb_record* sql_recordset::get_item() {
    begin_rows();
    if (m_before_window || m_win_pos >= m_filled) return nullptr;
    return m_window[m_win_pos].get();
}

bool sql_recordset::is_eof() {
    begin_rows();
    // The stream decides: a slot left empty means the result has ended, also
    // when the table shrank below its count.
    return m_before_window == 0 && m_win_pos >= m_filled;
}

void sql_recordset::next() {
    tk_trace(1, "sql_recordset::next");
    begin_rows();
    if (m_before_window) {
        --m_before_window;
        ++m_abs_pos;
        return;
    }
    if (m_win_pos >= m_filled) return;  // at the end already
    if (m_win_pos + 1 < m_filled || !m_stream || m_stream->at_end()) {
        ++m_win_pos;  // the next slot, or past the last row of the result
    } else {
        load_window();
        m_win_pos = 0;
    }
    ++m_abs_pos;
}

void sql_recordset::prev() {
    tk_trace(1, "sql_recordset::prev");
    begin_rows();
    if (m_abs_pos == 0) return;
    if (m_win_pos > 0 && m_before_window == 0)
        --m_win_pos;
    else
        ++m_before_window;  // rows before the window are gone; get_item gives none
    --m_abs_pos;
}

void sql_recordset::reset() {
    tk_trace(1, "sql_recordset::reset");
    m_abs_pos = 0;
    m_win_pos = 0;
    m_before_window = 0;
    // The stream stands before its first row, or the window still holds the
    // first rows with the stream right behind them: that is exactly where a
    // new read would stand.
    if (m_rows_pending) {
        begin_rows();
        return;
    }
    if (m_first_window) return;
    // Described only: there are no rows to read again.
    if (m_catalogue_only) return;
    m_stream.reset();
    m_rows_read = 0;
    open_stream();
    load_window();
    m_first_window = true;
}

// ---- sql_table --------------------------------------------------------------------------

sql_table::sql_table(sql_database& db, const std::wstring& table_name, udb_relationships& relationships, sql_rows rows)
    : sql_recordset(deferred{}, db, table_name, relationships) {
    tk_trace(2, "sql_table::ctor");
    tk_trace(2, "sql_table::initialize");
    m_catalogue_only = rows == sql_rows::none;
    m_rows_when_read = rows == sql_rows::when_read;
    // A read-only snapshot would refuse the rows a writer sends.
    if (!m_catalogue_only) m_snapshot = std::make_unique<sql_snapshot>(db);
    // The catalogue first: once the rows stream, the connection carries nothing else.
    const std::string name = tk_to_utf8(table_name);
    const std::uint32_t v = db.engine().server_version();
    auto columns = db.query_tmp(sql_show_columns_stmt(name, v));
    auto indexes = db.query_tmp(sql_show_index_stmt(name, v));
    std::string create_text;  // the bytes as the server sends them: not UTF-8 where a binary default is not
    if (sql_gate::reads_create_table(v)) {
        tk_trace(2, "Extracting foreign keys");
        auto create = db.query_tmp(sql_show_create_stmt(name, v));
        for (; create && !create->is_eof(); create->next()) {
            const udb_record& row = *create->get_item();
            if (row.empty()) continue;
            create_text = sql_catalogue_bytes(row[row.size() - 1]).value_or(std::string());
            sql_fk_parser(table_name, create_text).do_parse(relationships);
        }
    }
    const quoted_defaults defaults = read_quoted_defaults(db, name, v);
    if (columns) plan_reads(*columns, name, v);
    describe();
    if (columns) refine_columns(*columns, {defaults, create_text});
    if (indexes) read_indexes(*indexes);
    start_reading();
}

sql_table::quoted_defaults sql_table::read_quoted_defaults(sql_database& db, const std::string& name,
                                                           std::uint32_t version) {
    quoted_defaults defaults;
    if (!sql_gate::quotes_literal_defaults(version, db.engine().is_mariadb())) return defaults;
    std::unique_ptr<sql_tmp_recordset> rows;
    try {
        rows = db.query_tmp(sql_column_defaults_stmt(db.escape(tk_to_utf8(db.name())), db.escape(name)));
    } catch (const sql_exception& e) {
        // SHOW COLUMNS alone then decides, as on other servers.
        tk_trace(2, "Cannot read the column defaults: %s", e.what());
        return defaults;
    }
    for (; rows && !rows->is_eof(); rows->next()) {
        const udb_record& row = *rows->get_item();
        if (row.size() < 2) continue;
        defaults.emplace_back(row[0].to_wstring(), row[1].to_wstring());
    }
    return defaults;
}

sql_table::~sql_table() { tk_trace(2, "sql_table::dtor"); }

void sql_table::plan_reads(sql_tmp_recordset& rows, const std::string& name, std::uint32_t version) {
    std::vector<sql_read_column> read;
    std::vector<float_column> floats;
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        const udb_record& row = *rows.get_item();
        if (row.size() < 6) return;  // not Field, Type, Null, Key, Default, Extra: SELECT * stays
        const std::string extra = lower_ascii(row[5].to_string());
        const bool full_float = is_float_type(lower_ascii(row[1].to_string()));
        if (full_float)
            floats.push_back({static_cast<unsigned>(read.size()), row[2].to_string() == "NO",
                              extra.find("auto_increment") != std::string::npos});
        read.push_back({tk_to_utf8(row[0].to_wstring()), full_float});
    }
    if (read.empty()) return;
    // By name: SELECT * leaves invisible columns out.
    m_select_sql = sql_select_columns_stmt(name, read, version);
    m_float_columns = std::move(floats);
    tk_trace(2, "Reading the columns by name: %s", m_select_sql.c_str());
}

void sql_table::refine_columns(sql_tmp_recordset& rows, const default_sources& sources) {
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        const udb_record& row = *rows.get_item();
        if (row.size() < 3) continue;
        // By name, in case the two lists ever differ in order.
        const std::wstring field = row[0].to_wstring();
        t_ftd* col = nullptr;
        for (t_ftd* c : m_schema.columns())
            if (c->name.str() == field) {
                col = c;
                break;
            }
        if (!col)
            for (t_ftd* c : m_schema.columns())
                if (udb_eq_nocase(c->name.str(), field)) {
                    col = c;
                    break;
                }
        if (!col) continue;

        const std::string type = row[1].to_string();
        tk_trace(2, "Got type: %s", type.c_str());
        std::array<int, 1> length{};
        std::array<int, 2> precision_scale{};
        if (type_numbers(type, "varchar", length)) {
            tk_trace(2, "Refining size for varchar: %d", length[0]);
            col->size = static_cast<std::uint32_t>(length[0]);
        } else if (type_numbers(type, "float", precision_scale)) {
            const auto [precision, scale] = precision_scale;
            tk_trace(2, "Refining type for FLOAT(%d,%d)", precision, scale);
            if (is_decimal_float(precision_scale)) {
                col->vartype = VT_DECIMAL;
                col->reserved = static_cast<std::uint32_t>(scale) + (static_cast<std::uint32_t>(precision) << 8);
            }
        }
        // NULL: no default; '' is a default too (an empty text, a binary column's zero bytes).
        const std::optional<std::string> shown = sql_catalogue_bytes(row[row.size() - 2]);
        tk_trace(2, "Got default value: %s", shown ? printable(*shown).c_str() : "NULL");
        if (!col->b_not_null && !shown) continue;
        tk_trace(2, "Default value's type: %08X", static_cast<unsigned>(col->vartype));
        refine_default(*col, shown, row.size() >= 6 ? row[5].to_string() : std::string(), sources);
    }
}

void sql_table::refine_default(t_ftd& col, const std::optional<std::string>& shown, const std::string& extra,
                               const default_sources& sources) {
    // The text of SHOW COLUMNS as far as it is text (kinds and numbers are ASCII).
    const std::wstring def = shown && is_text(*shown) ? tk_utf8_to_unicode(*shown) : std::wstring();
    const std::wstring* quoted = nullptr;  // information_schema's form of it
    for (const auto& [name, text] : sources.quoted)
        if (udb_eq_nocase(name, col.name.str())) {
            quoted = &text;
            break;
        }
    if (shown) {
        const bool date = col.vartype == VT_DATE;
        sql_default_kind kind = sql_default_from_show_columns(def, extra, date);
        // A column missing there has no default to judge.
        if (!sources.quoted.empty()) kind = quoted ? sql_default_from_quoted(*quoted) : sql_default_kind::literal;
        if (kind == sql_default_kind::current_timestamp && date) {
            tk_trace(2, "Default is the current time");
            col.b_default_now = true;
            return;
        }
        if (kind != sql_default_kind::literal) {
            // Computed at insert time: no value of it may stand in for it.
            tk_trace_w(2, L"Default expression left out: %s", def.c_str());
            return;
        }
    }
    if (col.vartype == VT_DATE && is_zero_date_default(def)) {
        tk_trace(2, "Skip empty def.values for date column");
        col.b_not_null = 0;
        return;
    }
    if (!shown) return;  // no default
    // The value itself: information_schema's literal where the server quotes
    // it there (SHOW COLUMNS quotes the defaults of TEXT and BLOB columns too,
    // and shows the others bare), else SHOW COLUMNS.
    std::optional<std::string> value;
    if (quoted) value = sql_literal_bytes(tk_to_utf8(*quoted));
    if (!value) value = shown;
    std::uint64_t bits = 0;
    if (col.vartype == VT_BLOB) {
        // A binary default is its bytes, not hexadecimal digits; only SHOW
        // CREATE TABLE shows the bytes that are not UTF-8, the others a '?'
        // for each.
        const std::optional<std::string> exact =
            sql_create_table_default(sources.create_text, tk_to_utf8(col.name.str()));
        if (exact) {
            value = exact;
        } else if (value->find('?') != std::string::npos) {
            tk_trace(2, "Binary default left out: the server may show a byte it cannot print as '?'");
            return;
        }
        col.def_value.attach_binary(value->data(), value->size());
    } else if (col.vartype == VT_BSTR) {
        if (!is_text(*value)) {
            tk_trace(2, "Text default left out: it holds a NUL character or is not UTF-8");
            return;
        }
        col.def_value = ole_variant(tk_utf8_to_unicode(*value));
    } else if (col.vartype == VT_DATE) {
        col.def_value = ole_variant(def);
    } else if (parse_bit_literal(def, bits)) {
        if (col.vartype == VT_BOOL)
            col.def_value = ole_variant(bits != 0);
        else if (col.vartype == VT_UI8)
            col.def_value = ole_variant(static_cast<unsigned long long>(bits));
        else
            col.def_value = ole_variant(static_cast<long long>(bits));
    } else {
        col.def_value = ole_variant::from_wstring(def, col.vartype);
    }
}

void sql_table::read_indexes(sql_tmp_recordset& rows) {
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        const udb_record& row = *rows.get_item();
        if (row.size() < 5) continue;
        const std::string non_unique = row[1].to_string();
        const bool unique = non_unique.empty() || non_unique == "0";
        const std::wstring key = row[2].to_wstring();
        const bool primary = key == L"PRIMARY";
        const std::wstring column = row[4].to_wstring();
        tk_trace_w(2, L"Got index '%s' (primary=%d, unique=%d)", key.c_str(), int(primary), int(unique));
        if (m_indexes.is_acceptable_name(key))
            add_index(udb_index(key, unique, primary, {column}));
        else
            m_indexes.get_index(key).field_names.push_back(column);
    }
}

// ---- sql_tmp_recordset ------------------------------------------------------------------

sql_tmp_recordset::sql_tmp_recordset(sql_result result, const sql_engine& engine) : udb_recordset(L"", true) {
    tk_trace(1, "sql_tmp_recordset::sql_tmp_recordset");
    initialize(std::move(result), engine);
}

sql_tmp_recordset::~sql_tmp_recordset() = default;

void sql_tmp_recordset::initialize(sql_result result, const sql_engine& engine) {
    tk_trace(1, "sql_tmp_recordset::initialize");
    if (!result) throw tk_mail_assertion("sql_recs", 293);
    MYSQL_RES* res = result.get();
    const unsigned n = mysql_num_fields(res);
    m_columns = sql_read_columns(mysql_fetch_fields(res), n, engine.blob_as_text());
    // Server lists and catalogue rows are no table's rows: a text the server
    // shows with a NUL or bytes that are not UTF-8 (a binary column's default)
    // is kept as its bytes for the reader to judge, and nothing is reported.
    for (sql_column& c : m_columns)
        if (c.how == sql_column::path::text) c.how = sql_column::path::text_or_bytes;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        const unsigned long* lengths = mysql_fetch_lengths(res);
        m_rows.push_back(std::make_unique<sql_record>(&m_columns, lengths, row, sql_row_origin{}));
        ++m_rec_count;
    }
    if (MYSQL* connection = engine.handle(); mysql_errno(connection)) throw sql_exception(connection);
}

void sql_tmp_recordset::append_record(const udb_record&) { throw tk_mail_assertion("sql_recs", 286); }

udb_record* sql_tmp_recordset::get_item() { return m_pos < m_rows.size() ? m_rows[m_pos].get() : nullptr; }

bool sql_tmp_recordset::is_eof() { return m_pos >= static_cast<std::uint64_t>(m_rec_count); }
void sql_tmp_recordset::next() { ++m_pos; }
void sql_tmp_recordset::prev() {}
void sql_tmp_recordset::reset() { m_pos = 0; }

// ---- sql_fk_parser ----------------------------------------------------------------------

sql_fk_parser::sql_fk_parser(const std::wstring& table_name, const std::string& create_text)
    : m_table_name(table_name), m_lines(tk_split(create_text, '\n')) {
    tk_trace(2, "sql_fk_parser::ctor(%s)", create_text.c_str());
}

void sql_fk_parser::do_parse(udb_relationships&) {
    tk_trace(2, "sql_fk_parser::do_parse");
    tk_trace(1, "Got %d chunks", static_cast<int>(m_lines.size()));
}
