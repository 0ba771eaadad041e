#include "postgres/pgs_cbin.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/pf_dec.h"
#include "platform/pf_num.h"
#include "platform/pf_text.h"
#include "platform/pf_trim.h"
#include "platform/pf_utf8.h"
#include "platform/plat_date.h"
#include "postgres/pgs_cline.h"
#include "postgres/pgs_exc.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "variant/ole_date.h"
#include "variant/ole_var.h"

// Per-cell code: every value of every row of a table created here passes.

namespace {

[[noreturn]] void value_error(const std::string& what) { throw pgs_exception(what); }

const char* type_name(pgs_binary_kind kind) {
    switch (kind) {
    case pgs_binary_kind::int2: return "smallint";
    case pgs_binary_kind::int4: return "integer";
    case pgs_binary_kind::int8: return "bigint";
    case pgs_binary_kind::numeric: return "numeric";
    case pgs_binary_kind::float4: return "real";
    case pgs_binary_kind::float8: return "double precision";
    case pgs_binary_kind::date: return "date";
    case pgs_binary_kind::time: return "time without time zone";
    case pgs_binary_kind::timestamp: return "timestamp without time zone";
    case pgs_binary_kind::text: return "text";
    case pgs_binary_kind::bytea: return "bytea";
    case pgs_binary_kind::boolean: return "boolean";
    }
    return "?";
}

[[noreturn]] void type_error(const ole_variant& value, pgs_binary_kind kind) {
    value_error("A value of type " + std::to_string(value.vartype()) + " cannot be written to a column of type " +
                type_name(kind));
}

// The server's words for text its type does not read (as text COPY would
// have failed the whole table with them).
[[noreturn]] void syntax_error(pgs_binary_kind kind, std::string_view text) {
    value_error(std::string("invalid input syntax for type ") + type_name(kind) + ": \"" + std::string(text) + "\"");
}

[[noreturn]] void range_error(pgs_binary_kind kind, std::string_view text) {
    if (kind == pgs_binary_kind::float4 || kind == pgs_binary_kind::float8)
        value_error("\"" + std::string(text) + "\" is out of range for type " + type_name(kind));
    value_error("value \"" + std::string(text) + "\" is out of range for type " + type_name(kind));
}

inline char* put16(char* o, std::uint16_t v) {
    v = __builtin_bswap16(v);
    std::memcpy(o, &v, 2);
    return o + 2;
}
inline char* put32(char* o, std::uint32_t v) {
    v = __builtin_bswap32(v);
    std::memcpy(o, &v, 4);
    return o + 4;
}
inline char* put64(char* o, std::uint64_t v) {
    v = __builtin_bswap64(v);
    std::memcpy(o, &v, 8);
    return o + 8;
}

// An integer value of an integer type (booleans as 1 and 0, as their text).
bool integer_of(const ole_variant& v, std::int64_t& out, bool& above_int64) {
    const pf_variant& x = v.get_var();
    above_int64 = false;
    switch (v.vartype()) {
    case VT_I1: out = x.i1; return true;
    case VT_UI1: out = x.ui1; return true;
    case VT_I2: out = x.i2; return true;
    case VT_UI2: out = x.ui2; return true;
    case VT_I4:
    case VT_INT: out = x.i4; return true;
    case VT_UI4:
    case VT_UINT: out = x.ui4; return true;
    case VT_I8: out = v.get_i8(); return true;
    case VT_UI8:
        above_int64 = v.get_ui8() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        out = static_cast<std::int64_t>(v.get_ui8());
        return true;
    case VT_BOOL: out = x.boolean == PF_VARIANT_TRUE ? 1 : 0; return true;
    default: return false;
    }
}

// The whole of t as a number (a '+' allowed in front); overflow: one beyond
// the type's range.
template <class T>
bool whole_number(std::string_view t, T& out, bool& overflow) {
    overflow = false;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return false;
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    if (p != t.data() + t.size()) return false;
    if (ec == std::errc::result_out_of_range) overflow = true;
    return ec == std::errc() || overflow;
}

// Text as the server reads an integer: blanks around, a sign, digits.
bool parse_integer(std::string_view t, std::int64_t& out, bool& overflow) {
    return whole_number(pf_trim(t, pf_blanks::c_space), out, overflow);
}

// Text as the server reads a real: blanks around, a decimal or exponent form,
// or the words NaN, Infinity and inf with a sign.
template <class T>
bool parse_real(std::string_view t, T& out, bool& overflow) {
    t = pf_trim(t, pf_blanks::c_space);
    overflow = false;
    bool negative = false;
    std::string_view word = t;
    if (!word.empty() && (word.front() == '-' || word.front() == '+')) {
        negative = word.front() == '-';
        word.remove_prefix(1);
    }
    if (pf_ascii_is_word(word, "nan") && word.size() == t.size()) {
        out = std::numeric_limits<T>::quiet_NaN();
        return true;
    }
    if (pf_ascii_is_word(word, "infinity") || pf_ascii_is_word(word, "inf")) {
        out = negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
        return true;
    }
    return whole_number(t, out, overflow);
}

// PostgreSQL counts days and microseconds from 2000-01-01.
constexpr std::int64_t epoch_2000 = 10957;  // plat_days_from_civil(2000, 1, 1)
constexpr std::int64_t usecs_per_day = 86400000000LL;

std::int64_t usecs_of_day(const plat_systemtime& t) {
    return ((std::int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000000LL + t.microsecond;
}

// Encoders of large values, a slice at a time.
void utf8_of_wide_slice(const void* e, std::size_t from, std::size_t to, std::string& out) {
    pf_utf8::append_wide(out, std::wstring_view(static_cast<const wchar_t*>(e) + from, to - from), false);
}

// Bytes of the UTF-8 form of wide text; NUL and characters without a UTF-8
// form are refused as the text lines refuse them.
std::size_t checked_utf8_length(std::wstring_view text) {
    std::size_t n = 0;
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == 0) value_error("Text contains a NUL character, which PostgreSQL cannot store");
        if (!pf_utf8::is_scalar(c)) {
            (void)tk_to_utf8(text);  // throws the conversion's own exception
            value_error("Cannot convert to UTF8 string");
        }
        n += pf_utf8::length(c);
    }
    return n;
}

}  // namespace

std::optional<pgs_binary_kind> pgs_binary_kind_of(std::string_view t) {
    if (t == "smallint") return pgs_binary_kind::int2;
    if (t == "integer") return pgs_binary_kind::int4;
    if (t == "bigint") return pgs_binary_kind::int8;
    if (t == "numeric") return pgs_binary_kind::numeric;
    if (t == "real") return pgs_binary_kind::float4;
    if (t == "double precision") return pgs_binary_kind::float8;
    if (t == "date") return pgs_binary_kind::date;
    if (t == "time without time zone") return pgs_binary_kind::time;
    if (t == "timestamp without time zone") return pgs_binary_kind::timestamp;
    if (t == "text" || t == "character varying" || t == "character") return pgs_binary_kind::text;
    if (t == "bytea") return pgs_binary_kind::bytea;
    if (t == "boolean") return pgs_binary_kind::boolean;
    return std::nullopt;
}

pgs_binary_rows::pgs_binary_rows(std::vector<pgs_binary_kind> columns, std::size_t batch_size)
    : m_columns(std::move(columns)), m_batch(batch_size) {
    // Room for a full batch plus the row that crosses its end.
    m_capacity = batch_size + batch_size / 4 + 64;
    m_data = std::make_unique<char[]>(m_capacity);
    clear();
    // The data begins with the signature, no flags and no header extension.
    static const char header[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";
    put_bytes(header, 19);
    m_row_start = m_size;
}

void pgs_binary_rows::clear() noexcept {
    m_size = 0;
    m_row_start = 0;
    m_rows = 0;
    m_pieces.clear();
}

void pgs_binary_rows::grow(std::size_t n) {
    std::size_t cap = m_capacity * 2;
    if (cap < m_size + n) cap = m_size + n;
    auto data = std::make_unique<char[]>(cap);
    std::memcpy(data.get(), m_data.get(), m_size);
    m_data = std::move(data);
    m_capacity = cap;
}

void pgs_binary_rows::put_bytes(const void* p, std::size_t n) {
    char* o = room(n);
    if (n) std::memcpy(o, p, n);
    m_size += n;
}

void pgs_binary_rows::put_length(std::size_t n) {
    // A field's length is a signed 32-bit number; the server takes less still.
    if (n > 0x7FFFFFFF) value_error("A value of " + std::to_string(n) + " bytes is too large for PostgreSQL");
    put32(room(4), static_cast<std::uint32_t>(n));
    m_size += 4;
}

void pgs_binary_rows::begin_row() {
    m_row_start = m_size;
    m_column = 0;
    put16(room(2), static_cast<std::uint16_t>(m_columns.size()));
    m_size += 2;
}

void pgs_binary_rows::drop_row() noexcept {
    m_size = m_row_start;
    m_pieces.drop_from(m_row_start);
    m_column = 0;
}

void pgs_binary_rows::add_null() {
    put32(room(4), 0xFFFFFFFFu);
    m_size += 4;
}

void pgs_binary_rows::add(const ole_variant& value) {
    if (m_column >= m_columns.size()) throw tk_mail_assertion("pgs_cbin", 1);
    const pgs_binary_kind kind = m_columns[m_column++];
    const VARTYPE vt = value.vartype();
    if (vt == VT_EMPTY || vt == VT_NULL) {
        add_null();
        return;
    }
    switch (kind) {
    case pgs_binary_kind::int2:
    case pgs_binary_kind::int4:
    case pgs_binary_kind::int8: add_integer(value, kind); return;
    case pgs_binary_kind::numeric: add_numeric(value); return;
    case pgs_binary_kind::float4:
    case pgs_binary_kind::float8: add_real(value, kind); return;
    case pgs_binary_kind::date:
    case pgs_binary_kind::time:
    case pgs_binary_kind::timestamp: add_date(value, kind); return;
    case pgs_binary_kind::text: add_text(value); return;
    case pgs_binary_kind::bytea: add_bytes(value); return;
    case pgs_binary_kind::boolean: add_boolean(value); return;
    }
}

void pgs_binary_rows::add_integer(const ole_variant& value, pgs_binary_kind kind) {
    std::int64_t v = 0;
    bool above = false;
    if (!integer_of(value, v, above)) {
        // Anything else as the server would read its text.
        m_text.clear();
        value.append_utf8(m_text);
        bool overflow = false;
        if (!parse_integer(m_text, v, overflow)) syntax_error(kind, m_text);
        if (overflow) range_error(kind, m_text);
    }
    const std::int64_t lo = kind == pgs_binary_kind::int2   ? std::numeric_limits<std::int16_t>::min()
                            : kind == pgs_binary_kind::int4 ? std::numeric_limits<std::int32_t>::min()
                                                            : std::numeric_limits<std::int64_t>::min();
    const std::int64_t hi = kind == pgs_binary_kind::int2   ? std::numeric_limits<std::int16_t>::max()
                            : kind == pgs_binary_kind::int4 ? std::numeric_limits<std::int32_t>::max()
                                                            : std::numeric_limits<std::int64_t>::max();
    if (above || v < lo || v > hi) {
        m_text.clear();
        value.append_utf8(m_text);
        range_error(kind, m_text);
    }
    char* o = room(12);
    switch (kind) {
    case pgs_binary_kind::int2:
        o = put32(o, 2);
        put16(o, static_cast<std::uint16_t>(v));
        m_size += 6;
        return;
    case pgs_binary_kind::int4:
        o = put32(o, 4);
        put32(o, static_cast<std::uint32_t>(v));
        m_size += 8;
        return;
    default:
        o = put32(o, 8);
        put64(o, static_cast<std::uint64_t>(v));
        m_size += 12;
        return;
    }
}

namespace {

constexpr std::uint16_t numeric_pos = 0x0000, numeric_neg = 0x4000, numeric_nan = 0xC000, numeric_pinf = 0xD000,
                        numeric_ninf = 0xF000;

// A number's base-10000 digits as the server keeps them: weight is the power
// of 10000 of the first digit group, dscale the decimal digits after the point.
struct numeric_form {
    std::uint16_t groups[pf_decimal::max_digits / 4 + 4];
    int ndigits = 0;
    int weight = 0;
    std::uint16_t sign = numeric_pos;
    int dscale = 0;
};

int floor_div4(int e) { return e >= 0 ? e / 4 : -((3 - e) / 4); }

numeric_form numeric_of(const pf_decimal& d) {
    numeric_form f;
    f.dscale = d.scale();
    const std::string_view digits = d.digits();
    if (digits.empty()) return f;  // zero: no digit groups, positive
    f.sign = d.negative() ? numeric_neg : numeric_pos;
    static const std::uint16_t pow10[4] = {1, 10, 100, 1000};
    const int n = static_cast<int>(digits.size());
    const int first = n - d.scale() - 1;  // power of ten of the first digit
    f.weight = floor_div4(first);
    const int last_group = floor_div4(first - (n - 1));
    const int count = f.weight - last_group + 1;
    for (int g = 0; g < count; ++g) f.groups[g] = 0;
    for (int i = 0; i < n; ++i) {
        const int e = first - i;
        const int g = f.weight - floor_div4(e);
        f.groups[g] =
            static_cast<std::uint16_t>(f.groups[g] + (digits[std::size_t(i)] - '0') * pow10[e - 4 * floor_div4(e)]);
    }
    f.ndigits = count;
    while (f.ndigits > 0 && f.groups[f.ndigits - 1] == 0) --f.ndigits;
    return f;
}

}  // namespace

void pgs_binary_rows::add_numeric(const ole_variant& value) {
    numeric_form f;
    std::int64_t v = 0;
    bool above = false;
    const VARTYPE vt = value.vartype();
    if (vt == VT_DECIMAL) {
        f = numeric_of(value.get_var().dec);
    } else if (vt != VT_BOOL && integer_of(value, v, above)) {
        f = numeric_of(above ? pf_decimal::from_uint64(value.get_ui8()) : pf_decimal::from_int64(v));
    } else if ((vt == VT_R4 || vt == VT_R8) &&
               !std::isfinite(vt == VT_R4 ? double(value.get_var().r4) : value.get_var().r8)) {
        const double x = vt == VT_R4 ? double(value.get_var().r4) : value.get_var().r8;
        f.sign = std::isnan(x) ? numeric_nan : x > 0 ? numeric_pinf : numeric_ninf;
    } else {
        // Reals, currency and text as the server reads their text.
        m_text.clear();
        value.append_utf8(m_text);
        pf_decimal d;
        if (pf_failed(pf_decimal::parse(m_text, d))) syntax_error(pgs_binary_kind::numeric, m_text);
        f = numeric_of(d);
    }
    char* o = room(12 + 2 * std::size_t(f.ndigits));
    o = put32(o, static_cast<std::uint32_t>(8 + 2 * f.ndigits));
    o = put16(o, static_cast<std::uint16_t>(f.ndigits));
    o = put16(o, static_cast<std::uint16_t>(static_cast<std::int16_t>(f.weight)));
    o = put16(o, f.sign);
    o = put16(o, static_cast<std::uint16_t>(f.dscale));
    for (int i = 0; i < f.ndigits; ++i) o = put16(o, f.groups[i]);
    m_size += 12 + 2 * std::size_t(f.ndigits);
}

void pgs_binary_rows::add_real(const ole_variant& value, pgs_binary_kind kind) {
    const VARTYPE vt = value.vartype();
    const bool single = kind == pgs_binary_kind::float4;
    double d = 0;
    float f = 0;
    bool done = false;
    if (!single && vt == VT_R8) {
        d = value.get_var().r8;
        done = true;
    } else if (single && vt == VT_R4) {
        f = value.get_var().r4;
        done = true;
    } else if (!single && vt == VT_R4 && !std::isfinite(value.get_var().r4)) {
        d = value.get_var().r4;  // NaN and the infinities keep their sign
        done = true;
    } else if (single && vt == VT_R8 && !std::isfinite(value.get_var().r8)) {
        f = static_cast<float>(value.get_var().r8);
        done = true;
    }
    if (!done) {
        // Anything else is read as the server reads its text: a float's
        // shortest text into a double column gives that text's double.
        m_text.clear();
        value.append_utf8(m_text);
        bool overflow = false;
        const bool ok = single ? parse_real(m_text, f, overflow) : parse_real(m_text, d, overflow);
        if (!ok) syntax_error(kind, m_text);
        if (overflow) range_error(kind, m_text);
    }
    char* o = room(12);
    if (single) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        o = put32(o, 4);
        put32(o, bits);
        m_size += 8;
    } else {
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        o = put32(o, 8);
        put64(o, bits);
        m_size += 12;
    }
}

void pgs_binary_rows::add_date(const ole_variant& value, pgs_binary_kind kind) {
    if (value.vartype() != VT_DATE) type_error(value, kind);
    const ole_date d = pgs_checked_date(value);
    const plat_systemtime& t = value.get_time();
    const bool time_only = d.kind() == ole_date::kind_time;
    // The server's rules: a date and time gives a date its day and a time its
    // time; a date alone is no time, a time alone no date.
    if (kind == pgs_binary_kind::time ? d.kind() == ole_date::kind_date : time_only) {
        std::string shown;
        pgs_append_date_text(value, shown);
        syntax_error(kind, shown);
    }
    char* o = room(12);
    if (kind == pgs_binary_kind::time) {
        o = put32(o, 8);
        put64(o, static_cast<std::uint64_t>(usecs_of_day(t)));
        m_size += 12;
        return;
    }
    const std::int64_t days = plat_days_from_civil(t.year, t.month, t.day) - epoch_2000;
    if (kind == pgs_binary_kind::date) {
        o = put32(o, 4);
        put32(o, static_cast<std::uint32_t>(static_cast<std::int32_t>(days)));
        m_size += 8;
        return;
    }
    o = put32(o, 8);
    put64(o, static_cast<std::uint64_t>(days * usecs_per_day + usecs_of_day(t)));
    m_size += 12;
}

void pgs_binary_rows::add_text(const ole_variant& value) {
    switch (value.vartype()) {
    case VT_BSTR: {
        if (value.holds_utf8()) {
            const std::string_view text = value.utf8_view();
            put_length(text.size());
            if (text.size() >= m_piece_size)
                m_pieces.add(m_size, text.data(), text.size(), 1, nullptr);
            else
                put_bytes(text.data(), text.size());
            return;
        }
        const std::wstring_view text = value.text_view();
        if (text.size() >= m_piece_size) {
            put_length(checked_utf8_length(text));
            m_pieces.add(m_size, text.data(), text.size(), sizeof(wchar_t), utf8_of_wide_slice);
            return;
        }
        // Encoded in place, its length written in front of it afterwards.
        const std::size_t at = m_size;
        char* const start = room(4 + 4 * text.size()) + 4;
        char* o = start;
        for (const wchar_t wc : text) {
            const auto c = static_cast<std::uint32_t>(wc);
            if (c >= 0x80) {
                o = pf_utf8::put_multibyte_checked(o, c);
                if (!o) checked_utf8_length(text);  // throws for it
                continue;
            }
            if (c == 0) value_error("Text contains a NUL character, which PostgreSQL cannot store");
            *o++ = static_cast<char>(c);
        }
        put32(m_data.get() + at, static_cast<std::uint32_t>(o - start));
        m_size = static_cast<std::size_t>(o - m_data.get());
        return;
    }
    case VT_DATE:
        m_text.clear();
        pgs_append_date_text(value, m_text);
        break;
    case VT_ARRAY_UI1: {
        // What the text lines give a text column: bytea's hex text.
        const pf_safearray* a = value.get_var().array;
        const std::size_t n = (a && a->dims == 1) ? a->count : 0;
        m_text.assign("\\x");
        m_text.resize(2 + 2 * n);
        if (n) pf_hex_encode(a->data(), n, m_text.data() + 2);
        break;
    }
    default:
        if (!pf_is_number_type(value.vartype())) type_error(value, pgs_binary_kind::text);
        m_text.clear();
        value.append_utf8(m_text);
    }
    put_length(m_text.size());
    put_bytes(m_text.data(), m_text.size());
}

void pgs_binary_rows::add_bytes(const ole_variant& value) {
    if (value.vartype() != VT_ARRAY_UI1) type_error(value, pgs_binary_kind::bytea);
    const pf_safearray* a = value.get_var().array;
    const std::size_t n = (a && a->dims == 1) ? a->count : 0;
    put_length(n);
    if (n >= m_piece_size)
        m_pieces.add(m_size, a->data(), n, 1, nullptr);
    else if (n)
        put_bytes(a->data(), n);
}

void pgs_binary_rows::add_boolean(const ole_variant& value) {
    std::int64_t v = 0;
    bool above = false;
    if (!integer_of(value, v, above) || above || (v != 0 && v != 1)) {
        m_text.clear();
        value.append_utf8(m_text);
        syntax_error(pgs_binary_kind::boolean, m_text);
    }
    char* o = room(5);
    o = put32(o, 1);
    *o = static_cast<char>(v);
    m_size += 5;
}

void pgs_binary_rows::send_to(pgs_copy_stream& out) {
    m_pieces.send(bytes(), out);
    clear();
    // The memory of a batch is kept, not that of a huge row.
    if (m_capacity > 4 * m_batch + 4096) {
        m_capacity = m_batch + m_batch / 4 + 64;
        m_data = std::make_unique<char[]>(m_capacity);
    }
}

void pgs_binary_rows::finish_to(pgs_copy_stream& out) {
    put16(room(2), 0xFFFF);
    m_size += 2;
    send_to(out);
}
