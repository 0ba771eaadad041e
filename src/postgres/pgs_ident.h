#pragma once
// Names and values as the PostgreSQL server and libpq expect them: names
// folded the way the server folds an unquoted name, then always sent quoted;
// literals and connection-string values escaped.
#include <cstddef>
#include <string>
#include <string_view>

// The server keeps at most this many bytes of a name (NAMEDATALEN - 1).
constexpr std::size_t pgs_max_ident_bytes = 63;

// Bytes of the UTF-8 form of a name (no conversion is made).
std::size_t pgs_utf8_size(std::wstring_view name) noexcept;

// UTF-8 of the name with ASCII A-Z lowered and cut to 63 bytes on a character
// boundary: the name the server stores for it when it is sent unquoted. Text
// without a UTF-8 form throws as tk_to_utf8 does.
std::string pgs_fold_name(std::wstring_view name);

// "name" with every double quote doubled.
std::string pgs_quote_ident(std::string_view utf8);
// "schema"."table", or "table" when the schema is empty.
std::string pgs_qualified(std::string_view schema_utf8, std::string_view table_utf8);
// A literal that means the text whatever the session's
// standard_conforming_strings says: 'text' with every apostrophe doubled, or,
// when the text holds a backslash, E'text' with backslashes doubled as well
// (a backslash in a plain literal escapes the next character when the
// setting is off).
std::string pgs_quote_literal(std::string_view utf8);
std::wstring pgs_quote_literal(std::wstring_view text);
// 'value' for a libpq connection string, with \ and ' escaped by a backslash.
std::string pgs_conn_value(std::string_view value);
