// The view-text converter on arbitrary text. The input's first line is the
// database name, the rest the view text. Checked: convert_to_ansi only cuts a
// tail that starts with " ORDER BY " and writes some JOIN words as
// "cross join"; collapse_blanks is idempotent and leaves no blank run in code;
// the refinement equals the plain conversion when it has nothing to remove;
// the isnull probe takes every position.

#include <vector>

#include "fuzz_util.h"
#include "sql/sql_view.h"
#include "tk/tk_utils.h"

namespace {
constexpr const char* me = "fuzz_view";

wchar_t up(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

bool starts_nocase(std::wstring_view s, std::size_t i, std::wstring_view upper_kw) {
    if (s.size() - i < upper_kw.size()) return false;
    for (std::size_t k = 0; k < upper_kw.size(); ++k)
        if (up(s[i + k]) != upper_kw[k]) return false;
    return true;
}

// Which characters are SQL code as MySQL reads them: outside '...', "..."
// and `...`, where a doubled quote stands for itself and a backslash escapes
// in the first two. A quote that opens a stretch counts as quoted here.
std::vector<bool> code_map(std::wstring_view s) {
    std::vector<bool> code(s.size(), false);
    wchar_t q = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (!q) {
            if (c == L'\'' || c == L'"' || c == L'`')
                q = c;
            else
                code[i] = true;
        } else if (c == q) {
            if (i + 1 < s.size() && s[i + 1] == q)
                ++i;
            else
                q = 0;
        } else if (c == L'\\' && q != L'`') {
            ++i;
        }
    }
    return code;
}

bool word_char(wchar_t c) {
    return c == L'_' || c == L'$' || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           c >= 0x80;
}

// Parenthesis depth in code before position i.
int depth_at(std::wstring_view s, const std::vector<bool>& code, std::size_t end) {
    int d = 0;
    for (std::size_t i = 0; i < end; ++i)
        if (code[i]) d += s[i] == L'(' ? 1 : s[i] == L')' ? -1 : 0;
    return d;
}

// out is in with its tail from a top-level " ORDER BY " in code removed or
// not, and some whole words "join" (any case) in code replaced by "cross join".
bool edit_shape(std::wstring_view in, std::wstring_view out) {
    const std::vector<bool> code = code_map(in);
    std::size_t i = 0, j = 0;
    while (j < out.size()) {
        if (i < in.size() && out[j] == in[i]) {
            ++i, ++j;
        } else if (out.substr(j, 10) == L"cross join" && i < in.size() && starts_nocase(in, i, L"JOIN")) {
            for (std::size_t k = i; k < i + 4; ++k)
                if (!code[k]) return false;
            if (i > 0 && word_char(in[i - 1])) return false;
            if (i + 4 < in.size() && word_char(in[i + 4])) return false;
            i += 4, j += 10;
        } else {
            return false;
        }
    }
    if (i == in.size()) return true;
    if (!starts_nocase(in, i, L" ORDER BY ")) return false;
    for (std::size_t k = i; k < i + 10; ++k)
        if (!code[k]) return false;
    return depth_at(in, code, i) == 0;
}

std::wstring decode(std::string_view bytes) {
    std::wstring w;
    if (tk_a2w(bytes, w)) return w;
    // Not UTF-8: every byte as one character, so the converter still sees it.
    w.clear();
    for (unsigned char c : bytes) w.push_back(static_cast<wchar_t>(c));
    return w;
}

bool has_quote(std::wstring_view s) { return s.find_first_of(L"'\"`") != std::wstring_view::npos; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t nl = all.find('\n');
    const std::wstring db = decode(all.substr(0, nl == std::string_view::npos ? 0 : nl));
    const std::wstring text = decode(nl == std::string_view::npos ? all : all.substr(nl + 1));

    const sql_view_converter conv(text);
    FUZZ_CHECK(me, conv.text() == text);
    const std::wstring ansi = conv.convert_to_ansi();
    FUZZ_CHECK(me, edit_shape(text, ansi));

    const std::wstring once = sql_view_converter::collapse_blanks(text);
    FUZZ_CHECK(me, sql_view_converter::collapse_blanks(once) == once);
    if (!has_quote(text)) {
        FUZZ_CHECK(me, once.find_first_of(L"\t\r\n") == std::wstring::npos);
        FUZZ_CHECK(me, once.find(L"  ") == std::wstring::npos);
    }

    const std::wstring refined = sql_refine_view_out(db, text);
    const bool no_comment = text.find(L"/*") == std::wstring::npos;
    if (no_comment && (db.empty() || text.find(L'`') == std::wstring::npos)) FUZZ_CHECK(me, refined == ansi);

    for (std::ptrdiff_t p = -1; p <= static_cast<std::ptrdiff_t>(text.size()); ++p) {
        const bool r = sql_view_converter::check_isnull_for_replace(text, p);
        if (r) FUZZ_CHECK(me, starts_nocase(text, static_cast<std::size_t>(p), L"ISNULL"));
    }
    return 0;
}
