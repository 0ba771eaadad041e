#include "sql/sql_util.h"

#include <charconv>
#include <cmath>

#include "platform/pf_num.h"
#include "platform/pf_utf8.h"
#include "sql/sql_ver.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_fld.h"
#include "udb/udb_rule.h"
#include "udb/udb_sche.h"
#include "variant/ole_date.h"
#include "variant/ole_var.h"

namespace {

// Limits of MySQL's column types.
constexpr std::uint64_t max_text_bytes = 65535;
constexpr std::uint64_t max_medium_bytes = 16777215;
constexpr unsigned max_decimal_precision = 65;
constexpr unsigned max_decimal_scale_mysql = 30;
constexpr unsigned max_decimal_scale_mariadb = 38;

[[noreturn]] void value_error(const std::string& what) { throw tk_exception(what, 0); }

bool is_binary_code(unsigned t) { return t == VT_BLOB || t == VT_BLOB_OBJECT; }

bool is_real_code(unsigned t) { return t == VT_R4 || t == VT_R8 || t == VT_CY || t == VT_DECIMAL; }

// Text, date, or the literal of a string in single quotes.
template <class S>
void append_quoted_ascii(S& out, std::string_view s) {
    out.push_back('\'');
    out.append(s.begin(), s.end());
    out.push_back('\'');
}

// The canonical date or time text of a value's time, in quotes; false for an
// invalid date.
template <class S>
bool append_date_literal(S& out, const ole_date& d) {
    if (!d.is_valid()) return false;
    char buf[ole_date::max_text];
    std::string_view s(buf, d.format(buf));
    // A time of day or duration goes to TIME without the zero date in front.
    if (d.kind() == ole_date::kind_time && s.size() > 11 && s.substr(0, 11) == "0000-00-00 ") s.remove_prefix(11);
    append_quoted_ascii(out, s);
    return true;
}

bool is_hex(char c) { return pf_hex_value(static_cast<unsigned char>(c)) >= 0; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A hexadecimal (0x1F) or decimal (123) literal a binary column may take bare.
bool is_bare_binary_literal(std::string_view s) {
    if (s.size() < 2 || !is_digit(s[0])) return false;
    if (s[1] == 'x' || s[1] == 'X') {
        if (s[0] != '0' || s.size() < 3) return false;
        for (std::size_t i = 2; i < s.size(); ++i)
            if (!is_hex(s[i])) return false;
        return true;
    }
    for (char c : s)
        if (!is_digit(c)) return false;
    return true;
}

void append_hex_literal(std::string& out, const unsigned char* bytes, std::size_t n) {
    const std::size_t old = out.size();
    out.resize(old + 3 + 2 * n);
    char* o = out.data() + old;
    o[0] = 'X';
    o[1] = '\'';
    if (n) pf_hex_encode(bytes, n, o + 2);
    o[2 + 2 * n] = '\'';
}

std::string binary_text_literal(std::string_view text) {
    if (text.size() >= 2) {
        const ole_guid_extractor guid(text);
        if (guid.found()) {
            const std::string plain = guid.get_plain_a();
            if (!plain.empty()) {
                tk_trace(1, "BLOB IS AN GUID");
                return "0x" + plain;
            }
        }
        if (is_bare_binary_literal(text)) {
            tk_trace(1, "BLOB IS VALID");
            return std::string(text);
        }
    }
    // Any other text: its bytes, whatever they hold.
    std::string out;
    append_hex_literal(out, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return out;
}

template <class S, class V>
void append_escaped(S& out, V text) {
    for (const auto c : text) {
        if (c == '\\' || c == '\'') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == 0) {
            out.push_back('\\');
            out.push_back('0');
        } else {
            out.push_back(c);
        }
    }
}

// Digits of a real; NaN and infinity have no MySQL literal.
void append_real(std::string& out, double v) {
    if (!std::isfinite(v))
        value_error("The value " + std::string(std::isnan(v) ? "NaN" : "infinity") + " cannot be stored in MySQL");
    char buf[pf_num_max_text];
    out.append(buf, pf_format_r8(v, buf));
}

bool is_integer_text(std::string_view s) {
    if (s.empty()) return false;
    char buf[pf_num_max_text];
    if (s[0] == '-') {
        std::int64_t v = 0;
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        return ec == std::errc() && p == s.data() + s.size() && std::string_view(buf, pf_format_i64(v, buf)) == s;
    }
    std::uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() && std::string_view(buf, pf_format_u64(v, buf)) == s;
}

}  // namespace

bool sql_is_number_text(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < s.size() && is_digit(s[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    return i == s.size();
}

// ---- column types -----------------------------------------------------------------------

std::wstring get_native_type(const sql_dialect& d, unsigned type_code, std::uint32_t size, std::uint32_t subtype) {
    tk_trace(1, "get_native_type(%d,%d,%d)", static_cast<int>(type_code), static_cast<int>(size),
             static_cast<int>(subtype));
    const wchar_t* fraction = d.fractional_seconds() ? L"(6)" : L"";
    switch (type_code) {
    case VT_I2: return L"SMALLINT";
    case VT_I4:
    case VT_INT: return L"INT";
    case VT_R4: return L"FLOAT";
    case VT_R8: return L"DOUBLE";
    case VT_CY: return L"DECIMAL(19,4)";
    case VT_DATE:
        switch (subtype & 3) {
        case 2: return L"DATE";
        case 3: return std::wstring(L"TIME") + fraction;
        default: return std::wstring(L"DATETIME") + fraction;  // date and time, or a kind not given
        }
    case VT_BSTR: {
        tk_trace(1, "process as text");
        if (size >= 1 && size <= 255) {
            std::wstring t = L"VARCHAR(" + std::to_wstring(size) + L")";
            // Where columns take a collation, theirs is binary already (and
            // BINARY would contradict a NO PAD one).
            if (d.varchar_binary && d.text_collation().empty()) t += L" BINARY";
            return t;
        }
        const std::uint64_t bytes = std::uint64_t(size) * (d.quotes_names() ? d.bytes_per_char() : 1);
        if (size == 0 || bytes > max_medium_bytes) return L"LONGTEXT";
        if (bytes <= max_text_bytes) return L"TEXT";
        return L"MEDIUMTEXT";
    }
    case VT_BOOL: return L"BIT";
    case VT_DECIMAL: {
        // The precision is everything above the scale: a source such as
        // PostgreSQL declares up to 1000 digits, which must not wrap to a
        // smaller DECIMAL.
        const unsigned precision = subtype >> 8;
        const unsigned scale = subtype & 0xFF;
        tk_trace(1, "Scale/precision for decimal column: (%d, %d)", static_cast<int>(scale),
                 static_cast<int>(precision));
        if (precision == 0) return L"DOUBLE";
        const unsigned max_scale = d.mariadb ? max_decimal_scale_mariadb : max_decimal_scale_mysql;
        if (precision > max_decimal_precision || scale > max_scale || scale > precision)
            throw tk_exception("DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) +
                                   ") is beyond what MySQL can store (precision up to " +
                                   std::to_string(max_decimal_precision) + ", scale up to " +
                                   std::to_string(max_scale) + " and not above the precision)",
                               0);
        return L"DECIMAL(" + std::to_wstring(precision) + L"," + std::to_wstring(scale) + L")";
    }
    case VT_I1: return L"TINYINT";
    case VT_UI1: return L"TINYINT UNSIGNED";
    case VT_UI2: return L"SMALLINT UNSIGNED";
    case VT_UI4:
    case VT_UINT: return L"INT UNSIGNED";
    case VT_I8: return L"BIGINT";
    case VT_UI8: return L"BIGINT UNSIGNED";
    case VT_BLOB:
        tk_trace(1, "process as blob");
        if (size == 0 || size > max_medium_bytes) return L"LONGBLOB";
        if (size <= 255) return L"TINYBLOB";
        if (size <= max_text_bytes) return L"BLOB";
        return L"MEDIUMBLOB";
    default: throw tk_mail_assertion("sql_util", 378);
    }
}

// ---- literals -----------------------------------------------------------------------------

std::string to_mysql_str(std::string_view text, unsigned type_code) {
    tk_trace(1, "to_mysql_str(%s)", std::string(text).c_str());
    if (type_code == VT_EMPTY || type_code == VT_NULL) {
        tk_trace(1, "******* NULL VALUE ******");
        return "NULL";
    }
    if (text.empty()) return "''";
    if (is_binary_code(type_code)) {
        tk_trace(1, "GOT BLOB");
        return binary_text_literal(text);
    }
    std::string out;
    if (type_code == VT_DATE) {
        if (!append_date_literal(out, ole_date(text))) out = "''";
        return out;
    }
    if (type_code != VT_BSTR && sql_is_number_text(text)) return std::string(text);
    out.push_back('\'');
    append_escaped(out, text);
    out.push_back('\'');
    return out;
}

std::wstring to_mysql_wstr(std::wstring_view text, unsigned type_code) {
    tk_trace_w(1, L"to_mysql_wstr(%s)", std::wstring(text).c_str());
    if (type_code == VT_EMPTY || type_code == VT_NULL) return L"NULL";
    if (text.empty()) return L"''";
    if (is_binary_code(type_code) || type_code == VT_ARRAY_UI1) {
        tk_trace(1, "Don't process BLOBs here!");
        throw tk_mail_assertion("sql_util", 688);
    }
    std::wstring out;
    if (type_code == VT_DATE) {
        if (!append_date_literal(out, ole_date(text))) out = L"''";
        return out;
    }
    if (type_code != VT_BSTR) {
        bool ascii = true;
        for (wchar_t c : text) ascii = ascii && c > 0 && c < 0x80;
        if (ascii && sql_is_number_text(std::string(text.begin(), text.end()))) return std::wstring(text);
    }
    out.push_back(L'\'');
    append_escaped(out, text);
    out.push_back(L'\'');
    return out;
}

void sql_append_text_literal(std::string& out, std::wstring_view text) {
    const std::size_t old = out.size();
    // Worst case: 4 bytes a character, 2 for an escape; plus the quotes.
    out.resize(old + 4 * text.size() + 2);
    char* o = out.data() + old;
    *o++ = '\'';
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            if (c == '\\' || c == '\'') {
                *o++ = '\\';
                *o++ = static_cast<char>(c);
            } else if (c == 0) {
                *o++ = '\\';
                *o++ = '0';
            } else {
                *o++ = static_cast<char>(c);
            }
        } else if (pf_utf8::is_scalar(c)) {
            o = pf_utf8::put(o, c);
        } else {
            out.resize(old);
            (void)tk_to_utf8(text);  // throws the conversion's own error
            value_error("The text has no UTF-8 form");
        }
    }
    *o++ = '\'';
    out.resize(static_cast<std::size_t>(o - out.data()));
}

void sql_append_literal(std::string& out, const ole_variant& value) {
    switch (value.vartype()) {
    case VT_EMPTY:
    case VT_NULL: out.append("NULL", 4); return;
    case VT_BSTR: sql_append_text_literal(out, value.text_view()); return;
    case VT_ARRAY_UI1: {
        const unsigned char* data = nullptr;
        const std::size_t n = value.get_bytes(data);
        append_hex_literal(out, data, n);
        return;
    }
    case VT_DATE: {
        if (!append_date_literal(out, ole_date(value.get_time()))) value_error("Invalid date value");
        return;
    }
    case VT_R4: append_real(out, static_cast<double>(value.get_var().r4)); return;  // exact: the float widened
    case VT_R8: append_real(out, value.get_var().r8); return;
    default:
        if (!pf_is_number_type(value.vartype()))
            value_error("A value of type " + std::to_string(value.vartype()) + " cannot be written to MySQL");
        value.append_utf8(out);
    }
}

void sql_append_field(std::string& out, const ole_variant& value, bool not_null, std::string_view default_literal) {
    if (value.is_empty_or_null()) {
        tk_trace(1, "Put NULL-field");
        // The column's default stands in for a missing value; without one the
        // server decides (and refuses NULL in a NOT NULL column).
        if (not_null && !default_literal.empty())
            out.append(default_literal);
        else
            out.append("NULL", 4);
        return;
    }
    sql_append_literal(out, value);
}

std::string to_mysql_str(const ole_variant& value) {
    tk_trace(1, "to_mysql_str");
    if (value.vartype() == VT_ARRAY_UI1) tk_trace(1, "special processing for BLOBs");
    std::string out;
    sql_append_literal(out, value);
    return out;
}

std::wstring make_mysql_def_val(const t_ftd& column, const sql_dialect* dialect) {
    if (column.b_default_now) {
        tk_trace(1, "Got CURRENT_TIMESTAMP def value");
        const bool date_and_time = column.vartype == VT_DATE && (column.reserved & 3) <= 1;
        if (!date_and_time || !dialect || !dialect->datetime_default_now()) return {};
        // The precision of the default is the column's.
        return dialect->fractional_seconds() ? L"CURRENT_TIMESTAMP(6)" : L"CURRENT_TIMESTAMP";
    }
    if (column.vartype == VT_BLOB) {
        // Bytes, the empty string and zero bytes included: X'' and hexadecimal digits.
        if (column.def_value.vartype() != VT_ARRAY_UI1) return {};
        std::string out;
        sql_append_literal(out, column.def_value);
        return tk_utf8_to_unicode(out);
    }
    const std::wstring text = column.def_value.to_wstring();
    tk_trace_w(1, L"make_mysql_def_val(%d,%s)", static_cast<int>(column.vartype), text.c_str());
    // The empty text is a default too; no value is none.
    if (text.empty() && column.vartype == VT_BSTR && column.def_value.vartype() == VT_BSTR) return L"''";
    if (text.empty()) {
        tk_trace(1, "Got empty def value");
        return {};
    }
    const unsigned t = column.vartype;
    if (t == VT_BSTR) {
        tk_trace_w(1, L"Got BSTR def value: %s", text.c_str());
        return to_mysql_wstr(text, VT_BSTR);
    }
    if (t == VT_DATE) {
        tk_trace(1, "Got DATE def value");
        std::wstring out;
        if (!append_date_literal(out, ole_date(text))) return {};
        tk_trace_w(1, L"After canonization: %s", out.c_str());
        return out;
    }
    // A number default must be a whole number and nothing else: the text
    // goes into the statement bare.
    std::string narrow;
    for (wchar_t c : text) {
        if (c <= 0 || c >= 0x80) return {};
        narrow.push_back(static_cast<char>(c));
    }
    if (pf_is_integer_type(t)) {
        if (!is_integer_text(narrow)) return {};
        tk_trace(1, "Int/long default value is correct");
        return text;
    }
    if (is_real_code(t)) return sql_is_number_text(narrow) ? text : std::wstring();
    return {};
}

std::string get_fld_append_str(const udb_field& field, const t_ftd& column, const sql_dialect* dialect) {
    tk_trace(1, "get_fld_append_str");
    if (udb_custom_conversion::is_acceptable2(field)) return tk_to_utf8(udb_custom_conversion::handle2(field));
    std::string out;
    const std::string def = column.b_not_null ? tk_to_utf8(make_mysql_def_val(column, dialect)) : std::string();
    sql_append_field(out, field, column.b_not_null != 0, def);
    return out;
}
