#include "platform/pf_num.h"

#include <locale.h>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/pf_trim.h"

namespace {

struct cursor {
    const char* p;
    const char* end;
};

cursor skip_space(std::string_view t) {
    t = pf_trim_start(t, pf_blanks::c_space);
    return {t.data(), t.data() + t.size()};
}

// Sign and the magnitude of the leading digits; `saturated` when it left 64 bits.
struct digits_read {
    bool negative = false;
    bool any = false;
    bool saturated = false;
    std::uint64_t magnitude = 0;
};

digits_read read_digits(std::string_view text) {
    digits_read r;
    cursor c = skip_space(text);
    if (c.p < c.end && (*c.p == '+' || *c.p == '-')) {
        r.negative = *c.p == '-';
        ++c.p;
    }
    for (; c.p < c.end && *c.p >= '0' && *c.p <= '9'; ++c.p) {
        r.any = true;
        const unsigned d = static_cast<unsigned>(*c.p - '0');
        if (r.magnitude > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
            r.saturated = true;
        else if (!r.saturated)
            r.magnitude = r.magnitude * 10 + d;
    }
    return r;
}

template <class T>
T signed_from(const digits_read& r) {
    using U = std::make_unsigned_t<T>;
    const std::uint64_t max_pos = static_cast<U>(std::numeric_limits<T>::max());
    if (!r.negative)
        return r.saturated || r.magnitude > max_pos ? std::numeric_limits<T>::max() : static_cast<T>(r.magnitude);
    if (r.saturated || r.magnitude > max_pos + 1) return std::numeric_limits<T>::min();
    return static_cast<T>(-static_cast<std::int64_t>(r.magnitude - 1) - 1);
}

template <class T>
T unsigned_from(const digits_read& r) {
    const std::uint64_t max = std::numeric_limits<T>::max();
    if (!r.any) return 0;
    const std::uint64_t m = r.saturated || r.magnitude > max ? max : r.magnitude;
    return r.negative ? static_cast<T>(0 - static_cast<T>(m)) : static_cast<T>(m);
}

locale_t c_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

// from_chars does not take a leading '+', and leaves the value alone when the
// text is out of range; the C locale's strtod settles those few cases.
template <class T>
bool read_real(const char* p, const char* end, T& out, const char** stop) {
    const char* q = p;
    if (q < end && *q == '+' && q + 1 < end && *(q + 1) != '-' && *(q + 1) != '+') ++q;
    T v{};
    auto res = std::from_chars(q, end, v, std::chars_format::general);
    if (res.ec == std::errc()) {
        out = v;
        *stop = res.ptr;
        return true;
    }
    if (res.ec == std::errc::result_out_of_range) {
        std::string tmp(p, static_cast<std::size_t>(res.ptr - p));
        char* e = nullptr;
        if constexpr (std::is_same_v<T, float>)
            out = strtof_l(tmp.c_str(), &e, c_locale());
        else
            out = strtod_l(tmp.c_str(), &e, c_locale());
        *stop = res.ptr;
        return true;
    }
    *stop = p;
    return false;
}

template <class T>
T lenient_real(std::string_view text) {
    cursor c = skip_space(text);
    T v{};
    const char* stop;
    return read_real(c.p, c.end, v, &stop) ? v : T(0);
}

template <class T>
bool strict_real(std::string_view text, T& out) {
    const std::string_view number = pf_trim(text, pf_blanks::c_space);
    if (number.empty()) return false;
    const char* const end = number.data() + number.size();
    T v{};
    const char* stop;
    if (!read_real(number.data(), end, v, &stop) || stop != end) return false;
    out = v;
    return true;
}

constexpr std::array<signed char, 256> make_hex_table() {
    std::array<signed char, 256> t{};
    for (auto& x : t) x = -1;
    for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        t['A' + i] = static_cast<signed char>(10 + i);
        t['a' + i] = static_cast<signed char>(10 + i);
    }
    return t;
}
constexpr auto hex_table = make_hex_table();

constexpr std::array<char, 512> make_hex_pairs() {
    std::array<char, 512> t{};
    const char* d = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
        t[2 * i] = d[i >> 4];
        t[2 * i + 1] = d[i & 15];
    }
    return t;
}
constexpr auto hex_pairs = make_hex_pairs();

}  // namespace

std::int32_t pf_atoi(std::string_view text) noexcept { return signed_from<std::int32_t>(read_digits(text)); }
std::int64_t pf_atoi64(std::string_view text) noexcept { return signed_from<std::int64_t>(read_digits(text)); }

std::optional<unsigned> pf_port_number(std::string_view text) noexcept {
    const std::int64_t number = pf_atoi64(text);
    if (number < 1 || number > 65535) return std::nullopt;
    return static_cast<unsigned>(number);
}
std::uint32_t pf_scan_u32(std::string_view text) noexcept { return unsigned_from<std::uint32_t>(read_digits(text)); }
std::uint64_t pf_scan_u64(std::string_view text) noexcept { return unsigned_from<std::uint64_t>(read_digits(text)); }

double pf_atof(std::string_view text) noexcept { return lenient_real<double>(text); }
float pf_atof_r4(std::string_view text) noexcept { return lenient_real<float>(text); }
bool pf_parse_r8(std::string_view text, double& out) noexcept { return strict_real(text, out); }
bool pf_parse_r4(std::string_view text, float& out) noexcept { return strict_real(text, out); }

std::size_t pf_format_i64(std::int64_t v, char* buf) noexcept {
    return static_cast<std::size_t>(std::to_chars(buf, buf + pf_num_max_text, v).ptr - buf);
}
std::size_t pf_format_u64(std::uint64_t v, char* buf) noexcept {
    return static_cast<std::size_t>(std::to_chars(buf, buf + pf_num_max_text, v).ptr - buf);
}
std::size_t pf_format_r8(double v, char* buf) noexcept {
    return static_cast<std::size_t>(std::to_chars(buf, buf + pf_num_max_text, v, std::chars_format::scientific).ptr -
                                    buf);
}
std::size_t pf_format_r4(float v, char* buf) noexcept {
    return static_cast<std::size_t>(std::to_chars(buf, buf + pf_num_max_text, v, std::chars_format::scientific).ptr -
                                    buf);
}

int pf_hex_value(unsigned char c) noexcept { return hex_table[c]; }

void pf_hex_encode(const unsigned char* bytes, std::size_t count, char* out) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        const char* pair = &hex_pairs[2 * bytes[i]];
        out[2 * i] = pair[0];
        out[2 * i + 1] = pair[1];
    }
}
