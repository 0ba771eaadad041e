#include "tk/tk_tfmt.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string_view>
#include <type_traits>

#include "platform/pf_text.h"
#include "tk/tk_print.h"

namespace {

enum class length_mod { none, hh, h, l, ll, L, z, j, t };

// One conversion of the format: flags, width and precision resolved (a '*'
// has taken its argument), length modifier and conversion character.
struct conversion {
    std::string flags;
    int width = -1;
    int precision = -1;
    length_mod length = length_mod::none;
    char conv = 0;
};

// Text arguments and their result, in the writer's character type.
void append_text(std::string& out, std::string_view text) { out += tk_printable(text); }
void append_text(std::string& out, std::wstring_view text) {
    std::string bytes;
    // Escaped text has only characters with a UTF-8 form.
    pf_wide_to_utf8(tk_printable(text), bytes);
    out += bytes;
}
void append_text(std::wstring& out, std::wstring_view text) { out += tk_printable(text); }
void append_text(std::wstring& out, std::string_view text) {
    std::wstring wide;
    // Escaped text is UTF-8.
    pf_utf8_to_wide(tk_printable(text), wide);
    out += wide;
}

template <class Ch>
void append_ascii(std::basic_string<Ch>& out, std::string_view text) {
    for (const char c : text) out += static_cast<Ch>(static_cast<unsigned char>(c));
}

// The C library's form of a number or pointer conversion, with the width and
// precision written out.
std::string c_directive(const conversion& c, const char* length) {
    std::string directive = "%" + c.flags;
    if (c.width >= 0) directive += std::to_string(c.width);
    if (c.precision >= 0) directive += "." + std::to_string(c.precision);
    return directive + length + c.conv;
}

// Appends the C library's form of one number or pointer argument.
template <class Ch, class T>
void append_value(std::basic_string<Ch>& out, const conversion& c, const char* length, T value) {
    const std::string directive = c_directive(c, length);
    char small[128];
    const int n = std::snprintf(small, sizeof small, directive.c_str(), value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small)
        return append_ascii(out, std::string_view(small, static_cast<std::size_t>(n)));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), directive.c_str(), value);
    append_ascii(out, std::string_view(big.data(), static_cast<std::size_t>(n)));
}

// The argument type of an integer conversion: the signed or unsigned twin of
// the type its length modifier names.
template <bool Signed, class T>
using int_arg = std::conditional_t<Signed, std::make_signed_t<T>, std::make_unsigned_t<T>>;

// hh and h arguments arrive promoted to int; the C library narrows them.
template <bool Signed, class Ch>
void append_integer(std::basic_string<Ch>& out, const conversion& c, va_list& ap) {
    using arg_int = int_arg<Signed, int>;
    using arg_long = int_arg<Signed, long>;
    using arg_llong = int_arg<Signed, long long>;
    using arg_size = int_arg<Signed, std::size_t>;
    using arg_max = int_arg<Signed, std::intmax_t>;
    using arg_ptrdiff = int_arg<Signed, std::ptrdiff_t>;
    switch (c.length) {
    case length_mod::l: return append_value(out, c, "l", va_arg(ap, arg_long));
    case length_mod::ll: return append_value(out, c, "ll", va_arg(ap, arg_llong));
    case length_mod::z: return append_value(out, c, "z", va_arg(ap, arg_size));
    case length_mod::j: return append_value(out, c, "j", va_arg(ap, arg_max));
    case length_mod::t: return append_value(out, c, "t", va_arg(ap, arg_ptrdiff));
    case length_mod::hh: return append_value(out, c, "hh", va_arg(ap, arg_int));
    case length_mod::h: return append_value(out, c, "h", va_arg(ap, arg_int));
    default: return append_value(out, c, "", va_arg(ap, arg_int));
    }
}

// A text argument: at most `precision` characters, escaped, then padded to
// the width.
template <class Ch, class Arg>
void append_string(std::basic_string<Ch>& out, const conversion& c, const Arg* text) {
    const std::size_t start = out.size();
    if (!text) {
        append_ascii(out, "(null)");
    } else {
        std::size_t n = 0;
        const std::size_t limit = c.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(c.precision);
        while (n < limit && text[n]) ++n;
        append_text(out, std::basic_string_view<Arg>(text, n));
    }
    const std::size_t written = out.size() - start;
    if (c.width < 0 || written >= static_cast<std::size_t>(c.width)) return;
    const std::size_t pad = static_cast<std::size_t>(c.width) - written;
    if (c.flags.find('-') != std::string::npos)
        out.append(pad, Ch(' '));
    else
        out.insert(start, pad, Ch(' '));
}

template <class Ch>
int read_number(const Ch*& p) {
    int value = 0;
    while (*p >= Ch('0') && *p <= Ch('9')) {
        if (value < 100000) value = value * 10 + (*p - Ch('0'));
        ++p;
    }
    return value;
}

template <class Ch>
bool is_flag(Ch c) {
    return c == Ch('-') || c == Ch('+') || c == Ch(' ') || c == Ch('#') || c == Ch('0') || c == Ch('\'');
}

template <class Ch>
length_mod read_length(const Ch*& p) {
    switch (*p) {
    case Ch('h'):
        ++p;
        if (*p == Ch('h')) {
            ++p;
            return length_mod::hh;
        }
        return length_mod::h;
    case Ch('l'):
        ++p;
        if (*p == Ch('l')) {
            ++p;
            return length_mod::ll;
        }
        return length_mod::l;
    case Ch('q'): ++p; return length_mod::ll;
    case Ch('L'): ++p; return length_mod::L;
    case Ch('z'): ++p; return length_mod::z;
    case Ch('j'): ++p; return length_mod::j;
    case Ch('t'): ++p; return length_mod::t;
    default: return length_mod::none;
    }
}

template <class Ch>
std::basic_string<Ch> format_line(const Ch* fmt, va_list args) {
    va_list ap;
    va_copy(ap, args);
    std::basic_string<Ch> out;
    const Ch* p = fmt;
    while (*p) {
        if (*p != Ch('%')) {
            out += *p++;
            continue;
        }
        const Ch* const start = p++;
        if (*p == Ch('%')) {
            out += *p++;
            continue;
        }
        conversion c;
        while (is_flag(*p)) c.flags += static_cast<char>(*p++);
        if (*p == Ch('*')) {
            ++p;
            c.width = va_arg(ap, int);
            if (c.width < 0) {
                c.flags += '-';
                c.width = c.width == INT_MIN ? INT_MAX : -c.width;
            }
        } else if (*p >= Ch('1') && *p <= Ch('9')) {
            c.width = read_number(p);
        }
        if (*p == Ch('.')) {
            ++p;
            if (*p == Ch('*')) {
                ++p;
                c.precision = va_arg(ap, int);
                if (c.precision < 0) c.precision = -1;
            } else {
                c.precision = read_number(p);
            }
        }
        c.length = read_length(p);
        if (!*p) {
            // A conversion cut off by the end of the format is written as it stands.
            out.append(start, p);
            break;
        }
        c.conv = static_cast<char>(*p++);
        const bool wide_arg = c.length == length_mod::l;
        switch (c.conv) {
        case 'd':
        case 'i': append_integer<true>(out, c, ap); break;
        case 'o':
        case 'u':
        case 'x':
        case 'X': append_integer<false>(out, c, ap); break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (c.length == length_mod::L)
                append_value(out, c, "L", va_arg(ap, long double));
            else
                append_value(out, c, "", va_arg(ap, double));
            break;
        case 'p': append_value(out, c, "", va_arg(ap, void*)); break;
        case 'n': (void)va_arg(ap, void*); break;
        case 'c':
        case 'C': {
            const conversion as_text{c.flags, c.width, -1, c.length, 's'};
            const std::wint_t ch =
                wide_arg || c.conv == 'C' ? va_arg(ap, std::wint_t) : static_cast<unsigned char>(va_arg(ap, int));
            if (ch == 0) {
                // A NUL is still one character of the line.
                append_string(out, as_text, "\\x00");
            } else if (wide_arg || c.conv == 'C') {
                const wchar_t text[2] = {static_cast<wchar_t>(ch), L'\0'};
                append_string(out, as_text, text);
            } else {
                const char text[2] = {static_cast<char>(ch), '\0'};
                append_string(out, as_text, text);
            }
            break;
        }
        case 's':
        case 'S':
            if (wide_arg || c.conv == 'S')
                append_string(out, c, va_arg(ap, const wchar_t*));
            else
                append_string(out, c, va_arg(ap, const char*));
            break;
        default:
            // Not a conversion this writer knows: written as it stands, and no
            // argument is taken, as it is not known what it would be.
            out.append(start, p);
            break;
        }
    }
    va_end(ap);
    return out;
}

}  // namespace

std::string tk_format_printable(const char* fmt, va_list ap) { return format_line(fmt, ap); }

std::wstring tk_format_printable(const wchar_t* fmt, va_list ap) { return format_line(fmt, ap); }
