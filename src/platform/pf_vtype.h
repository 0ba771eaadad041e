#pragma once
// Value type codes. These numbers are also the system's column type codes.
#include <cstdint>

using VARTYPE = std::uint16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_CY = 6;
constexpr VARTYPE VT_DATE = 7;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_DECIMAL = 14;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_I8 = 20;
constexpr VARTYPE VT_UI8 = 21;
constexpr VARTYPE VT_INT = 22;
constexpr VARTYPE VT_UINT = 23;
constexpr VARTYPE VT_SAFEARRAY = 27;
constexpr VARTYPE VT_LPSTR = 30;
constexpr VARTYPE VT_LPWSTR = 31;
constexpr VARTYPE VT_BLOB = 65;
constexpr VARTYPE VT_BLOB_OBJECT = 70;
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_ARRAY_UI1 = VT_ARRAY | VT_UI1;  // 8209: a byte array

// The integer codes, booleans among them: columns that can count up by
// themselves and take a bare whole number as their DEFAULT.
constexpr bool pf_is_integer_type(unsigned vt) noexcept {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_BOOL: return true;
    default: return false;
    }
}

// Values whose text is a number (digits, sign, point, exponent, "nan"/"inf"):
// the integers, reals, currency and decimals. It needs no quoting or escaping.
constexpr bool pf_is_number_type(unsigned vt) noexcept {
    return pf_is_integer_type(vt) || vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DECIMAL;
}

// Boolean values as the value layer stores them.
constexpr std::int16_t PF_VARIANT_TRUE = -1;
constexpr std::int16_t PF_VARIANT_FALSE = 0;
