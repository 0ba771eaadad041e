#include "postgres/pgs_rcol.h"

#include <charconv>

#include "platform/pf_dec.h"
#include "platform/pf_num.h"
#include "platform/plat_date.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_ident.h"
#include "tk/tk_utils.h"

namespace {

// Digits held by money: its int64 count of the smallest unit.
constexpr std::uint32_t money_precision = 19;
// The server keeps at most this many bytes of a name.
constexpr std::uint32_t name_length = 63;
// A value is shown in an error up to this many characters.
constexpr std::size_t shown_chars = 64;

std::wstring shown(std::string_view text) {
    std::string cut(text.substr(0, shown_chars));
    std::wstring w;
    try {
        w = tk_utf8_to_unicode(cut);
    } catch (const tk_exception&) {
        // The cut went through a character: drop its partial bytes.
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0x80)) cut.pop_back();
        w = tk_utf8_to_unicode(cut);
    }
    if (text.size() > shown_chars) w += L"...";
    return w;
}

[[noreturn]] void refuse(const pgs_read_column& c, std::string_view text, const wchar_t* why) {
    throw pgs_exception(L"The value '" + shown(text) + L"' of column '" + c.name.str() + L"' " + why);
}

template <class T>
T whole_integer(const pgs_read_column& c, std::string_view text) {
    T v{};
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) refuse(c, text, L"is not an integer of its type.");
    return v;
}

// Reads exactly n digits (or, with n_max > n, from n to n_max) at s[i].
bool digits(std::string_view s, std::size_t& i, std::size_t n, std::size_t n_max, std::uint32_t& out) {
    std::size_t k = 0;
    out = 0;
    while (i < s.size() && k < n_max && s[i] >= '0' && s[i] <= '9') {
        out = out * 10 + static_cast<std::uint32_t>(s[i] - '0');
        ++i;
        ++k;
    }
    return k >= n && (i == s.size() || s[i] < '0' || s[i] > '9');
}

bool literal(std::string_view s, std::size_t& i, std::string_view word) {
    if (s.substr(i, word.size()) != word) return false;
    i += word.size();
    return true;
}

enum class date_fault { none, malformed, infinite, before_christ, after_9999 };

// The ISO output of date, timestamp, timestamptz (in UTC) and time.
date_fault read_date_time(std::string_view s, pgs_read_column::path how, plat_systemtime& out) {
    using path = pgs_read_column::path;
    if (s == "infinity" || s == "-infinity") return date_fault::infinite;
    out = plat_systemtime{};
    std::size_t i = 0;
    std::uint32_t v = 0;
    std::uint32_t year = 0;
    const bool has_date = how != path::time;
    const bool has_time = how != path::date;
    if (has_date) {
        // Years after 9999 come with more digits; the largest has six.
        if (!digits(s, i, 4, 9, year) || !literal(s, i, "-")) return date_fault::malformed;
        if (!digits(s, i, 2, 2, v) || v < 1 || v > 12 || !literal(s, i, "-")) return date_fault::malformed;
        out.month = static_cast<std::uint16_t>(v);
        if (!digits(s, i, 2, 2, v) || v < 1) return date_fault::malformed;
        out.day = static_cast<std::uint16_t>(v);
        if (has_time && !literal(s, i, " ")) return date_fault::malformed;
    }
    if (has_time) {
        if (!digits(s, i, 2, 2, v) || v > (how == path::time ? 24u : 23u) || !literal(s, i, ":"))
            return date_fault::malformed;
        out.hour = static_cast<std::uint16_t>(v);
        if (!digits(s, i, 2, 2, v) || v > 59 || !literal(s, i, ":")) return date_fault::malformed;
        out.minute = static_cast<std::uint16_t>(v);
        if (!digits(s, i, 2, 2, v) || v > 59) return date_fault::malformed;
        out.second = static_cast<std::uint16_t>(v);
        if (literal(s, i, ".")) {
            const std::size_t start = i;
            if (!digits(s, i, 1, 6, v)) return date_fault::malformed;
            for (std::size_t k = i - start; k < 6; ++k) v *= 10;
            out.microsecond = v;
        }
        if (out.hour == 24 && (out.minute || out.second || out.microsecond)) return date_fault::malformed;
        if (how == path::timestamptz && !literal(s, i, "+00")) return date_fault::malformed;
    }
    const bool bc = has_date && literal(s, i, " BC");
    if (i != s.size()) return date_fault::malformed;
    if (bc) return date_fault::before_christ;
    if (has_date) {
        if (year > 9999) return date_fault::after_9999;
        if (year == 0 || out.day > plat_days_in_month(static_cast<int>(year), out.month)) return date_fault::malformed;
        out.year = static_cast<std::uint16_t>(year);
    }
    return date_fault::none;
}

ole_variant date_value(const pgs_read_column& c, std::string_view text) {
    plat_systemtime t;
    switch (read_date_time(text, c.how, t)) {
    case date_fault::none: return ole_variant(t);
    case date_fault::infinite: refuse(c, text, L"is an infinite date, which a date value cannot hold.");
    case date_fault::before_christ:
        refuse(c, text, L"is a date before the year 1 (BC), which a date value cannot hold.");
    case date_fault::after_9999: refuse(c, text, L"is a date after the year 9999, which a date value cannot hold.");
    case date_fault::malformed: break;
    }
    refuse(c, text, L"is not a value of its type.");
}

ole_variant decimal_value(const pgs_read_column& c, std::string_view text) {
    if (text == "NaN" || text == "Infinity" || text == "-Infinity")
        refuse(c, text, L"is not a number, which a decimal value cannot hold.");
    pf_decimal d;
    const pf_hresult hr = pf_decimal::parse(text, d);
    if (hr == PF_DISP_E_OVERFLOW)
        refuse(c, text, L"has more digits than a decimal value holds (80 digits, 80 after the point).");
    if (pf_failed(hr)) refuse(c, text, L"is not a number.");
    return ole_variant(d);
}

template <class T>
ole_variant real_value(const pgs_read_column& c, std::string_view text) {
    T v{};
    bool ok = false;
    if constexpr (std::is_same_v<T, float>)
        ok = pf_parse_r4(text, v);
    else
        ok = pf_parse_r8(text, v);
    if (!ok) refuse(c, text, L"is not a number.");
    return ole_variant(v);
}

ole_variant bytes_value(const pgs_read_column& c, std::string_view text) {
    if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0)
        refuse(c, text, L"is not hexadecimal bytea text.");
    ole_variant v;
    const std::size_t n = (text.size() - 2) / 2;
    unsigned char* out = v.allocate_safe_array(n);
    for (std::size_t k = 0; k < n; ++k) {
        const int hi = pf_hex_value(static_cast<unsigned char>(text[2 + 2 * k]));
        const int lo = pf_hex_value(static_cast<unsigned char>(text[3 + 2 * k]));
        if (hi < 0 || lo < 0) refuse(c, text, L"is not hexadecimal bytea text.");
        out[k] = static_cast<unsigned char>(hi * 16 + lo);
    }
    return v;
}

}  // namespace

std::uint32_t pgs_decimal_subtype(int typmod) {
    if (typmod < 4) return 0;
    const std::int32_t m = typmod - 4;
    std::int64_t precision = (m >> 16) & 0xFFFF;
    // An 11-bit signed scale (negative scales since PostgreSQL 15).
    std::int64_t scale = ((m & 0x7FF) ^ 0x400) - 0x400;
    if (scale < 0) {
        precision -= scale;
        scale = 0;
    }
    if (scale > precision) precision = scale;
    if (scale > 0xFF || precision > 0xFFFFFF) return 0;
    return static_cast<std::uint32_t>(precision << 8 | scale);
}

void pgs_describe_column(pgs_read_column& c, std::uint32_t type_oid, int typmod, unsigned money_scale) {
    using path = pgs_read_column::path;
    c.size = 0;
    c.subtype = 0;
    c.as_numeric = false;
    c.vt = VT_BSTR;
    c.how = path::text;
    switch (type_oid) {
    case pgs_oid::boolean:
        c.vt = VT_BOOL;
        c.how = path::boolean;
        break;
    case pgs_oid::int2:
        c.vt = VT_I2;
        c.how = path::int2;
        break;
    case pgs_oid::int4:
        c.vt = VT_I4;
        c.how = path::int4;
        break;
    case pgs_oid::int8:
        c.vt = VT_I8;
        c.how = path::int8;
        c.subtype = 1;
        break;
    case pgs_oid::float4:
        c.vt = VT_R4;
        c.how = path::real4;
        break;
    case pgs_oid::float8:
        c.vt = VT_R8;
        c.how = path::real8;
        break;
    case pgs_oid::numeric:
        c.vt = VT_DECIMAL;
        c.how = path::decimal;
        c.subtype = pgs_decimal_subtype(typmod);
        break;
    case pgs_oid::money:
        // Read through numeric: its text is exact and free of currency signs.
        c.vt = VT_DECIMAL;
        c.how = path::decimal;
        c.as_numeric = true;
        c.subtype = money_precision << 8 | (money_scale & 0xFF);
        break;
    case pgs_oid::date:
        c.vt = VT_DATE;
        c.how = path::date;
        c.subtype = 2;
        break;
    case pgs_oid::time:
        c.vt = VT_DATE;
        c.how = path::time;
        c.subtype = 3;
        break;
    case pgs_oid::timestamp:
        c.vt = VT_DATE;
        c.how = path::timestamp;
        c.subtype = 1;
        break;
    case pgs_oid::timestamptz:
        c.vt = VT_DATE;
        c.how = path::timestamptz;
        c.subtype = 1;
        break;
    case pgs_oid::bytea:
        c.vt = VT_BLOB;
        c.how = path::bytes;
        break;
    case pgs_oid::varchar:
    case pgs_oid::bpchar:
        if (typmod >= 4) c.size = static_cast<std::uint32_t>(typmod - 4);
        break;
    case pgs_oid::name: c.size = name_length; break;
    default: break;  // text, and every type read as its own text
    }
}

std::string pgs_select_list(const std::vector<pgs_read_column>& columns) {
    std::string list;
    for (const pgs_read_column& c : columns) {
        if (!list.empty()) list += ", ";
        list += pgs_quote_ident(tk_to_utf8(c.name.str()));
        if (c.as_numeric) list += "::numeric";
    }
    return list;
}

ole_variant pgs_cell_value(const pgs_read_column& c, std::string_view text) {
    using path = pgs_read_column::path;
    switch (c.how) {
    case path::text: return ole_variant(text);
    case path::boolean:
        if (text == "t") return ole_variant(true);
        if (text == "f") return ole_variant(false);
        refuse(c, text, L"is not a boolean.");
    case path::int2: return ole_variant(whole_integer<short>(c, text));
    case path::int4: return ole_variant(whole_integer<int>(c, text));
    case path::int8: return ole_variant(whole_integer<long long>(c, text));
    case path::real4: return real_value<float>(c, text);
    case path::real8: return real_value<double>(c, text);
    case path::decimal: return decimal_value(c, text);
    case path::date:
    case path::timestamp:
    case path::timestamptz:
    case path::time: return date_value(c, text);
    case path::bytes: return bytes_value(c, text);
    }
    return ole_variant(text);
}
