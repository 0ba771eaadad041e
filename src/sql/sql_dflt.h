#pragma once
// Column defaults as the MySQL catalogue reports them: a value the column
// takes, the time of the insert, or another expression computed at insert
// time (which has no value to carry over).
#include <optional>
#include <string>
#include <string_view>

enum class sql_default_kind {
    literal,            // a value (or NULL)
    current_timestamp,  // CURRENT_TIMESTAMP or a synonym: NOW(), LOCALTIME, LOCALTIMESTAMP, with or without precision
    expression,         // anything else: uuid(), rand() * 10, (1 + 2), curdate(), ...
};

// CURRENT_TIMESTAMP, CURRENT_TIMESTAMP(), NOW(3), localtimestamp, ...;
// ignoring case and one pair of enclosing parentheses.
bool sql_is_current_timestamp(std::wstring_view text);

// The default as information_schema.COLUMNS.COLUMN_DEFAULT gives it on
// servers that quote literals there (MariaDB from 10.2.7 on): strings and
// dates in quotes, numbers, bit literals and NULL bare, anything else is an
// expression.
sql_default_kind sql_default_from_quoted(std::wstring_view column_default);

// The default as SHOW COLUMNS gives it elsewhere: literals bare; an expression
// is marked DEFAULT_GENERATED in Extra (MySQL 8.0.13 on); older servers know
// only CURRENT_TIMESTAMP, on date and time columns. extra in any case.
sql_default_kind sql_default_from_show_columns(std::wstring_view text, std::string_view extra, bool date_column);

// The bytes of one literal as the server prints a default: a string in single
// quotes with '' and backslash escapes inside ('it''s', 'a\0b'), optionally
// after a _binary introducer, or hexadecimal (X'4142', 0x4142). None for
// anything else (NULL, numbers, expressions).
std::optional<std::string> sql_literal_bytes(std::string_view literal);

// A column's literal default in a SHOW CREATE TABLE text, as its bytes: the
// one catalogue text that shows a binary default whole, where SHOW COLUMNS and
// information_schema put '?' for each byte that is not UTF-8. None when the
// column is not there or its default is no literal. column_name in UTF-8.
std::optional<std::string> sql_create_table_default(std::string_view create_text, std::string_view column_name);
