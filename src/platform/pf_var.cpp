#include "platform/pf_var.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/pf_num.h"
#include "platform/pf_text.h"
#include "platform/pf_trim.h"
#include "platform/plat_date.h"

namespace {

constexpr std::size_t value_offset = offsetof(pf_variant, i8);
constexpr std::size_t value_size = sizeof(pf_variant) - value_offset;

void copy_bits(pf_variant& dst, const pf_variant& src) noexcept {
    dst.vt = src.vt;
    std::memcpy(reinterpret_cast<unsigned char*>(&dst) + value_offset,
                reinterpret_cast<const unsigned char*>(&src) + value_offset, value_size);
}

void release(pf_variant& v) noexcept {
    if (v.vt == VT_BSTR)
        pf_bstr_free(v.bstr);
    else if (v.holds_array())
        pf_sa_destroy(v.array);
    v.vt = VT_EMPTY;
    v.i8 = 0;
}

bool known_type(VARTYPE vt) {
    return (vt <= VT_UINT && vt != 15) || vt == VT_SAFEARRAY || vt == VT_LPSTR || vt == VT_LPWSTR || vt == VT_BLOB ||
           vt == VT_BLOB_OBJECT || vt == VT_ARRAY_UI1;
}

// The text as narrow ASCII for the number readers; other characters become DEL,
// which no reader accepts.
class ascii_text {
public:
    explicit ascii_text(std::wstring_view w) {
        char* out = small_;
        if (w.size() > sizeof(small_)) {
            big_.resize(w.size());
            out = big_.data();
        }
        for (std::size_t i = 0; i < w.size(); ++i) {
            const wchar_t c = w[i];
            out[i] = (c > 0 && c < 0x80) ? static_cast<char>(c) : '\x7f';
        }
        view_ = std::string_view(out, w.size());
    }
    std::string_view view() const { return view_; }

private:
    char small_[128];
    std::string big_;
    std::string_view view_;
};

template <class T>
pf_hresult int_from_dec(const pf_decimal& d, std::int64_t lo, std::int64_t hi, T& out) {
    std::int64_t v;
    pf_hresult hr = d.to_int64(v);
    if (pf_failed(hr)) return hr;
    if (v < lo || v > hi) return PF_DISP_E_OVERFLOW;
    out = static_cast<T>(v);
    return PF_S_OK;
}

pf_hresult from_text(std::wstring_view wide, VARTYPE vt, pf_variant& r) {
    ascii_text a(wide);
    const std::string_view t = a.view();
    pf_hresult hr = PF_S_OK;
    pf_decimal d;
    auto number = [&]() { return pf_decimal::parse(t, d); };
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
        if (pf_failed(hr = number())) return hr;
        switch (vt) {
        case VT_I1: hr = int_from_dec(d, INT8_MIN, INT8_MAX, r.i1); break;
        case VT_UI1: hr = int_from_dec(d, 0, UINT8_MAX, r.ui1); break;
        case VT_I2: hr = int_from_dec(d, INT16_MIN, INT16_MAX, r.i2); break;
        case VT_UI2: hr = int_from_dec(d, 0, UINT16_MAX, r.ui2); break;
        case VT_I4:
        case VT_INT: hr = int_from_dec(d, INT32_MIN, INT32_MAX, r.i4); break;
        case VT_UI4:
        case VT_UINT: hr = int_from_dec(d, 0, UINT32_MAX, r.ui4); break;
        case VT_I8: hr = d.to_int64(r.i8); break;
        default: hr = d.to_uint64(r.ui8); break;
        }
        break;
    case VT_R4:
    case VT_R8: {
        double v8 = 0;
        float v4 = 0;
        const bool ok = vt == VT_R8 ? pf_parse_r8(t, v8) : pf_parse_r4(t, v4);
        const double v = vt == VT_R8 ? v8 : v4;
        if (!ok || std::isnan(v)) return PF_DISP_E_TYPEMISMATCH;
        if (std::isinf(v)) return PF_DISP_E_OVERFLOW;
        if (vt == VT_R8)
            r.r8 = v8;
        else
            r.r4 = v4;
        break;
    }
    case VT_CY: hr = pf_cy_from_str(t, r.cy); break;
    case VT_DECIMAL:
        if (pf_succeeded(hr = number())) r.dec = d;
        break;
    case VT_BOOL: {
        const std::string_view w = pf_trim(t, pf_blanks::space_tab);
        if (pf_ascii_is_word(w, "true"))
            r.boolean = PF_VARIANT_TRUE;
        else if (pf_ascii_is_word(w, "false"))
            r.boolean = PF_VARIANT_FALSE;
        else if (pf_succeeded(hr = number()))
            r.boolean = d.is_zero() ? PF_VARIANT_FALSE : PF_VARIANT_TRUE;
        break;
    }
    case VT_DATE: {
        plat_systemtime st;
        if (!plat_date_from_str(t, st)) return PF_DISP_E_TYPEMISMATCH;
        double serial = 0;
        if (st.year == 0 && st.month == 0 && st.day == 0) {
            serial = (st.hour * 3600.0 + st.minute * 60.0 + st.second + st.microsecond / 1e6) / 86400.0;
            if (st.negative) serial = -serial;
        } else if (!plat_system_time_to_variant_time(st, serial)) {
            return PF_DISP_E_OVERFLOW;
        }
        r.date = serial;
        break;
    }
    default: return PF_DISP_E_TYPEMISMATCH;
    }
    if (pf_failed(hr)) return hr;
    r.vt = vt;
    return PF_S_OK;
}

pf_hresult to_text(const pf_variant& s, pf_variant& r) {
    char buf[pf_decimal::max_text];
    std::size_t n = 0;
    switch (s.vt) {
    case VT_I1: n = pf_format_i64(s.i1, buf); break;
    case VT_UI1: n = pf_format_u64(s.ui1, buf); break;
    case VT_I2: n = pf_format_i64(s.i2, buf); break;
    case VT_UI2: n = pf_format_u64(s.ui2, buf); break;
    case VT_I4:
    case VT_INT: n = pf_format_i64(s.i4, buf); break;
    case VT_UI4:
    case VT_UINT: n = pf_format_u64(s.ui4, buf); break;
    case VT_I8: n = pf_format_i64(s.i8, buf); break;
    case VT_UI8: n = pf_format_u64(s.ui8, buf); break;
    case VT_R4: n = pf_format_r4(s.r4, buf); break;
    case VT_R8: n = pf_format_r8(s.r8, buf); break;
    case VT_CY: n = pf_cy_format(s.cy, buf); break;
    case VT_DECIMAL: n = s.dec.format(buf); break;
    default: return PF_DISP_E_TYPEMISMATCH;
    }
    pf_bstr b = pf_bstr_alloc_len(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(buf[i]);
    r.bstr = b;
    r.vt = VT_BSTR;
    return PF_S_OK;
}

}  // namespace

pf_variant::~pf_variant() { release(*this); }

pf_variant::pf_variant(const pf_variant& other) { pf_variant_copy(*this, other); }

pf_variant::pf_variant(pf_variant&& other) noexcept {
    copy_bits(*this, other);
    other.vt = VT_EMPTY;
    other.i8 = 0;
}

pf_variant& pf_variant::operator=(const pf_variant& other) {
    if (this != &other) pf_variant_copy(*this, other);
    return *this;
}

pf_variant& pf_variant::operator=(pf_variant&& other) noexcept {
    if (this != &other) {
        release(*this);
        copy_bits(*this, other);
        other.vt = VT_EMPTY;
        other.i8 = 0;
    }
    return *this;
}

void pf_variant::swap(pf_variant& other) noexcept {
    pf_variant tmp(std::move(other));
    other = std::move(*this);
    *this = std::move(tmp);
}

pf_hresult pf_variant_clear(pf_variant& v) noexcept {
    release(v);
    return PF_S_OK;
}

pf_hresult pf_variant_copy(pf_variant& dst, const pf_variant& src) {
    if (&dst == &src) return PF_S_OK;
    // Allocate first, so that a failure leaves dst as it was.
    pf_variant tmp;
    copy_bits(tmp, src);
    if (src.vt == VT_BSTR)
        tmp.bstr = src.bstr ? pf_bstr_alloc(pf_bstr_view(src.bstr)) : nullptr;
    else if (src.holds_array())
        tmp.array = pf_sa_copy(src.array);
    release(dst);
    copy_bits(dst, tmp);
    tmp.vt = VT_EMPTY;
    return PF_S_OK;
}

pf_hresult pf_change_type(pf_variant& dst, const pf_variant& src, std::uint16_t /*flags*/, VARTYPE vt) {
    if (!known_type(vt)) return PF_DISP_E_BADVARTYPE;
    pf_variant r;
    if (src.vt == vt) {
        pf_variant_copy(r, src);
    } else if (vt == VT_EMPTY) {
        // a cleared value
    } else if (src.vt == VT_BSTR) {
        pf_hresult hr = from_text(pf_bstr_view(src.bstr), vt, r);
        if (pf_failed(hr)) return hr;
    } else if (vt == VT_BSTR) {
        pf_hresult hr = to_text(src, r);
        if (pf_failed(hr)) return hr;
    } else {
        return PF_DISP_E_TYPEMISMATCH;
    }
    dst = std::move(r);
    return PF_S_OK;
}
