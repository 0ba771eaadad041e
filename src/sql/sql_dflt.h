#pragma once
// Column defaults as the MySQL catalogue reports them: a value the column
// takes, the time of the insert, or another expression computed at insert
// time (which has no value to carry over).
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
