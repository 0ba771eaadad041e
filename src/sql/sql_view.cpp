#include "sql/sql_view.h"

#include <vector>

#include "platform/pf_text.h"
#include "platform/pf_trim.h"
#include "tk/tk_log.h"
#include "udb/udb_nmap.h"
#include "udb/udb_text.h"

namespace {

// What one character of SQL text is. A quote character that opens a quoted
// stretch from code is `open`; everything up to and including the closing
// quote is `quoted` (a doubled quote stands for the character itself). Inside single and
// double quotes a backslash takes the next character with it, as MySQL reads
// it; reading a stretch as quoted when in doubt only means leaving it alone.
enum class kind : unsigned char { code, open, quoted };

std::vector<kind> classify(std::wstring_view s) {
    std::vector<kind> k(s.size(), kind::quoted);
    wchar_t quote = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (quote == 0) {
            if (c == L'\'' || c == L'"' || c == L'`') {
                quote = c;
                k[i] = kind::open;
            } else {
                k[i] = kind::code;
            }
        } else if (c == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote)
                ++i;  // doubled: one quote character
            else
                quote = 0;
        } else if (c == L'\\' && quote != L'`') {
            ++i;  // the escaped character stays quoted (or there is none)
        }
    }
    return k;
}

bool is_blank(wchar_t c) { return pf_is_blank(c, pf_blanks::space_tab_eol); }

// Characters that continue an unquoted MySQL identifier or keyword.
bool is_word_char(wchar_t c) {
    return c == L'_' || c == L'$' || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           c >= 0x80;
}

wchar_t ascii_upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// kw is upper case ASCII.
bool keyword_at(std::wstring_view s, size_t i, std::wstring_view kw) {
    if (i > s.size() || s.size() - i < kw.size()) return false;
    for (size_t k = 0; k < kw.size(); ++k)
        if (ascii_upper(s[i + k]) != kw[k]) return false;
    return true;
}

bool word_at(std::wstring_view s, size_t i, std::wstring_view kw) {
    if (!keyword_at(s, i, kw)) return false;
    if (i > 0 && is_word_char(s[i - 1])) return false;
    const size_t end = i + kw.size();
    return end == s.size() || !is_word_char(s[end]);
}

// Start of " order by " in code at parenthesis depth 0, or npos. An ORDER BY
// inside a call (GROUP_CONCAT, OVER) or a subquery is part of the meaning.
size_t find_top_order_by(std::wstring_view s, const std::vector<kind>& k) {
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (k[i] != kind::code) continue;
        const wchar_t c = s[i];
        if (c == L'(')
            ++depth;
        else if (c == L')')
            --depth;
        else if (depth == 0 && c == L' ' && keyword_at(s, i, L" ORDER BY "))
            return i;
    }
    return std::wstring_view::npos;
}

// A LIMIT at the same level after the ORDER BY that starts at from.
bool has_top_limit_after(std::wstring_view s, const std::vector<kind>& k, size_t from) {
    int depth = 0;
    for (size_t i = from; i < s.size(); ++i) {
        if (k[i] != kind::code) continue;
        const wchar_t c = s[i];
        if (c == L'(')
            ++depth;
        else if (c == L')')
            --depth;
        else if (depth == 0 && word_at(s, i, L"LIMIT"))
            return true;
    }
    return false;
}

// The JOIN at i already carries a join type ("left join", "inner join"...):
// putting "cross" in front of it would break the statement.
bool join_has_type(std::wstring_view s, const std::vector<kind>& k, size_t i) {
    size_t j = i;
    while (j > 0 && k[j - 1] == kind::code && is_blank(s[j - 1])) --j;
    const size_t end = j;
    while (j > 0 && k[j - 1] == kind::code && is_word_char(s[j - 1])) --j;
    const std::wstring_view word = s.substr(j, end - j);
    static constexpr std::wstring_view types[] = {L"LEFT", L"RIGHT", L"INNER", L"OUTER", L"CROSS", L"NATURAL", L"FULL"};
    for (std::wstring_view t : types)
        if (word.size() == t.size() && keyword_at(word, 0, t)) return true;
    return false;
}

bool contains_nocase(std::wstring_view s, std::wstring_view kw) {
    for (size_t i = 0; i + kw.size() <= s.size(); ++i)
        if (keyword_at(s, i, kw)) return true;
    return false;
}

// First "/*" in code, or npos.
size_t find_comment_start(std::wstring_view s, const std::vector<kind>& k) {
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (k[i] == kind::code && s[i] == L'/' && s[i + 1] == L'*') return i;
    return std::wstring_view::npos;
}

// Removes the first comment. A MySQL executable comment "/*! ... */" holds
// live SQL and stays; so does a comment that never ends.
void remove_first_comment(std::wstring& text) {
    const size_t p = find_comment_start(text, classify(text));
    if (p == std::wstring::npos) return;
    if (p + 2 < text.size() && text[p + 2] == L'!') return;
    const size_t q = text.find(L"*/", p + 2);
    if (q == std::wstring::npos) return;
    text.erase(p, q + 2 - p);
}

bool prefix_at(std::wstring_view s, size_t i, std::wstring_view prefix) {
    if (s.size() - i < prefix.size()) return false;
    for (size_t n = 0; n < prefix.size(); ++n)
        if (pf_to_upper(s[i + n]) != pf_to_upper(prefix[n])) return false;
    return true;
}

// Drops every "`db`." qualifier that stands in code. The name right after a
// removed qualifier is the table and is never taken for another qualifier,
// even when the table has the database's name (`shop`.`shop`.`a` keeps `shop`.`a`).
std::wstring remove_db_qualifiers(const std::wstring& text, const std::wstring& db_name) {
    if (db_name.empty()) return text;
    std::wstring prefix = L"`";
    for (wchar_t c : db_name) {
        prefix += c;
        if (c == L'`') prefix += c;  // MySQL doubles a backquote inside a name
    }
    prefix += L"`.";

    const std::vector<kind> k = classify(text);
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (k[i] == kind::open && text[i] == L'`' && prefix_at(text, i, prefix)) {
            tk_trace(1, "Remove template found at pos=%d", static_cast<int>(out.size()));
            i += prefix.size();
            if (i < text.size() && k[i] == kind::open && text[i] == L'`') {
                do out += text[i++];
                while (i < text.size() && k[i] != kind::code);
            }
            continue;
        }
        out += text[i++];
    }
    return out;
}

}  // namespace

sql_view_converter::sql_view_converter(std::wstring text) : m_text(std::move(text)) {
    tk_trace_w(2, L"sql_view_converter::ctor(%s)", m_text.c_str());
    bool in_double = false;
    bool in_back = false;
    m_skeleton.reserve(m_text.size());
    for (wchar_t c : m_text) {
        if (c == L'"') {
            in_double = !in_double;
        } else if (c == L'`') {
            if (!in_double) in_back = !in_back;
        } else if (!in_double && !in_back) {
            m_skeleton += c;
        }
    }
    tk_trace_w(2, L"Skeleton=%s", m_skeleton.c_str());
}

std::wstring sql_view_converter::convert_to_ansi() const {
    tk_trace(2, "sql_view_converter::convert_to_ansi");
    std::wstring copy = m_text;
    std::vector<kind> k = classify(copy);

    const size_t p = find_top_order_by(copy, k);
    if (p != std::wstring::npos && !has_top_limit_after(copy, k, p)) {
        tk_trace(2, "'ORDER BY' is found in view, length=%d", static_cast<int>(copy.size() - p));
        copy.resize(p);
        k.resize(p);  // a cut in code leaves the classification of the rest as it was
        tk_trace_w(2, L"After removing 'ORDER BY':\n%s", copy.c_str());
    }

    if (!contains_nocase(m_skeleton, L"JOIN") || !contains_nocase(m_skeleton, L"WHERE")) return copy;

    std::wstring out;
    out.reserve(copy.size() + 64);
    for (size_t i = 0; i < copy.size(); ++i) {
        if (k[i] == kind::code && word_at(copy, i, L"JOIN") && !join_has_type(copy, k, i)) {
            out += L"cross join";
            i += 3;
            continue;
        }
        out += copy[i];
    }
    return out;
}

bool sql_view_converter::check_isnull_for_replace(std::wstring_view text, std::ptrdiff_t position) {
    if (tk_trace_wanted(1)) {
        const std::wstring t(text);
        tk_trace_w(1, L"sql_view_converter::check_isnull_for_replace(%s,%d)", t.c_str(), static_cast<int>(position));
    }
    if (position < 0 || static_cast<size_t>(position) >= text.size()) return false;
    const size_t pos = static_cast<size_t>(position);
    if (!word_at(text, pos, L"ISNULL")) return false;
    const std::vector<kind> k = classify(text);
    if (k[pos] != kind::code) return false;  // inside a string or a quoted name

    size_t i = pos + 6;
    while (i < text.size() && k[i] == kind::code && is_blank(text[i])) ++i;
    if (i >= text.size() || k[i] != kind::code || text[i] != L'(') return false;

    // Arguments are separated by commas at the call's own level only.
    int depth = 0;
    int commas = 0;
    for (; i < text.size(); ++i) {
        if (k[i] != kind::code) continue;
        const wchar_t c = text[i];
        if (c == L'(') {
            ++depth;
        } else if (c == L')') {
            if (--depth == 0) return commas == 1;
        } else if (c == L',' && depth == 1) {
            ++commas;
        }
    }
    return false;  // the call never closes
}

std::wstring sql_view_converter::collapse_blanks(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    wchar_t quote = 0;
    bool in_run = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quote == 0) {
            if (is_blank(c)) {
                if (!in_run) out += L' ';
                in_run = true;
                continue;
            }
            in_run = false;
            if (c == L'\'' || c == L'"' || c == L'`') quote = c;
            out += c;
        } else {
            out += c;
            if (c == quote) {
                quote = 0;
            } else if (c == L'\\' && quote != L'`' && i + 1 < text.size()) {
                out += text[++i];
            }
        }
    }
    return out;
}

std::wstring sql_refine_view_out(const std::wstring& db_name, const std::wstring& text) {
    tk_trace_w(1, L"sql_database::refine_view_out(%s)", text.c_str());
    std::wstring t = text;
    remove_first_comment(t);
    t = remove_db_qualifiers(t, db_name);
    return sql_view_converter(std::move(t)).convert_to_ansi();
}

namespace {

// [name] outside quotes becomes `name` (a backquote inside doubled); an
// unmatched bracket stays as it is.
std::wstring brackets_to_backquotes(const std::wstring& t) {
    const std::vector<kind> k = classify(t);
    std::wstring out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        if (k[i] == kind::code && t[i] == L'[') {
            const size_t close = t.find(L']', i + 1);
            if (close != std::wstring::npos) {
                out += L'`';
                for (size_t j = i + 1; j < close; ++j) {
                    if (t[j] == L'`') out += L'`';
                    out += t[j];
                }
                out += L'`';
                i = close;
                continue;
            }
        }
        out += t[i];
    }
    return out;
}

std::wstring isnull_to_ifnull(std::wstring t) {
    for (size_t i = 0; i + 6 <= t.size(); ++i) {
        if (!keyword_at(t, i, L"ISNULL")) continue;
        if (sql_view_converter::check_isnull_for_replace(t, static_cast<std::ptrdiff_t>(i))) {
            t.replace(i, 6, L"ifnull");
            i += 5;
        }
    }
    return t;
}

// The destination name of a quoted name: a table's, else the first column's
// of that name; the name itself when none is mapped.
const std::wstring* mapped_identifier(const std::wstring& name, const udb_names_map& names) {
    for (const auto& [from, to] : names.table_map())
        if (udb_eq_nocase(from, name)) return &to;
    for (const auto& [table, columns] : names.field_maps())
        for (const auto& [from, to] : columns)
            if (udb_eq_nocase(from, name)) return &to;
    return nullptr;
}

std::wstring replace_names(const std::wstring& t, const udb_names_map& names) {
    const std::vector<kind> k = classify(t);
    std::wstring out;
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        size_t j = i;
        if (k[i] == kind::code) {
            while (j < t.size() && k[j] == kind::code) ++j;
            out += names.do_global_replace1(t.substr(i, j - i), L"`", L"`");
            i = j;
            continue;
        }
        // A quoted stretch: its opening quote and every quoted character after it.
        ++j;
        while (j < t.size() && k[j] == kind::quoted) ++j;
        const std::wstring_view stretch(t.data() + i, j - i);
        if (t[i] == L'`' && stretch.size() >= 2 && stretch.back() == L'`') {
            std::wstring name;
            for (size_t p = 1; p + 1 < stretch.size(); ++p) {
                name += stretch[p];
                if (stretch[p] == L'`') ++p;  // a doubled backquote is one character
            }
            if (const std::wstring* to = mapped_identifier(name, names)) {
                out += L'`';
                for (wchar_t c : *to) {
                    if (c == L'`') out += L'`';
                    out += c;
                }
                out += L'`';
                i = j;
                continue;
            }
        }
        out += stretch;
        i = j;
    }
    return out;
}

}  // namespace

std::wstring sql_refine_view_in(const std::wstring& text, const udb_names_map& names) {
    tk_trace_w(1, L"sql_database::refine_view_in(%s)", text.c_str());
    std::wstring t = sql_view_converter::collapse_blanks(text);
    t = brackets_to_backquotes(t);
    t = isnull_to_ifnull(std::move(t));
    return replace_names(t, names);
}
