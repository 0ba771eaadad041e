#pragma once
// The one UTF-8 codec: code points (Unicode scalar values) to and from UTF-8
// bytes. Inline because the cell path (every text value read and written)
// runs through it; the text conversions, the value layer, the COPY line
// writer and the registry file all build on these few steps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pf_utf8 {

// A value that has a UTF-8 form: at most U+10FFFF and no surrogate.
constexpr bool is_scalar(std::uint32_t c) noexcept { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Bytes of the UTF-8 form of a scalar value.
constexpr std::size_t length(std::uint32_t c) noexcept { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Writes the UTF-8 form of a scalar value at o (room for length(c) bytes) and
// returns the end. A value that is_scalar refuses must not be passed.
inline char* put(char* o, std::uint32_t c) noexcept {
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

// For loops that have dealt with ASCII themselves: the UTF-8 form of a value
// of U+0080 or above, tested on the way; null (nothing written) for a value
// without one.
inline char* put_multibyte_checked(char* o, std::uint32_t c) noexcept {
    if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF) return nullptr;
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        return nullptr;
    }
    return o;
}

// Decodes the sequence that starts at p (p < end) into c and returns its
// length in bytes; 0 when it is not strict UTF-8 (a stray or truncated
// sequence, an overlong form, a surrogate, a value above U+10FFFF).
inline std::size_t decode(const unsigned char* p, const unsigned char* end, std::uint32_t& c) noexcept {
    const unsigned b = *p;
    if (b < 0x80) {
        c = b;
        return 1;
    }
    std::size_t n;
    std::uint32_t min;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, min = 0x10000;
    else
        return 0;
    if (static_cast<std::size_t>(end - p) < n) return 0;
    std::uint32_t u = b & (0xFFu >> (n + 1));
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        u = (u << 6) | (p[i] & 0x3F);
    }
    if (u < min || !is_scalar(u)) return 0;
    c = u;
    return n;
}

// Decodes a sequence already known to be valid (checked by decode).
inline std::size_t decode_valid(const unsigned char* p, std::uint32_t& c) noexcept {
    const unsigned b = *p;
    if (b < 0x80) {
        c = b;
        return 1;
    }
    const std::size_t n = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t u = b & (0xFFu >> (n + 1));
    for (std::size_t i = 1; i < n; ++i) u = (u << 6) | (p[i] & 0x3F);
    c = u;
    return n;
}

// Appends the UTF-8 form of wide text. A character that has none (a lone
// surrogate, a value above U+10FFFF) fails the whole text when strict (false,
// out unchanged) and otherwise becomes '?', the code page's default character.
inline bool append_wide(std::string& out, std::wstring_view text, bool strict) {
    const std::size_t old = out.size();
    // Most text is ASCII: one narrowing pass.
    std::uint32_t high = 0;
    for (const wchar_t c : text) high |= static_cast<std::uint32_t>(c);
    if (high < 0x80) {
        out.resize(old + text.size());
        char* o = out.data() + old;
        for (std::size_t i = 0; i < text.size(); ++i) o[i] = static_cast<char>(text[i]);
        return true;
    }
    std::size_t n = 0;
    for (const wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (is_scalar(u))
            n += length(u);
        else if (strict)
            return false;
        else
            n += 1;
    }
    out.resize(old + n);
    char* o = out.data() + old;
    for (const wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (is_scalar(u))
            o = put(o, u);
        else
            *o++ = '?';
    }
    return true;
}

// The number of characters of strict UTF-8 text (see decode), or npos when
// the text is not strict UTF-8.
inline std::size_t count(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    std::size_t n = 0;
    for (; p < end; ++n) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        std::uint32_t c;
        const std::size_t len = decode(p, end, c);
        if (len == 0) return std::string_view::npos;
        p += len;
    }
    return n;
}

// count for text that may hold NUL characters, which it does not accept:
// the number of characters, or npos when the text is not strict UTF-8 or
// holds a NUL. nul is set when the text holds one anywhere, even after a
// sequence that is not UTF-8: a NUL is what gets reported. ASCII runs are read
// eight bytes at a time.
inline std::size_t count_without_nul(std::string_view text, bool& nul) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    std::size_t n = 0;
    nul = false;
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            // No byte at or above 0x80, and none zero.
            if (((w | ((w - ones) & ~w)) & highs) == 0) {
                p += 8;
                n += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            if (*p == 0) {
                nul = true;
                return std::string_view::npos;
            }
            ++p;
            ++n;
            continue;
        }
        std::uint32_t c;
        const std::size_t len = decode(p, end, c);
        if (len == 0) {
            nul = std::memchr(p, 0, static_cast<std::size_t>(end - p)) != nullptr;
            return std::string_view::npos;
        }
        p += len;
        ++n;
    }
    return n;
}

// Decodes text that count accepted into out, which holds count(text)
// characters.
template <class C>
inline void decode_counted(std::string_view text, C* out) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            *out++ = static_cast<C>(*p++);
            continue;
        }
        std::uint32_t c;
        p += decode_valid(p, c);
        *out++ = static_cast<C>(c);
    }
}

// The length of the longest start of the text of at most max bytes that does
// not end inside a character.
constexpr std::size_t prefix_length(std::string_view text, std::size_t max) noexcept {
    if (text.size() <= max) return text.size();
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace pf_utf8
