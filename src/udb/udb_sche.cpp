#include "udb/udb_sche.h"

#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "udb/udb_text.h"

namespace {

enum : unsigned {
    vt_cy = 6,
    vt_date = 7,
    vt_bstr = 8,
    vt_decimal = 14,
    vt_lpstr = 30,
    vt_lpwstr = 31,
    vt_blob = 65,
    vt_blob_object = 70,
    vt_ui1_array = 8209,
};

bool is_text_type(unsigned vt) { return vt == vt_bstr || vt == vt_lpstr || vt == vt_lpwstr; }

// Destination size 0 is unbounded.
bool fits(std::uint32_t src_size, std::uint32_t dest_size)
{
    return dest_size == 0 || dest_size >= src_size;
}

bool is_numeric_dest(unsigned vt)
{
    return (vt >= 2 && vt <= 6) || vt == 11 || vt == 14 || (vt >= 16 && vt <= 23);
}

} // namespace

bool udb_is_numeric_type(unsigned vt)
{
    return (vt >= 2 && vt <= 6) || vt == 11 || vt == 14 || (vt >= 16 && vt <= 21);
}

bool udb_is_binary_type(unsigned vt)
{
    return vt == vt_blob || vt == vt_blob_object || vt == vt_ui1_array;
}

t_ftd::t_ftd(std::uint32_t size_, udb_name name_, std::uint16_t vartype_, bool not_null,
             bool auto_inc, const ole_variant& def, std::uint32_t reserved_)
    : size(size_), name(std::move(name_)), vartype(vartype_), b_auto_increment(auto_inc ? 1 : 0),
      b_not_null(not_null ? 1 : 0), def_value(def), reserved(reserved_)
{
    tk_trace(1, "t_ftd::ctor2");
    tk_trace_w(1, L"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d",
               name.c_str(), int(vartype), int(size), int(b_not_null), int(reserved));
}

bool t_ftd::is_binary() const { return udb_is_binary_type(vartype); }
bool t_ftd::is_numeric() const { return udb_is_numeric_type(vartype); }

bool t_ftd::operator==(const t_ftd& other) const
{
    tk_trace(1, "t_ftd::operator ==");
    const unsigned a = vartype, b = other.vartype;
    if ((a == vt_decimal && b == vt_cy) || (a == vt_cy && b == vt_decimal))
        return true;
    if (a != b)
        return false;
    return a != vt_bstr || size == other.size;
}

bool t_ftd::conform_to(const t_ftd& dest) const
{
    tk_trace(1, "t_ftd::conform_to");
    if (*this == dest)
        return true;
    const unsigned d = dest.vartype;
    if (is_numeric_dest(d))
        return is_numeric();
    if (d == vt_date)
        return vartype == vt_date || (vartype == vt_bstr && size == 19);
    if (is_text_type(d)) {
        if (is_text_type(vartype))
            return fits(size, dest.size);
        return !is_binary();
    }
    if (udb_is_binary_type(d)) {
        if (is_text_type(vartype) || is_binary())
            return fits(size, dest.size);
        return true;
    }
    return false;
}

t_ftd* udb_schema::add(std::unique_ptr<t_ftd> col)
{
    t_ftd* p = col.get();
    owned_.push_back(std::move(col));
    cols_.push_back(p);
    return p;
}

bool udb_schema::conform_to(const udb_schema& dest) const
{
    tk_trace(1, "udb_schema::conform_to");
    if (cols_.size() != dest.cols_.size()) {
        tk_trace(2, "Tables are not conformed: src_size=%d, dest_size=%d", int(cols_.size()),
                 int(dest.cols_.size()));
        return false;
    }
    for (std::size_t i = 0; i < cols_.size(); ++i) {
        const t_ftd& s = *cols_[i];
        const t_ftd& d = *dest.cols_[i];
        if (!s.conform_to(d)) {
            tk_trace(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
                     int(i + 1), int(s.vartype), int(s.size), int(d.vartype), int(d.size));
            return false;
        }
    }
    return true;
}

const t_ftd* udb_schema::lookup(const std::wstring& name) const
{
    for (const t_ftd* col : cols_)
        if (udb_eq_nocase(col->name.str(), name))
            return col;
    return nullptr;
}

bool udb_schema::find_field(const std::wstring& name) const
{
    tk_trace_w(1, L"udb_schema::find_field(%s)", name.c_str());
    for (const t_ftd* col : cols_) {
        tk_trace_w(1, L"Processing %s", col->name.c_str());
        if (udb_eq_nocase(col->name.str(), name))
            return true;
    }
    return false;
}

const t_ftd& udb_schema::get_field(const std::wstring& name) const
{
    tk_trace_w(1, L"udb_schema::find_field(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col)
        throw tk_mail_assertion("udb_sche", 309);
    return *col;
}

std::uint32_t udb_schema::get_field_size(const std::wstring& name) const
{
    tk_trace_w(1, L"udb_schema::get_field_size(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col)
        throw tk_mail_assertion("udb_sche", 339);
    return col->size;
}

std::uint16_t udb_schema::get_field_type(const std::wstring& name) const
{
    tk_trace_w(1, L"udb_schema::get_field_type(%s)", name.c_str());
    const t_ftd* col = lookup(name);
    if (!col)
        throw tk_mail_assertion("udb_sche", 355);
    return col->vartype;
}
