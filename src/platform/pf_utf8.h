#pragma once
// The one UTF-8 codec: code points (Unicode scalar values) to and from UTF-8
// bytes. Inline because the cell path (every text value read and written)
// runs through it; the text conversions, the value layer, the COPY line
// writer and the registry file all build on these few steps.
#include <cstddef>
#include <cstdint>
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
    if (b >= 0xC2 && b <= 0xDF) n = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) n = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) n = 4, min = 0x10000;
    else return 0;
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

// The length of the longest start of the text of at most max bytes that does
// not end inside a character.
constexpr std::size_t prefix_length(std::string_view text, std::size_t max) noexcept {
    if (text.size() <= max) return text.size();
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace pf_utf8
