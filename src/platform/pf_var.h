#pragma once
// The tagged value of the platform layer: a type code and the value, with deep
// copy and release of text and byte arrays, and the change of type that the cell
// values call. Texts are fixed and locale-free.
#include <cstdint>

#include "platform/pf_bstr.h"
#include "platform/pf_cy.h"
#include "platform/pf_dec.h"
#include "platform/pf_hres.h"
#include "platform/pf_sarr.h"
#include "platform/pf_vtype.h"

struct pf_variant {
    VARTYPE vt = VT_EMPTY;
    union {
        std::int64_t i8 = 0;   // VT_I8
        std::uint64_t ui8;     // VT_UI8
        std::int8_t i1;        // VT_I1
        std::uint8_t ui1;      // VT_UI1
        std::int16_t i2;       // VT_I2
        std::uint16_t ui2;     // VT_UI2
        std::int32_t i4;       // VT_I4, VT_INT
        std::uint32_t ui4;     // VT_UI4, VT_UINT
        float r4;              // VT_R4
        double r8;             // VT_R8
        double date;           // VT_DATE: days since 1899-12-30
        std::int16_t boolean;  // VT_BOOL: -1 true, 0 false
        std::int32_t scode;    // VT_ERROR
        pf_currency cy;        // VT_CY
        pf_decimal dec;        // VT_DECIMAL
        pf_bstr bstr;          // VT_BSTR, owned
        pf_safearray* array;   // VT_ARRAY_UI1 and VT_SAFEARRAY, owned
    };

    pf_variant() noexcept {}
    ~pf_variant();
    pf_variant(const pf_variant& other);  // deep copy; throws std::bad_alloc
    pf_variant(pf_variant&& other) noexcept;
    pf_variant& operator=(const pf_variant& other);
    pf_variant& operator=(pf_variant&& other) noexcept;
    void swap(pf_variant& other) noexcept;

    bool holds_array() const noexcept { return vt == VT_ARRAY_UI1 || vt == VT_SAFEARRAY; }
};

// Releases text or array and leaves VT_EMPTY.
pf_hresult pf_variant_clear(pf_variant& v) noexcept;
// dst = a deep copy of src (dst's old content released). Throws std::bad_alloc.
pf_hresult pf_variant_copy(pf_variant& dst, const pf_variant& src);

// Changes src to type vt into dst (dst may be src). Supported:
//   the same type (a copy); VT_EMPTY (a cleared value);
//   text to VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT
//     (a decimal number, rounded half to even, range-checked), VT_R4, VT_R8, VT_CY,
//     VT_DECIMAL, VT_BOOL ("true"/"false" in any case, or a number: not 0 is true)
//     and VT_DATE (the platform's date parser);
//   integers, reals, VT_CY and VT_DECIMAL to text.
// Failures: DISP_E_TYPEMISMATCH (text that is no value of the type, or a change
// that is not supported), DISP_E_OVERFLOW, DISP_E_BADVARTYPE (an unknown type
// code). dst is unchanged on failure. flags are accepted for the call's shape
// and ignored: every form is locale-free.
pf_hresult pf_change_type(pf_variant& dst, const pf_variant& src, std::uint16_t flags, VARTYPE vt);
