#include "sql/sql_sess.h"

#include <mysql.h>

#include <initializer_list>
#include <vector>

#include "platform/pf_text.h"
#include "sql/sql_exc.h"
#include "sql/sql_res.h"
#include "sql/sql_ver.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

std::optional<std::string> sql_read_value(MYSQL* m, const std::string& select) {
    tk_trace(1, "sql_read_value(%s)", select.c_str());
    if (mysql_real_query(m, select.data(), select.size()) != 0) throw sql_exception(m, select);
    const sql_result res(mysql_store_result(m));
    if (!res) {
        if (mysql_errno(m)) throw sql_exception(m, select);
        return std::nullopt;
    }
    MYSQL_ROW row = mysql_fetch_row(res.get());
    if (!row || mysql_num_fields(res.get()) == 0 || !row[0]) return std::nullopt;
    const unsigned long* lengths = mysql_fetch_lengths(res.get());
    return std::string(row[0], lengths[0]);
}

void sql_run(MYSQL* m, std::string_view statement) {
    if (mysql_real_query(m, statement.data(), statement.size()) != 0) throw sql_exception(m, statement);
    // A statement with rows: read and discard them.
    const sql_result res(mysql_use_result(m));
    if (mysql_errno(m)) throw sql_exception(m, statement);
}

sql_session_setting::sql_session_setting(MYSQL* connection, std::string name, bool quoted)
    : m_mysql(connection), m_name(std::move(name)), m_quoted(quoted) {}

sql_session_setting::~sql_session_setting() {
    if (!m_changed) return;
    try {
        restore();
    } catch (const std::exception& e) {
        tk_trace(2, "Cannot restore %s: %s", m_name.c_str(), e.what());
    }
}

const std::string& sql_session_setting::original() {
    if (!m_original) m_original = sql_read_value(m_mysql, "SELECT @@SESSION." + m_name).value_or(std::string());
    return *m_original;
}

std::string sql_session_setting::assignment(const std::string& value) const {
    std::string s = "SET " + m_name + " = ";
    if (!m_quoted) return s + value;
    std::string escaped(value.size() * 2 + 1, '\0');
    escaped.resize(mysql_real_escape_string(m_mysql, escaped.data(), value.data(), value.size()));
    return s + "'" + escaped + "'";
}

void sql_session_setting::change(const std::string& value) {
    if (original() == value && !m_changed) return;
    sql_run(m_mysql, assignment(value));
    m_changed = true;
}

void sql_session_setting::restore() {
    if (!m_changed) return;
    m_changed = false;  // a failed restore is not tried again by the destructor
    sql_run(m_mysql, assignment(*m_original));
}

namespace {

// The modes of a sql_mode text without those named, in their order.
std::string without_modes(std::string_view current, std::initializer_list<std::string_view> dropped) {
    std::string out;
    for (const std::string& part : tk_split(current, ',')) {
        const std::string mode = tk_trim(part);
        if (mode.empty()) continue;
        bool drop = false;
        for (std::string_view d : dropped) drop = drop || pf_compare_nocase(mode, d) == 0;
        if (drop) continue;
        if (!out.empty()) out += ',';
        out += mode;
    }
    return out;
}

}  // namespace

std::string sql_writing_mode(std::string_view current) {
    std::string out = without_modes(current, {"ANSI_QUOTES", "NO_BACKSLASH_ESCAPES", "EMPTY_STRING_IS_NULL", "ANSI",
                                              "DB2", "MAXDB", "MSSQL", "ORACLE", "POSTGRESQL"});
    bool has_zero = false, has_strict = false;
    for (const std::string& mode : tk_split(out, ',')) {
        has_zero = has_zero || pf_compare_nocase(mode, "NO_AUTO_VALUE_ON_ZERO") == 0;
        has_strict = has_strict || pf_compare_nocase(mode, "STRICT_ALL_TABLES") == 0;
    }
    if (!has_zero) out += out.empty() ? "NO_AUTO_VALUE_ON_ZERO" : ",NO_AUTO_VALUE_ON_ZERO";
    if (!has_strict) out += ",STRICT_ALL_TABLES";
    return out;
}

void sql_use_writing_mode(sql_session_setting& mode, std::uint32_t server_version) {
    if (server_version < sql_version_number(4, 1, 0)) return;
    mode.change(sql_writing_mode(mode.original()));
}

std::string sql_reading_mode(std::string_view current) { return without_modes(current, {"PAD_CHAR_TO_FULL_LENGTH"}); }

void sql_use_reading_mode(MYSQL* connection, std::uint32_t server_version) {
    if (server_version < sql_version_number(4, 1, 0)) return;
    const std::string select = "SELECT @@SESSION.sql_mode";
    const std::string current = sql_read_value(connection, select).value_or(std::string());
    const std::string wanted = sql_reading_mode(current);
    if (wanted == current) return;
    tk_trace(2, "Reading with sql_mode '%s' instead of '%s'", wanted.c_str(), current.c_str());
    std::string escaped(wanted.size() * 2 + 1, '\0');
    escaped.resize(mysql_real_escape_string(connection, escaped.data(), wanted.data(), wanted.size()));
    sql_run(connection, "SET SESSION sql_mode = '" + escaped + "'");
}
