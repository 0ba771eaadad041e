#include "tk/tk_print.h"

#include <cstdint>

#include "platform/pf_utf8.h"

namespace {

// Characters a terminal or a viewer acts on instead of showing: C0, DEL and
// C1 controls, the marks that reorder text (bidi) and the Unicode line and
// paragraph separators. Values without a UTF-8 form count as well.
bool is_control(std::uint32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    if (c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029) return true;
    if ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) return true;
    return !pf_utf8::is_scalar(c);
}

template <class Ch>
void put_escape(std::basic_string<Ch>& out, std::uint32_t c) {
    static const char digits[] = "0123456789abcdef";
    out += Ch('\\');
    switch (c) {
    case '\n': out += Ch('n'); return;
    case '\r': out += Ch('r'); return;
    case '\t': out += Ch('t'); return;
    default: break;
    }
    int n = 2;
    if (c < 0x80) {
        out += Ch('x');
    } else if (c <= 0xFFFF) {
        out += Ch('u');
        n = 4;
    } else {
        out += Ch('U');
        n = 8;
    }
    for (int shift = (n - 1) * 4; shift >= 0; shift -= 4) out += Ch(digits[(c >> shift) & 0xF]);
}

void put_byte_escape(std::string& out, unsigned char b) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[b >> 4];
    out += digits[b & 0xF];
}

std::string printable(std::string_view text, bool keep_line_feeds) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (*p >= 0x20 && *p < 0x7F) {
            out += static_cast<char>(*p++);
            continue;
        }
        std::uint32_t c = 0;
        const std::size_t n = pf_utf8::decode(p, end, c);
        if (n == 0) {
            put_byte_escape(out, *p++);
            continue;
        }
        if (is_control(c) && !(keep_line_feeds && c == '\n'))
            put_escape(out, c);
        else
            out.append(reinterpret_cast<const char*>(p), n);
        p += n;
    }
    return out;
}

}  // namespace

std::string tk_printable(std::string_view text) { return printable(text, false); }

std::string tk_printable_lines(std::string_view text) { return printable(text, true); }

std::wstring tk_printable(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t ch : text) {
        const auto c = static_cast<std::uint32_t>(ch);
        if (is_control(c))
            put_escape(out, c);
        else
            out += ch;
    }
    return out;
}
