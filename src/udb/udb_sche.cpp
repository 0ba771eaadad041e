#include "udb/udb_sche.h"

#include "platform/pf_vtype.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "udb/udb_text.h"

namespace {

bool is_text_type(unsigned vt) { return vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR; }

// Destination size 0 is unbounded.
bool fits(std::uint32_t src_size, std::uint32_t dest_size) { return dest_size == 0 || dest_size >= src_size; }

// A column of any number code takes the values of a numeric source, the
// machine integers VT_INT and VT_UINT among them: the type maps make an
// integer column of each. The source's own class (udb_is_numeric_type)
// leaves those two out; see there.
bool is_numeric_dest(unsigned vt) { return pf_is_number_type(vt); }

// A bound of a domain (-1: none) that holds the source's (-1: none).
bool within(int src, int dest) { return dest < 0 || (src >= 0 && src <= dest); }

// Digits of a fraction of a second from the text width of a date column.
int fraction_digits(std::uint32_t size, std::uint32_t whole_width) {
    if (size == 0) return -1;
    return size > whole_width + 1 ? int(size - whole_width - 1) : 0;
}

}  // namespace

bool udb_keeps_values(const udb_value_domain& src, const udb_value_domain& dest) {
    using kind = udb_value_domain::kind;
    if (src.k == kind::unknown || dest.k == kind::unknown) return true;
    switch (dest.k) {
    case kind::real:
        // A real keeps so many significant digits and no more.
        if (src.k == kind::integer || src.k == kind::real) return src.digits >= 0 && src.digits <= dest.digits;
        if (src.k == kind::decimal) return src.digits >= 0 && src.scale >= 0 && src.digits + src.scale <= dest.digits;
        return true;
    case kind::decimal:
        if (src.k == kind::integer) return within(src.digits, dest.digits);
        if (src.k == kind::decimal) return within(src.digits, dest.digits) && within(src.scale, dest.scale);
        if (src.k == kind::real)  // any bound rounds some binary fraction
            return dest.digits < 0 && dest.scale < 0;
        return true;
    case kind::date:
        // A date keeps no time of day.
        return src.k == kind::date;
    case kind::date_time:
        if (src.k == kind::time) return false;
        if (src.k == kind::date_time) return src.scale < 0 || dest.scale < 0 || src.scale <= dest.scale;
        return true;
    case kind::time:
        if (src.k == kind::date || src.k == kind::date_time) return false;
        if (src.k == kind::time) return src.scale < 0 || dest.scale < 0 || src.scale <= dest.scale;
        return true;
    default:
        // Integers and text: a value that does not fit is refused by the
        // destination, never changed; the type codes decide the rest.
        return true;
    }
}

// The number codes but the machine integers. No reader gives a source column
// VT_INT or VT_UINT (both servers' integer columns are read with the sized
// codes), so a column that has one was described by hand, its width unsaid:
// it conforms to a column of its own code, to text and to bytes, and to no
// other numeric column on the strength of its code alone.
bool udb_is_numeric_type(unsigned vt) { return pf_is_number_type(vt) && vt != VT_INT && vt != VT_UINT; }

bool udb_is_binary_type(unsigned vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_ARRAY_UI1; }

t_ftd::t_ftd(std::uint32_t size_, udb_name name_, std::uint16_t vartype_, bool not_null, bool auto_inc,
             const ole_variant& def, std::uint32_t reserved_)
    : size(size_),
      name(std::move(name_)),
      vartype(vartype_),
      b_auto_increment(auto_inc ? 1 : 0),
      b_not_null(not_null ? 1 : 0),
      def_value(def),
      reserved(reserved_) {
    tk_trace(1, "t_ftd::ctor2");
    tk_trace_w(1, L"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", name.c_str(), int(vartype),
               int(size), int(b_not_null), int(reserved));
}

bool t_ftd::is_binary() const { return udb_is_binary_type(vartype); }
bool t_ftd::is_numeric() const { return udb_is_numeric_type(vartype); }

bool t_ftd::operator==(const t_ftd& other) const {
    tk_trace(1, "t_ftd::operator ==");
    const unsigned a = vartype, b = other.vartype;
    if ((a == VT_DECIMAL && b == VT_CY) || (a == VT_CY && b == VT_DECIMAL)) return true;
    if (a != b) return false;
    return a != VT_BSTR || size == other.size;
}

udb_value_domain t_ftd::domain() const {
    using kind = udb_value_domain::kind;
    switch (vartype) {
    case VT_BOOL: return {kind::integer, 1, 0};
    case VT_I1:
    case VT_UI1: return {kind::integer, 3, 0};
    case VT_I2:
    case VT_UI2: return {kind::integer, 5, 0};
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return {kind::integer, 10, 0};
    case VT_I8: return {kind::integer, 19, 0};
    case VT_UI8: return {kind::integer, 20, 0};
    case VT_R4: return {kind::real, 6, -1};
    case VT_R8: return {kind::real, 15, -1};
    case VT_CY: return {kind::decimal, 15, 4};
    case VT_DECIMAL: {
        const int precision = int(reserved >> 8), scale = int(reserved & 0xff);
        if (reserved == 0 || scale > precision) return {};  // precision not given
        return {kind::decimal, precision - scale, scale};
    }
    case VT_DATE:
        if (reserved == 2) return {kind::date, -1, 0};
        if (reserved == 3) return {kind::time, -1, fraction_digits(size, 10)};
        return {kind::date_time, -1, fraction_digits(size, 19)};
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR: return {kind::text, -1, -1};
    default: return {};
    }
}

namespace {

bool conforms_by_type(const t_ftd& s, const t_ftd& dest) {
    if (s == dest) return true;
    const unsigned d = dest.vartype;
    if (is_numeric_dest(d)) return s.is_numeric();
    if (d == VT_DATE) return s.vartype == VT_DATE || (s.vartype == VT_BSTR && s.size == 19);
    if (is_text_type(d)) {
        if (is_text_type(s.vartype)) return fits(s.size, dest.size);
        return !s.is_binary();
    }
    if (udb_is_binary_type(d)) {
        if (is_text_type(s.vartype) || s.is_binary()) return fits(s.size, dest.size);
        return true;
    }
    return false;
}

}  // namespace

bool t_ftd::conform_to(const t_ftd& dest) const {
    tk_trace(1, "t_ftd::conform_to");
    if (!conforms_by_type(*this, dest)) return false;
    // Same type codes can still round: a smaller scale, fewer fraction
    // digits, a single real for a double, a date for a date and time.
    return udb_keeps_values(domain(), dest.domain());
}

t_ftd* udb_schema::add(std::unique_ptr<t_ftd> col) {
    t_ftd* p = col.get();
    owned_.push_back(std::move(col));
    cols_.push_back(p);
    return p;
}

std::vector<std::size_t> udb_schema::pair_by_name(const udb_schema& dest) const {
    std::vector<std::size_t> pairs;
    std::vector<bool> taken(dest.cols_.size(), false);
    pairs.reserve(cols_.size());
    for (const t_ftd* col : cols_) {
        const std::wstring& name = col->name.str();
        std::size_t found = dest.cols_.size();
        for (std::size_t j = 0; j < dest.cols_.size() && found == dest.cols_.size(); ++j)
            if (dest.cols_[j]->name.str() == name) found = j;
        if (found == dest.cols_.size()) {
            for (std::size_t j = 0; j < dest.cols_.size(); ++j) {
                if (!udb_eq_nocase(dest.cols_[j]->name.str(), name)) continue;
                if (found != dest.cols_.size()) return {};  // two candidates: no way to tell
                found = j;
            }
        }
        if (found == dest.cols_.size() || taken[found]) return {};
        taken[found] = true;
        pairs.push_back(found);
    }
    return pairs;
}

bool udb_schema::conform_to(const udb_schema& dest) const {
    tk_trace(1, "udb_schema::conform_to");
    if (cols_.size() != dest.cols_.size()) {
        tk_trace(2, "Tables are not conformed: src_size=%d, dest_size=%d", int(cols_.size()), int(dest.cols_.size()));
        return false;
    }
    std::vector<std::size_t> pairs = pair_by_name(dest);
    if (pairs.empty() && !cols_.empty()) {
        // By position; a column whose name stands elsewhere in the
        // destination would receive another column's values.
        for (std::size_t i = 0; i < cols_.size(); ++i) {
            for (std::size_t j = 0; j < dest.cols_.size(); ++j) {
                if (j != i && udb_eq_nocase(dest.cols_[j]->name.str(), cols_[i]->name.str()) &&
                    !udb_eq_nocase(dest.cols_[i]->name.str(), cols_[i]->name.str())) {
                    tk_trace(2, "Column #%d is named like destination column #%d", int(i + 1), int(j + 1));
                    return false;
                }
            }
            pairs.push_back(i);
        }
    }
    for (std::size_t i = 0; i < cols_.size(); ++i) {
        const t_ftd& s = *cols_[i];
        const t_ftd& d = *dest.cols_[pairs[i]];
        if (!s.conform_to(d)) {
            tk_trace(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)", int(i + 1),
                     int(s.vartype), int(s.size), int(d.vartype), int(d.size));
            return false;
        }
    }
    return true;
}

const t_ftd* udb_schema::lookup(const std::wstring& name) const {
    for (const t_ftd* col : cols_)
        if (udb_eq_nocase(col->name.str(), name)) return col;
    return nullptr;
}

bool udb_schema::find_field(const std::wstring& name) const {
    tk_trace_w(1, L"udb_schema::find_field(%s)", name.c_str());
    for (const t_ftd* col : cols_) {
        tk_trace_w(1, L"Processing %s", col->name.c_str());
        if (udb_eq_nocase(col->name.str(), name)) return true;
    }
    return false;
}

const t_ftd& udb_schema::get_field(const std::wstring& name) const {
    tk_trace_w(1, L"udb_schema::find_field(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col) throw tk_mail_assertion("udb_sche", 309);
    return *col;
}

std::uint32_t udb_schema::get_field_size(const std::wstring& name) const {
    tk_trace_w(1, L"udb_schema::get_field_size(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col) throw tk_mail_assertion("udb_sche", 339);
    return col->size;
}

std::uint16_t udb_schema::get_field_type(const std::wstring& name) const {
    tk_trace_w(1, L"udb_schema::get_field_type(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col) throw tk_mail_assertion("udb_sche", 355);
    return col->vartype;
}
