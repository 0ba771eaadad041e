#include "postgres/pgs_ident.h"

#include <cstdint>

#include "platform/pf_utf8.h"
#include "tk/tk_quote.h"
#include "tk/tk_utils.h"

std::size_t pgs_utf8_size(std::wstring_view name) noexcept {
    std::size_t n = 0;
    for (wchar_t c : name) n += pf_utf8::length(static_cast<std::uint32_t>(c));
    return n;
}

std::string pgs_fold_name(std::wstring_view name) {
    std::string s = tk_to_utf8(name);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    s.resize(pf_utf8::prefix_length(s, pgs_max_ident_bytes));
    return s;
}

std::string pgs_quote_ident(std::string_view utf8) { return tk_quoted(utf8, '"'); }

std::string pgs_qualified(std::string_view schema_utf8, std::string_view table_utf8) {
    if (schema_utf8.empty()) return pgs_quote_ident(table_utf8);
    return pgs_quote_ident(schema_utf8) + "." + pgs_quote_ident(table_utf8);
}

namespace {

template <class C>
std::basic_string<C> quote_literal(std::basic_string_view<C> text) {
    if (text.find(C('\\')) == std::basic_string_view<C>::npos) return tk_quoted<C>(text, C('\''), C('\''));
    std::basic_string<C> out;
    out.reserve(text.size() + 4);
    out.push_back(C('E'));
    out.push_back(C('\''));
    for (const C c : text) {
        if (c == C('\'') || c == C('\\')) out.push_back(c);
        out.push_back(c);
    }
    out.push_back(C('\''));
    return out;
}

}  // namespace

std::string pgs_quote_literal(std::string_view utf8) { return quote_literal(utf8); }
std::wstring pgs_quote_literal(std::wstring_view text) { return quote_literal(text); }

std::string pgs_conn_value(std::string_view value) { return tk_quoted(value, '\'', '\\'); }
