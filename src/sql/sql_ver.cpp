#include "sql/sql_ver.h"

#include <charconv>

#include "tk/tk_quote.h"
#include "tk/tk_utils.h"

std::optional<std::uint32_t> sql_parse_version(std::string_view text) {
    // MariaDB 10 and later may present themselves as "5.5.5-10.x.y-MariaDB" to old clients.
    if (text.size() > 6 && text.substr(0, 6) == "5.5.5-" && text[6] >= '0' && text[6] <= '9') text.remove_prefix(6);
    unsigned part[3] = {0, 0, 0};
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
        while (p != end && (*p == ' ' || *p == '\t')) ++p;  // as "%d" would skip
        auto [next, ec] = std::from_chars(p, end, part[i]);
        if (ec != std::errc()) return std::nullopt;
        if (part[i] > 255) part[i] = 255;  // keeps the order of the packed number
        p = next;
    }
    return sql_version_number(part[0], part[1], part[2]);
}

std::string sql_quote_name(std::string_view name, std::uint32_t version) {
    if (!sql_gate::quotes_names(version)) return std::string(name);
    return tk_quoted(name, '`');
}

std::string sql_select_table_stmt(std::string_view table, std::uint32_t version) {
    return "SELECT * FROM " + sql_quote_name(table, version);
}

std::string sql_select_columns_stmt(std::string_view table, const std::vector<sql_read_column>& columns,
                                    std::uint32_t version) {
    std::string s = "SELECT ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) s += ", ";
        const std::string name = sql_quote_name(columns[i].name, version);
        s += name;
        if (columns[i].full_float) s += " * 1e0 AS " + name;
    }
    return s + " FROM " + sql_quote_name(table, version);
}

std::string sql_count_table_stmt(std::string_view table, std::uint32_t version) {
    return "SELECT COUNT(*) FROM " + sql_quote_name(table, version);
}

std::string sql_count_query_stmt(std::string_view query) {
    return "SELECT COUNT(*) FROM (" + sql_trim_query(query) + ") as query";
}

std::string sql_show_columns_stmt(std::string_view table, std::uint32_t version) {
    return "SHOW COLUMNS FROM " + sql_quote_name(table, version);
}

std::string sql_show_index_stmt(std::string_view table, std::uint32_t version) {
    return "SHOW INDEX FROM " + sql_quote_name(table, version);
}

std::string sql_show_create_stmt(std::string_view table, std::uint32_t version) {
    return "SHOW CREATE TABLE " + sql_quote_name(table, version);
}

std::string sql_column_defaults_stmt(std::string_view escaped_db_name, std::string_view escaped_table) {
    std::string s = "SELECT COLUMN_NAME, COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA='";
    s += escaped_db_name;
    s += "' AND TABLE_NAME='";
    s += escaped_table;
    s += '\'';
    return s;
}

std::string sql_full_tables_stmt() { return "show full tables where Table_type='BASE TABLE'"; }

std::string sql_views_stmt(std::string_view escaped_db_name) {
    std::string s = "SELECT table_name, view_definition FROM information_schema.views WHERE table_schema='";
    s += escaped_db_name;
    s += '\'';
    return s;
}

std::string sql_trim_query(std::string_view query) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    std::size_t n = query.size();
    while (n > 0 && (blank(query[n - 1]) || query[n - 1] == ';')) --n;
    std::size_t b = 0;
    while (b < n && blank(query[b])) ++b;
    return std::string(query.substr(b, n - b));
}

std::string sql_isolation_stmt(std::uint32_t version) {
    if (version < sql_gate::snapshot) return {};
    return "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ";
}

std::string sql_snapshot_stmt(std::uint32_t version) {
    if (version >= sql_gate::read_only_trx) return "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY";
    if (version >= sql_gate::snapshot) return "START TRANSACTION WITH CONSISTENT SNAPSHOT";
    return {};
}

std::string sql_dialect::text_collation() const {
    if (!quotes_names()) return {};
    const std::string cs = charset();
    if (mariadb && version >= sql_version_number(10, 2, 2)) return cs + "_nopad_bin";
    if (!mariadb && utf8mb4 && version >= sql_version_number(8, 0, 17)) return "utf8mb4_0900_bin";
    return cs + "_bin";
}

std::string sql_dialect::quote(std::string_view utf8_name) const { return sql_quote_name(utf8_name, version); }

std::string sql_dialect::quote(std::wstring_view name) const { return sql_quote_name(tk_to_utf8(name), version); }
