#include "sql/sql_dflt.h"

#include <string>

namespace {

wchar_t lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool is_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view trim(std::wstring_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// Consumes `word` (lower case) at the front of s, ignoring case.
bool eat_word(std::wstring_view& s, std::wstring_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(s[i]) != word[i]) return false;
    s.remove_prefix(word.size());
    return true;
}

// [+-] digits [. digits] [e [+-] digits], or [+-] . digits [...].
bool is_number(std::wstring_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == L'.') {
        ++i;
        while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
        ++i;
        if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) ++i;
        std::size_t exp = 0;
        while (i < s.size() && is_digit(s[i])) ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == s.size();
}

// One string literal in single quotes, '' and backslash escapes inside.
bool is_quoted_literal(std::wstring_view s) {
    if (s.size() < 2 || s.front() != L'\'') return false;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == L'\\') {
            ++i;
        } else if (s[i] == L'\'') {
            if (i + 1 < s.size() && s[i + 1] == L'\'') {
                ++i;
                continue;
            }
            return i + 1 == s.size();
        }
    }
    return false;
}

// b'0101', x'4142', 0x4142.
bool is_bit_or_hex_literal(std::wstring_view s) {
    if (s.size() >= 3 && (lower(s[0]) == L'b' || lower(s[0]) == L'x') && s[1] == L'\'' && s.back() == L'\'')
        return true;
    if (s.size() >= 3 && s[0] == L'0' && lower(s[1]) == L'x') {
        for (const wchar_t c : s.substr(2))
            if (!is_digit(c) && !(lower(c) >= L'a' && lower(c) <= L'f')) return false;
        return true;
    }
    return false;
}

}  // namespace

bool sql_is_current_timestamp(std::wstring_view text) {
    std::wstring_view s = trim(text);
    if (s.size() >= 2 && s.front() == L'(' && s.back() == L')') s = trim(s.substr(1, s.size() - 2));
    // Longest names first: "localtime" is the start of "localtimestamp".
    if (!eat_word(s, L"current_timestamp") && !eat_word(s, L"localtimestamp") && !eat_word(s, L"localtime") &&
        !eat_word(s, L"now"))
        return false;
    s = trim(s);
    if (s.empty()) return true;
    if (s.front() != L'(' || s.back() != L')') return false;
    s = trim(s.substr(1, s.size() - 2));
    for (const wchar_t c : s)
        if (!is_digit(c)) return false;
    return true;
}

sql_default_kind sql_default_from_quoted(std::wstring_view column_default) {
    const std::wstring_view s = trim(column_default);
    if (s.empty() || is_quoted_literal(s) || s == L"NULL" || is_number(s) || is_bit_or_hex_literal(s))
        return sql_default_kind::literal;
    return sql_is_current_timestamp(s) ? sql_default_kind::current_timestamp : sql_default_kind::expression;
}

sql_default_kind sql_default_from_show_columns(std::wstring_view text, std::string_view extra, bool date_column) {
    std::string marks(extra);
    for (char& c : marks)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (marks.find("default_generated") != std::string::npos)
        return sql_is_current_timestamp(text) ? sql_default_kind::current_timestamp : sql_default_kind::expression;
    if (date_column && sql_is_current_timestamp(text)) return sql_default_kind::current_timestamp;
    return sql_default_kind::literal;
}
