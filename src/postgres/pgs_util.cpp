#include "postgres/pgs_util.h"

#include <charconv>
#include <cstdio>

#include "platform/pf_vtype.h"
#include "postgres/pgs_ident.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "udb/udb_rule.h"
#include "udb/udb_sche.h"
#include "variant/ole_date.h"

namespace {

// A whole decimal integer in its plain form: optional "-", digits without a
// leading zero, within 64 bits.
bool is_plain_integer(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        if (c > 0x7F) return false;
        narrow.push_back(static_cast<char>(c));
    }
    const char* first = narrow.data();
    const char* last = first + narrow.size();
    if (narrow.empty()) return false;
    if (narrow[0] == '-') {
        long long v = 0;
        auto r = std::from_chars(first, last, v);
        if (r.ec != std::errc() || r.ptr != last) return false;
        char buf[32];
        auto w = std::to_chars(buf, buf + sizeof buf, v);
        return std::string_view(buf, w.ptr - buf) == narrow;
    }
    unsigned long long v = 0;
    auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last) return false;
    char buf[32];
    auto w = std::to_chars(buf, buf + sizeof buf, v);
    return std::string_view(buf, w.ptr - buf) == narrow;
}

// A whole numeric constant: optional sign, digits with an optional fraction
// (at least one digit in all), optional exponent.
bool is_plain_number(const std::wstring& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digit = [&](std::size_t k) { return k < n && text[k] >= L'0' && text[k] <= L'9'; };
    if (i < n && (text[i] == L'+' || text[i] == L'-')) ++i;
    std::size_t digits = 0;
    while (digit(i)) ++i, ++digits;
    if (i < n && text[i] == L'.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        if (i < n && (text[i] == L'+' || text[i] == L'-')) ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    return i == n;
}

bool is_text_type(std::uint16_t vt) { return vt == VT_BSTR || vt == VT_LPWSTR; }

}  // namespace

std::wstring get_pgs_type(const t_ftd& column) {
    wchar_t buf[64];
    switch (column.vartype) {
    case VT_I2:
    case VT_UI1:
    case VT_I1:  // CHAR(1) would refuse every value but one character
        return L"SMALLINT";
    case VT_I4:
    case VT_UI2:
    case VT_INT: return L"INTEGER";
    case VT_UI4:
    case VT_I8:
    case VT_UINT: return L"BIGINT";
    case VT_UI8:  // up to 18446744073709551615, beyond BIGINT
        return L"NUMERIC(20)";
    case VT_R4: return L"FLOAT";
    case VT_R8:  // REAL would keep only six digits
        return L"DOUBLE PRECISION";
    case VT_CY: return L"DECIMAL(19, 4)";
    case VT_DATE:
        if (column.reserved == 2) return L"DATE";
        if (column.reserved == 3) return L"TIME";
        return L"TIMESTAMP";
    case VT_BSTR:
    case VT_LPWSTR:
        tk_trace(1, "process as text");
        if (column.size >= 1 && column.size <= pgs_max_varchar) {
            std::swprintf(buf, 64, L"VARCHAR(%u) ", static_cast<unsigned>(column.size));
            return buf;
        }
        return L"TEXT";
    case VT_BOOL: return L"CHAR(1)";
    case VT_DECIMAL: {
        const unsigned precision = (column.reserved >> 8) & 0xFF;
        const unsigned scale = column.reserved & 0xFF;
        // DECIMAL(0,0) is refused by the server: no precision means any.
        if (precision == 0) return L"NUMERIC";
        std::swprintf(buf, 64, L"DECIMAL(%u,%u)", precision, scale);
        return buf;
    }
    case VT_BLOB: tk_trace(1, "process as binary"); return L"BYTEA";
    default: throw tk_mail_assertion("pgs_util", 68);
    }
}

std::uint16_t get_vartype_by_pgs_type(std::string_view name) {
    if (name == "bool" || name == "boolean") return VT_BOOL;
    if (name == "time_stamp" || name == "timestamp" || name == "timestampz" || name == "abstime" || name == "date" ||
        name == "timestamp without time zone" || name == "timestamp with time zone")
        return VT_DATE;
    if (name == "bigint" || name == "bigserial" || name == "int8") return VT_I8;
    if (name == "integer" || name == "int4" || name == "serial") return VT_I4;
    if (name == "smallint" || name == "int2") return VT_I2;
    if (name == "float4") return VT_R4;
    if (name == "real" || name == "money" || name == "numeric" || name == "double precision") return VT_R8;
    if (name == "bytea") return VT_BLOB;
    return VT_BSTR;
}

std::wstring make_pgs_def_val(const t_ftd* column) {
    if (!column) throw tk_mail_assertion("pgs_util", 261);
    if (column->b_default_now) {
        // The time of the insert, for date and time columns alone.
        tk_trace(1, "Got CURRENT_TIMESTAMP def value");
        return column->vartype == VT_DATE ? L"CURRENT_TIMESTAMP" : std::wstring();
    }
    if (column->vartype == VT_BLOB) {
        // Bytes, the empty string and zero bytes included.
        if (column->def_value.vartype() != VT_ARRAY_UI1) return {};
        const unsigned char* data = nullptr;
        const std::size_t n = column->def_value.get_bytes(data);
        return pgs_bytea_literal(std::string_view(reinterpret_cast<const char*>(data), n));
    }
    std::wstring text = column->def_value.to_wstring();
    tk_trace_w(1, L"make_pgs_def_val(%s)", text.c_str());
    // The empty text is a default too (MySQL's DEFAULT ''); no value is none.
    if (text.empty() && is_text_type(column->vartype) && column->def_value.vartype() == VT_BSTR) return L"''";
    if (text.empty()) {
        tk_trace(1, "Got empty def value");
        return {};
    }
    if (pf_is_integer_type(column->vartype)) return is_plain_integer(text) ? text : std::wstring();
    switch (column->vartype) {
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL: return is_plain_number(text) ? text : std::wstring();
    case VT_DATE: {
        tk_trace(1, "Got DATE def value");
        std::wstring printed = ole_date(std::wstring_view(text)).to_wstring();
        tk_trace_w(1, L"After canonization: %s", printed.c_str());
        if (printed.empty()) return {};
        // A time of day prints with a zero date, which does not read back.
        if (printed.starts_with(L"0000-00-00 ")) printed.erase(0, 11);
        return to_pgs_str(printed, VT_DATE, column->reserved);
    }
    case VT_BSTR:
    case VT_LPWSTR:
        tk_trace_w(1, L"Got BSTR or DATE def value: %s", text.c_str());
        // A bounded column holds no longer default (TEXT has no bound).
        if (column->size >= 1 && column->size <= pgs_max_varchar && text.size() > column->size)
            text.resize(column->size);
        return to_pgs_str(text, VT_BSTR, 1);
    default: return {};
    }
}

std::wstring to_pgs_str(const std::wstring& text, std::uint16_t vartype, std::uint32_t date_kind) {
    tk_trace_w(1, L"to_pgs_str(%s,%d)", text.c_str(), static_cast<int>(vartype));
    if (text.empty()) return L"''";
    if (vartype == VT_DATE) {
        ole_date date{std::wstring_view(text)};
        if (!date.is_valid()) return {};
        const plat_systemtime& t = date.time();
        const bool zero_date = t.year == 0 && t.month == 0 && t.day == 0;
        if (date_kind == 3) {
            // TIME holds 00:00:00 to 24:00:00 only.
            if (t.negative || t.hour > 24 || (t.hour == 24 && (t.minute || t.second || t.microsecond))) return {};
            date.set_kind(ole_date::kind_time);
            std::wstring printed = date.to_wstring();
            const std::wstring zero = L"0000-00-00 ";
            const std::size_t at = printed.find(zero);
            if (at != std::wstring::npos) {
                tk_trace(2, "Null date has been found");
                printed.erase(at, zero.size());
            }
            return L"'" + printed + L"'";
        }
        // A time of day alone has no date to give a DATE or TIMESTAMP column.
        if (zero_date) return {};
        if (date_kind == 2) {
            date.set_kind(ole_date::kind_date);
        } else {
            date.set_kind(ole_date::kind_date_time);
            date.set_omit_zero_time(false);
        }
        return L"'" + date.to_wstring() + L"'";
    }
    if (is_text_type(vartype)) {
        // A literal cannot hold NUL: such a default is left out.
        if (text.find(L'\0') != std::wstring::npos) return {};
        // A GUID named inside a longer text is noted, but the default keeps the
        // whole text: cutting it down to the GUID would change the value.
        if (ole_guid_extractor(std::wstring_view(text)).found()) tk_trace(1, "BSTR IS AN GUID");
    }
    return pgs_quote_literal(std::wstring_view(text));
}

std::wstring pgs_bytea_literal(std::string_view bytes) {
    // E'' reads the same whatever standard_conforming_strings says: \\x and
    // hexadecimal digits, nothing of the bytes themselves.
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out = L"E'\\\\x";
    out.reserve(out.size() + bytes.size() * 2 + 9);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    out += L"'::bytea";
    return out;
}
