#include "platform/pf_cy.h"

#include <charconv>
#include <cstdint>

#include "platform/pf_dec.h"

pf_hresult pf_cy_from_dec(const pf_decimal& d, pf_currency& out) noexcept {
    pf_decimal r;
    pf_hresult hr = d.rescale(4, r);
    if (pf_failed(hr)) return hr;
    // r's coefficient is the count of ten-thousandths.
    std::int64_t v = 0;
    std::uint64_t mag = 0;
    for (char c : r.digits()) {
        const unsigned dig = static_cast<unsigned>(c - '0');
        if (mag > (UINT64_MAX - dig) / 10) return PF_DISP_E_OVERFLOW;
        mag = mag * 10 + dig;
    }
    if (r.negative()) {
        if (mag > std::uint64_t(1) << 63) return PF_DISP_E_OVERFLOW;
        v = mag == std::uint64_t(1) << 63 ? INT64_MIN : -static_cast<std::int64_t>(mag);
    } else {
        if (mag > static_cast<std::uint64_t>(INT64_MAX)) return PF_DISP_E_OVERFLOW;
        v = static_cast<std::int64_t>(mag);
    }
    out.int64 = v;
    return PF_S_OK;
}

pf_hresult pf_cy_from_str(std::string_view text, pf_currency& out) noexcept {
    pf_decimal d;
    pf_hresult hr = pf_decimal::parse(text, d);
    return pf_failed(hr) ? hr : pf_cy_from_dec(d, out);
}

pf_hresult pf_cy_from_str(std::wstring_view text, pf_currency& out) noexcept {
    pf_decimal d;
    pf_hresult hr = pf_decimal::parse(text, d);
    return pf_failed(hr) ? hr : pf_cy_from_dec(d, out);
}

std::size_t pf_cy_format(pf_currency cy, char* buf) noexcept {
    char* o = buf;
    std::uint64_t mag = cy.int64 < 0 ? ~static_cast<std::uint64_t>(cy.int64) + 1 : static_cast<std::uint64_t>(cy.int64);
    if (cy.int64 < 0) *o++ = '-';
    o = std::to_chars(o, buf + pf_currency::max_text, mag / 10000).ptr;
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (frac != 0) {
        char f[4] = {char('0' + frac / 1000), char('0' + frac / 100 % 10), char('0' + frac / 10 % 10),
                     char('0' + frac % 10)};
        int n = 4;
        while (f[n - 1] == '0') --n;
        *o++ = '.';
        for (int i = 0; i < n; ++i) *o++ = f[i];
    }
    return static_cast<std::size_t>(o - buf);
}

std::string pf_cy_to_string(pf_currency cy) {
    char buf[pf_currency::max_text];
    return std::string(buf, pf_cy_format(cy, buf));
}
