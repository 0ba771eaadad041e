#pragma once
// Names, literals and connection values quoted for what the tests send to the
// servers themselves, by the system's one quoting rule.
#include <string>
#include <string_view>

#include "tk/tk_quote.h"

inline std::string mysql_ident(std::string_view name) { return tk_quoted(name, '`'); }
inline std::string pg_quote_ident(std::string_view name) { return tk_quoted(name, '"'); }
inline std::string pg_literal(std::string_view text) { return tk_quoted(text, '\''); }
// A libpq connection-string value: \ and ' escaped by a backslash.
inline std::string pg_conn_value(std::string_view value) { return tk_quoted(value, '\'', '\\'); }
