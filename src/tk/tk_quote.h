#pragma once
// Quoting of names and literals for statements and connection strings.
#include <string>
#include <string_view>

// The text between two quote characters; every quote character inside it,
// and every escape character, gets the escape character in front. With the
// quote as its own escape (the default) that doubles it, as SQL wants for
// names and literals ("a""b", 'it''s', `a``b`); libpq's connection values
// take a backslash ('it\'s').
template <class C>
std::basic_string<C> tk_quoted(std::basic_string_view<C> text, C quote, C escape) {
    std::basic_string<C> out;
    out.reserve(text.size() + 2);
    out.push_back(quote);
    for (const C c : text) {
        if (c == quote || c == escape) out.push_back(escape);
        out.push_back(c);
    }
    out.push_back(quote);
    return out;
}

inline std::string tk_quoted(std::string_view text, char quote) { return tk_quoted(text, quote, quote); }
inline std::string tk_quoted(std::string_view text, char quote, char escape) {
    return tk_quoted<char>(text, quote, escape);
}
inline std::wstring tk_quoted(std::wstring_view text, wchar_t quote) { return tk_quoted<wchar_t>(text, quote, quote); }
