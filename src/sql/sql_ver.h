#pragma once
// Server versions and the statement texts that depend on them. Pure functions of
// the version number, so every older-server form can be checked without such a
// server.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// major << 16 | minor << 8 | patch (4.1.0 is 0x040100).
constexpr std::uint32_t sql_version_number(unsigned major, unsigned minor, unsigned patch) {
    return (major << 16) | (minor << 8) | patch;
}

// "%d.%d.%d" at the start of the text; what follows the third number ("-log",
// "-MariaDB-0+deb12u1") is ignored. Nothing when three numbers cannot be read.
std::optional<std::uint32_t> sql_parse_version(std::string_view text);

namespace sql_gate {
constexpr std::uint32_t fk_support = sql_version_number(3, 23, 44);   // also SHOW CREATE TABLE
constexpr std::uint32_t old_auth_only = sql_version_number(4, 1, 0);  // exactly this one
constexpr std::uint32_t backquotes = sql_version_number(4, 1, 0);
constexpr std::uint32_t full_tables = sql_version_number(5, 0, 1);
constexpr std::uint32_t snapshot = sql_version_number(4, 1, 8);       // WITH CONSISTENT SNAPSHOT
constexpr std::uint32_t read_only_trx = sql_version_number(5, 6, 5);  // START TRANSACTION READ ONLY
// MariaDB: information_schema quotes literal defaults, so expressions stand apart.
constexpr std::uint32_t quoted_defaults = sql_version_number(10, 2, 7);
// Prepared statements whose rows stream unbuffered (binary protocol).
constexpr std::uint32_t binary_rows = sql_version_number(5, 0, 0);

inline bool has_fk_support(std::uint32_t v) { return v >= fk_support; }
inline bool reads_create_table(std::uint32_t v) { return v >= fk_support; }
inline bool refuses_password(std::uint32_t v, bool has_password) { return v == old_auth_only && has_password; }
inline bool quotes_names(std::uint32_t v) { return v >= backquotes; }
inline bool lists_full_tables(std::uint32_t v) { return v >= full_tables; }
inline bool quotes_literal_defaults(std::uint32_t v, bool mariadb) { return mariadb && v >= quoted_defaults; }
inline bool reads_binary_rows(std::uint32_t v) { return v >= binary_rows; }
}  // namespace sql_gate

// What the writing side needs to know about the server it writes to. The
// engine hands out its own; statement builders take one, so every server's
// form can be built and checked without that server.
struct sql_dialect {
    std::uint32_t version = 0;
    bool mariadb = false;
    bool fk_support = false;      // foreign keys: InnoDB tables
    bool varchar_binary = false;  // short text columns as VARCHAR(n) BINARY (servers without collations)
    bool utf8mb4 = true;          // the connection's character set holds 4-byte characters

    bool quotes_names() const { return sql_gate::quotes_names(version); }
    // DATETIME(6) and TIME(6): MySQL 5.6.4 and MariaDB 5.3 on.
    bool fractional_seconds() const {
        return version >= (mariadb ? sql_version_number(5, 3, 0) : sql_version_number(5, 6, 4));
    }
    // DATETIME DEFAULT CURRENT_TIMESTAMP: MySQL 5.6.5 and MariaDB 10.0.1 on.
    bool datetime_default_now() const {
        return version >= (mariadb ? sql_version_number(10, 0, 1) : sql_version_number(5, 6, 5));
    }
    // Bytes one character of a text column takes at most.
    unsigned bytes_per_char() const { return utf8mb4 ? 4 : 3; }
    const char* charset() const { return utf8mb4 ? "utf8mb4" : "utf8"; }
    // The collation of every text column written: binary, so a key of the
    // copy keeps apart every two texts its source kept apart ('a', 'A' and
    // 'a ') instead of refusing rows as duplicates, and the columns of a
    // foreign key share it. NO PAD where the server has one (MariaDB 10.2.2,
    // MySQL 8.0.17 for utf8mb4); elsewhere trailing blanks still compare
    // equal. Empty before 4.1.0, which has no collations.
    std::string text_collation() const;
    // A name for a statement (UTF-8), as sql_quote_name.
    std::string quote(std::string_view utf8_name) const;
    std::string quote(std::wstring_view name) const;
};

// A table name for a statement: in backquotes with every inner backquote
// doubled from 4.1.0 on; bare before (those servers have no quoting). UTF-8.
std::string sql_quote_name(std::string_view name, std::uint32_t version);

// Statement texts (UTF-8). Names are raw UTF-8 names, quoted here.
std::string sql_select_table_stmt(std::string_view table, std::uint32_t version);
// A column of a table read by name; full_float marks a FLOAT column, whose
// text keeps only six significant digits: it is read as its exact double
// ("`f` * 1e0 AS `f`": widening and multiplying by one are exact on every
// server, where CAST AS DOUBLE exists only on recent ones).
struct sql_read_column {
    std::string name;  // raw UTF-8
    bool full_float = false;
};
std::string sql_select_columns_stmt(std::string_view table, const std::vector<sql_read_column>& columns,
                                    std::uint32_t version);
std::string sql_count_table_stmt(std::string_view table, std::uint32_t version);
std::string sql_count_query_stmt(std::string_view query);
std::string sql_show_columns_stmt(std::string_view table, std::uint32_t version);
std::string sql_show_index_stmt(std::string_view table, std::uint32_t version);
std::string sql_show_create_stmt(std::string_view table, std::uint32_t version);
// Column names and defaults of one table from information_schema; both names
// must already be escaped for a literal.
std::string sql_column_defaults_stmt(std::string_view escaped_db_name, std::string_view escaped_table);
// The base-table list of 5.0.1 and later (older servers use mysql_list_tables).
std::string sql_full_tables_stmt();
// The views of a database; the name must already be escaped for a literal.
std::string sql_views_stmt(std::string_view escaped_db_name);
// A user's SELECT as one statement: trailing blanks and semicolons removed.
std::string sql_trim_query(std::string_view query);
// Statements that open one read-only consistent snapshot; empty where the
// server has no such statement (then reading runs without one).
std::string sql_isolation_stmt(std::uint32_t version);
std::string sql_snapshot_stmt(std::uint32_t version);
