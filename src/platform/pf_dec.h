#pragma once
// Exact decimal numbers of the value layer. A value is a sign, a coefficient of
// up to max_digits decimal digits and a scale (digits after the point), so that
// MySQL DECIMAL(65,30) survives to its last digit. The scale given by the text is
// kept: "12.50" prints back as "12.50".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/pf_hres.h"

class pf_decimal {
public:
    static constexpr int max_digits = 80;
    static constexpr int max_scale = 80;
    // Longest text: sign, "0.", max_scale digits (or digits and a point).
    static constexpr std::size_t max_text = max_digits + max_scale + 4;

    pf_decimal() noexcept = default;  // zero, scale 0

    // Parses [blanks][+|-]digits[.digits][(e|E)[+|-]digits][blanks]; at least one
    // mantissa digit. Leading zeros are dropped, the scale is the number of digits
    // written after the point minus the exponent (never below 0).
    // DISP_E_TYPEMISMATCH for text that is no number, DISP_E_OVERFLOW for more digits
    // or a larger scale than the type holds; `out` is untouched on failure.
    static pf_hresult parse(std::string_view text, pf_decimal& out) noexcept;
    static pf_hresult parse(std::wstring_view text, pf_decimal& out) noexcept;

    static pf_decimal from_int64(std::int64_t v) noexcept;
    static pf_decimal from_uint64(std::uint64_t v, bool negative = false) noexcept;

    bool negative() const noexcept { return negative_; }
    int scale() const noexcept { return scale_; }
    // Coefficient digits, most significant first, no leading zeros; empty for zero.
    std::string_view digits() const noexcept { return {digits_, ndigits_}; }
    bool is_zero() const noexcept { return ndigits_ == 0; }

    // The plain text ("-0.001", "12.50", "0"); buf holds at least max_text chars.
    // No NUL is written. Returns the length.
    std::size_t format(char* buf) const noexcept;
    std::string to_string() const;

    // Rounded to an integer (half to even, as the platform's conversions do).
    // DISP_E_OVERFLOW when the result is outside the target's range.
    pf_hresult to_int32(std::int32_t& out) const noexcept;
    pf_hresult to_int64(std::int64_t& out) const noexcept;
    pf_hresult to_uint64(std::uint64_t& out) const noexcept;
    // Rounded to `scale` fractional digits (half to even); DISP_E_OVERFLOW when the
    // result does not fit. The result's scale is exactly `scale`.
    pf_hresult rescale(int scale, pf_decimal& out) const noexcept;

    friend bool operator==(const pf_decimal& a, const pf_decimal& b) noexcept {
        return a.negative_ == b.negative_ && a.scale_ == b.scale_ && a.digits() == b.digits();
    }

private:
    template <class C>
    static pf_hresult parse_impl(const C* p, const C* end, pf_decimal& out) noexcept;
    // Rounded magnitude of the integer part; false when it exceeds 64 bits.
    bool rounded_magnitude(std::uint64_t& out) const noexcept;

    std::uint8_t ndigits_ = 0;
    std::uint8_t scale_ = 0;
    bool negative_ = false;
    char digits_[max_digits] = {};
};
