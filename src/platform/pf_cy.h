#pragma once
// Currency values of the value layer: a signed 64-bit count of ten-thousandths.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/pf_hres.h"

class pf_decimal;

struct pf_currency {
    static constexpr std::int64_t scale_factor = 10000;
    static constexpr std::size_t max_text = 24;  // "-922337203685477.5808"

    std::int64_t int64 = 0;

    friend bool operator==(pf_currency a, pf_currency b) noexcept { return a.int64 == b.int64; }
};

// The number text of pf_decimal::parse, rounded to four decimals (half to even).
// DISP_E_TYPEMISMATCH for no number, DISP_E_OVERFLOW outside the range.
pf_hresult pf_cy_from_str(std::string_view text, pf_currency& out) noexcept;
pf_hresult pf_cy_from_str(std::wstring_view text, pf_currency& out) noexcept;
pf_hresult pf_cy_from_dec(const pf_decimal& d, pf_currency& out) noexcept;

// Plain text without trailing fraction zeros: "12.5", "-0.0001", "3".
// buf holds at least max_text chars; no NUL; returns the length.
std::size_t pf_cy_format(pf_currency cy, char* buf) noexcept;
std::string pf_cy_to_string(pf_currency cy);
