#include "sql/sql_dflt.h"

#include <string>

#include "platform/pf_num.h"
#include "platform/pf_text.h"
#include "platform/pf_trim.h"

namespace {

wchar_t lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
std::wstring_view trim(std::wstring_view s) { return pf_trim(s, pf_blanks::space_tab_eol); }

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

namespace {

std::optional<std::string> hex_bytes(std::string_view digits) {
    if (digits.size() % 2) return std::nullopt;
    std::string out;
    out.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = pf_hex_value(static_cast<unsigned char>(digits[i]));
        const int lo = pf_hex_value(static_cast<unsigned char>(digits[i + 1]));
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

// The character a backslash escape stands for in a MySQL string.
char unescaped(char c) {
    switch (c) {
    case '0': return '\0';
    case 'b': return '\b';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'Z': return '\032';
    default: return c;
    }
}

// Length of the quoted string at the front of s (quote at s[0]), its closing
// quote included; 0 when it does not end.
std::size_t quoted_length(std::string_view s) {
    const char quote = s[0];
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && quote == '\'') {
            ++i;
        } else if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return 0;
}

bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The name of the column a CREATE TABLE line defines (`a``b` or "a""b"),
// and the rest of the line after it; false for a line that defines none.
bool split_column_line(std::string_view line, std::string& name, std::string_view& rest) {
    line = pf_trim_start(line, pf_blanks::space);
    if (line.empty() || (line.front() != '`' && line.front() != '"')) return false;
    const std::size_t n = quoted_length(line);
    if (n == 0) return false;
    const char quote = line.front();
    name.clear();
    for (std::size_t i = 1; i + 1 < n; ++i) {
        name.push_back(line[i]);
        if (line[i] == quote) ++i;
    }
    rest = line.substr(n);
    return true;
}

// What follows the word DEFAULT of a column definition, outside quotes and
// parentheses (a generated column's expression); empty when there is none.
std::string_view after_default(std::string_view def) {
    int depth = 0;
    for (std::size_t i = 0; i < def.size();) {
        const char c = def[i];
        if (c == '\'' || c == '"' || c == '`') {
            const std::size_t n = quoted_length(def.substr(i));
            if (n == 0) return {};
            i += n;
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (depth == 0 && is_word_char(c)) {
            std::size_t end = i;
            while (end < def.size() && is_word_char(def[end])) ++end;
            if (pf_ascii_is_word(def.substr(i, end - i), "default")) {
                return pf_trim_start(def.substr(end), pf_blanks::space);
            }
            i = end;
            continue;
        }
        ++i;
    }
    return {};
}

// s past a _binary introducer at its front.
std::string_view past_introducer(std::string_view s) {
    if (s.size() > 8 && pf_ascii_is_word(s.substr(0, 7), "_binary") && s[7] == ' ') s.remove_prefix(8);
    return s;
}

// The literal at the front of s: a quoted string (after an optional _binary),
// or a hexadecimal literal up to the next blank or comma.
std::string_view literal_at_front(std::string_view s) {
    const std::size_t start = s.size() - past_introducer(s).size();
    if (start < s.size() && s[start] == '\'') {
        const std::size_t n = quoted_length(s.substr(start));
        return n ? s.substr(0, start + n) : std::string_view();
    }
    std::size_t end = 0;
    while (end < s.size() && s[end] != ' ' && s[end] != ',') ++end;
    if (end >= 2 && (s[0] == 'x' || s[0] == 'X') && s[1] == '\'') return s.substr(0, end);
    if (end >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return s.substr(0, end);
    return {};
}

}  // namespace

std::optional<std::string> sql_literal_bytes(std::string_view s) {
    s = past_introducer(s);
    if (s.size() >= 3 && (s[0] == 'x' || s[0] == 'X') && s[1] == '\'' && s.back() == '\'')
        return hex_bytes(s.substr(2, s.size() - 3));
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (s.size() == 2) return std::nullopt;
        return hex_bytes(s.substr(2));
    }
    if (s.empty() || s[0] != '\'' || quoted_length(s) != s.size()) return std::nullopt;
    std::string out;
    out.reserve(s.size() - 2);
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == '\\') {
            out.push_back(unescaped(s[++i]));
        } else {
            out.push_back(s[i]);
            if (s[i] == '\'') ++i;  // '' stands for one
        }
    }
    return out;
}

std::optional<std::string> sql_create_table_default(std::string_view create_text, std::string_view column_name) {
    std::string name;
    while (!create_text.empty()) {
        const std::size_t eol = create_text.find('\n');
        const std::string_view line = create_text.substr(0, eol);
        create_text = eol == std::string_view::npos ? std::string_view() : create_text.substr(eol + 1);
        std::string_view rest;
        if (!split_column_line(line, name, rest) || name != column_name) continue;
        const std::string_view literal = literal_at_front(after_default(rest));
        if (literal.empty()) return std::nullopt;
        return sql_literal_bytes(literal);
    }
    return std::nullopt;
}
