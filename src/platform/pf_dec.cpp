#include "platform/pf_dec.h"

#include <limits>
#include <string_view>

#include "platform/pf_trim.h"

namespace {

template <class C>
bool is_digit(C c) {
    return c >= C('0') && c <= C('9');
}

}  // namespace

template <class C>
pf_hresult pf_decimal::parse_impl(const C* p, const C* end, pf_decimal& out) noexcept {
    const std::basic_string_view<C> text =
        pf_trim_both(std::basic_string_view<C>(p, static_cast<std::size_t>(end - p)), pf_blanks::space_tab);
    p = text.data();
    end = p + text.size();

    bool neg = false;
    if (p < end && (*p == C('+') || *p == C('-'))) {
        neg = *p == C('-');
        ++p;
    }

    pf_decimal d;
    int count = 0;     // significant digits collected
    int frac = 0;      // digits written after the point
    int mantissa = 0;  // every mantissa digit seen, zeros included
    bool overflow = false;
    auto take = [&](C c) {
        ++mantissa;
        if (count == 0 && c == C('0')) return;  // leading zero
        if (count == max_digits) {
            overflow = true;
            return;
        }
        d.digits_[count++] = static_cast<char>(c);
    };
    while (p < end && is_digit(*p)) take(*p++);
    if (p < end && *p == C('.')) {
        ++p;
        while (p < end && is_digit(*p)) {
            take(*p++);
            ++frac;
        }
    }
    if (mantissa == 0) return PF_DISP_E_TYPEMISMATCH;

    long exponent = 0;
    if (p < end && (*p == C('e') || *p == C('E'))) {
        ++p;
        bool eneg = false;
        if (p < end && (*p == C('+') || *p == C('-'))) {
            eneg = *p == C('-');
            ++p;
        }
        if (p == end || !is_digit(*p)) return PF_DISP_E_TYPEMISMATCH;
        while (p < end && is_digit(*p)) {
            if (exponent < 100000) exponent = exponent * 10 + (*p - C('0'));
            ++p;
        }
        if (eneg) exponent = -exponent;
    }
    if (p != end) return PF_DISP_E_TYPEMISMATCH;
    if (overflow) return PF_DISP_E_OVERFLOW;

    long scale = frac - exponent;
    if (scale < 0) {
        // A positive exponent beyond the written fraction: append zeros.
        if (count > 0) {
            if (count - scale > max_digits) return PF_DISP_E_OVERFLOW;
            for (long i = 0; i < -scale; ++i) d.digits_[count++] = '0';
        }
        scale = 0;
    }
    if (scale > max_scale) return PF_DISP_E_OVERFLOW;

    d.ndigits_ = static_cast<std::uint8_t>(count);
    d.scale_ = static_cast<std::uint8_t>(scale);
    d.negative_ = neg && count > 0;  // no negative zero
    out = d;
    return PF_S_OK;
}

pf_hresult pf_decimal::parse(std::string_view text, pf_decimal& out) noexcept {
    return parse_impl(text.data(), text.data() + text.size(), out);
}

pf_hresult pf_decimal::parse(std::wstring_view text, pf_decimal& out) noexcept {
    return parse_impl(text.data(), text.data() + text.size(), out);
}

pf_decimal pf_decimal::from_uint64(std::uint64_t v, bool negative) noexcept {
    pf_decimal d;
    char tmp[20];
    int n = 0;
    while (v != 0) {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    for (int i = 0; i < n; ++i) d.digits_[i] = tmp[n - 1 - i];
    d.ndigits_ = static_cast<std::uint8_t>(n);
    d.negative_ = negative && n > 0;
    return d;
}

pf_decimal pf_decimal::from_int64(std::int64_t v) noexcept {
    std::uint64_t mag = v < 0 ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
    return from_uint64(mag, v < 0);
}

std::size_t pf_decimal::format(char* buf) const noexcept {
    char* o = buf;
    if (negative_) *o++ = '-';
    const int n = ndigits_, s = scale_;
    if (n <= s) {
        *o++ = '0';
        if (s > 0) {
            *o++ = '.';
            for (int i = 0; i < s - n; ++i) *o++ = '0';
            for (int i = 0; i < n; ++i) *o++ = digits_[i];
        }
    } else {
        for (int i = 0; i < n - s; ++i) *o++ = digits_[i];
        if (s > 0) {
            *o++ = '.';
            for (int i = n - s; i < n; ++i) *o++ = digits_[i];
        }
    }
    return static_cast<std::size_t>(o - buf);
}

std::string pf_decimal::to_string() const {
    char buf[max_text];
    return std::string(buf, format(buf));
}

bool pf_decimal::rounded_magnitude(std::uint64_t& out) const noexcept {
    const int n = ndigits_, s = scale_;
    const int int_digits = n > s ? n - s : 0;
    std::uint64_t v = 0;
    for (int i = 0; i < int_digits; ++i) {
        const unsigned dig = static_cast<unsigned>(digits_[i] - '0');
        if (v > (std::numeric_limits<std::uint64_t>::max() - dig) / 10) return false;
        v = v * 10 + dig;
    }
    // Half to even on the dropped fraction.
    if (s > 0 && n > 0) {
        const int first = n - s;  // index of the first fraction digit (may be negative)
        int fd = first >= 0 ? digits_[first] - '0' : 0;
        bool rest_nonzero = false;
        for (int i = (first + 1 > 0 ? first + 1 : 0); i < n; ++i)
            if (digits_[i] != '0') rest_nonzero = true;
        if (first < 0) {
            // Every coefficient digit lies below the first fraction position.
            fd = 0;
            rest_nonzero = true;
        }
        bool up = fd > 5 || (fd == 5 && (rest_nonzero || (v & 1)));
        if (up) {
            if (v == std::numeric_limits<std::uint64_t>::max()) return false;
            ++v;
        }
    }
    out = v;
    return true;
}

pf_hresult pf_decimal::to_int64(std::int64_t& out) const noexcept {
    std::uint64_t mag;
    if (!rounded_magnitude(mag)) return PF_DISP_E_OVERFLOW;
    if (negative_) {
        if (mag > std::uint64_t(1) << 63) return PF_DISP_E_OVERFLOW;
        out =
            mag == std::uint64_t(1) << 63 ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(mag);
    } else {
        if (mag > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return PF_DISP_E_OVERFLOW;
        out = static_cast<std::int64_t>(mag);
    }
    return PF_S_OK;
}

pf_hresult pf_decimal::to_uint64(std::uint64_t& out) const noexcept {
    std::uint64_t mag;
    if (!rounded_magnitude(mag)) return PF_DISP_E_OVERFLOW;
    if (negative_ && mag != 0) return PF_DISP_E_OVERFLOW;
    out = mag;
    return PF_S_OK;
}

pf_hresult pf_decimal::to_int32(std::int32_t& out) const noexcept {
    std::int64_t v;
    if (pf_failed(to_int64(v)) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return PF_DISP_E_OVERFLOW;
    out = static_cast<std::int32_t>(v);
    return PF_S_OK;
}

pf_hresult pf_decimal::rescale(int scale, pf_decimal& out) const noexcept {
    if (scale < 0 || scale > max_scale) return PF_E_INVALIDARG;
    pf_decimal d = *this;
    if (scale >= scale_) {
        const int add = scale - scale_;
        if (d.ndigits_ > 0) {
            if (d.ndigits_ + add > max_digits) return PF_DISP_E_OVERFLOW;
            for (int i = 0; i < add; ++i) d.digits_[d.ndigits_++] = '0';
        }
        d.scale_ = static_cast<std::uint8_t>(scale);
        out = d;
        return PF_S_OK;
    }
    // Drop (scale_ - scale) digits with half-to-even rounding.
    const int drop = scale_ - scale;
    const int keep = ndigits_ - drop;  // digits that stay (may be <= 0)
    bool up = false;
    if (keep >= 0 && ndigits_ > 0) {
        const int fd = keep < ndigits_ ? digits_[keep] - '0' : 0;
        bool rest = false;
        for (int i = keep + 1; i < ndigits_; ++i)
            if (digits_[i] != '0') rest = true;
        const bool last_odd = keep > 0 && ((digits_[keep - 1] - '0') & 1);
        up = fd > 5 || (fd == 5 && (rest || last_odd));
    }
    pf_decimal r;
    r.scale_ = static_cast<std::uint8_t>(scale);
    int n = keep > 0 ? keep : 0;
    for (int i = 0; i < n; ++i) r.digits_[i] = digits_[i];
    if (up) {
        int i = n - 1;
        while (i >= 0 && r.digits_[i] == '9') r.digits_[i--] = '0';
        if (i >= 0) {
            ++r.digits_[i];
        } else {
            if (n == max_digits) return PF_DISP_E_OVERFLOW;
            for (int j = n; j > 0; --j) r.digits_[j] = r.digits_[j - 1];
            r.digits_[0] = '1';
            ++n;
        }
    }
    // Strip leading zeros (only possible when everything rounded away).
    int lead = 0;
    while (lead < n && r.digits_[lead] == '0') ++lead;
    if (lead == n) n = lead = 0;
    if (lead > 0) {
        for (int i = lead; i < n; ++i) r.digits_[i - lead] = r.digits_[i];
        n -= lead;
    }
    r.ndigits_ = static_cast<std::uint8_t>(n);
    r.negative_ = negative_ && n > 0;
    out = r;
    return PF_S_OK;
}
