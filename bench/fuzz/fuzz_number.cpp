// The cell-text builders of ole_variant for every numeric, decimal, currency,
// boolean, date and byte type code. The first input byte picks the type, the
// rest is the text. Checked: the value's type, that its printed text builds
// the same value again, that the printers agree, that the wide builder agrees,
// and for plain in-range numbers that the value is exactly the one written.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "fuzz_util.h"
#include "platform/pf_cy.h"
#include "platform/pf_dec.h"
#include "platform/pf_num.h"
#include "platform/pf_vtype.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "variant/ole_var.h"

namespace {
constexpr const char* me = "fuzz_number";

constexpr VARTYPE types[] = {VT_I1,   VT_UI1, VT_I2, VT_UI2, VT_I4,      VT_UI4,  VT_I8,   VT_UI8,  VT_INT,
                             VT_UINT, VT_R4,  VT_R8, VT_CY,  VT_DECIMAL, VT_BOOL, VT_DATE, VT_BLOB, VT_ARRAY_UI1};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "-?[0-9]+" with its value when it fits in 64 bits signed or unsigned.
bool plain_integer(std::string_view s, bool& neg, unsigned long long& mag) {
    neg = false;
    mag = 0;
    std::size_t i = 0;
    if (!s.empty() && s[0] == '-') neg = true, ++i;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
        if (!is_digit(s[i])) return false;
        const unsigned d = static_cast<unsigned>(s[i] - '0');
        if (mag > (std::numeric_limits<unsigned long long>::max() - d) / 10) return false;
        mag = mag * 10 + d;
    }
    return true;
}

bool fits(VARTYPE vt, bool neg, unsigned long long mag) {
    auto signed_fits = [&](long long lo, long long hi) {
        return neg ? mag <= static_cast<unsigned long long>(-(lo + 1)) + 1 : mag <= static_cast<unsigned long long>(hi);
    };
    auto unsigned_fits = [&](unsigned long long hi) { return (!neg || mag == 0) && mag <= hi; };
    switch (vt) {
    case VT_I1: return signed_fits(-128, 127);
    case VT_UI1: return unsigned_fits(255);
    case VT_I2: return signed_fits(-32768, 32767);
    case VT_UI2: return unsigned_fits(65535);
    case VT_I4:
    case VT_INT: return signed_fits(-2147483648LL, 2147483647LL);
    case VT_UI4:
    case VT_UINT: return unsigned_fits(4294967295ULL);
    case VT_I8: return signed_fits(std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max());
    case VT_UI8: return unsigned_fits(std::numeric_limits<unsigned long long>::max());
    default: return false;
    }
}

// "-?[0-9]+(.[0-9]+)?": the text pf_decimal prints for it (leading zeros of the
// integer part dropped, the fraction as written); false for other text or when
// it has more digits than a decimal holds.
bool plain_decimal(std::string_view s, std::string& expect, bool& zero) {
    std::size_t i = 0;
    const bool neg = !s.empty() && s[0] == '-';
    if (neg) ++i;
    const std::size_t int_start = i;
    while (i < s.size() && is_digit(s[i])) ++i;
    std::string_view whole = s.substr(int_start, i - int_start);
    std::string_view frac;
    if (whole.empty()) return false;
    if (i < s.size()) {
        if (s[i] != '.') return false;
        const std::size_t f = ++i;
        while (i < s.size() && is_digit(s[i])) ++i;
        if (i != s.size() || i == f) return false;
        frac = s.substr(f);
    }
    while (whole.size() > 1 && whole[0] == '0') whole.remove_prefix(1);
    // Significant digits of the coefficient.
    std::string coef = std::string(whole) + std::string(frac);
    std::size_t lead = coef.find_first_not_of('0');
    const std::size_t sig = lead == std::string::npos ? 0 : coef.size() - lead;
    if (sig > static_cast<std::size_t>(pf_decimal::max_digits) ||
        frac.size() > static_cast<std::size_t>(pf_decimal::max_scale))
        return false;
    zero = sig == 0;
    expect = (neg ? "-" : "") + std::string(whole) + (frac.empty() ? "" : "." + std::string(frac));
    return true;
}

std::string after_sign(const std::string& s) { return !s.empty() && s[0] == '-' ? s.substr(1) : s; }

void check_printers(const ole_variant& v, const std::string& printed) {
    std::string appended = "<";
    v.append_utf8(appended);
    FUZZ_CHECK(me, appended == "<" + printed);
    FUZZ_CHECK(me, v.to_wstring() == fuzz_widen(printed));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const VARTYPE vt = types[data[0] % (sizeof types / sizeof types[0])];
    const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view text = raw.substr(0, raw.find('\0'));

    ole_variant v;
    try {
        v = ole_variant::from_string(raw, vt);
    } catch (const tk_exception&) {
        // Only the value layer's own conversions (VT_INT, VT_UINT) may refuse text.
        FUZZ_CHECK(me, vt == VT_INT || vt == VT_UINT);
        return 0;
    }
    const VARTYPE got = v.vartype();
    const VARTYPE want = (vt == VT_BLOB) ? VT_ARRAY_UI1 : vt;
    FUZZ_CHECK(me, got == want || got == VT_EMPTY);
    if (text.empty()) FUZZ_CHECK(me, got == VT_EMPTY);

    const std::string printed = v.to_string();
    check_printers(v, printed);

    // The printed text builds the same value.
    // A time of day prints behind a zero date that its readers strip.
    const bool time_of_day = got == VT_DATE && printed.starts_with("0000-00-00 ");
    const ole_variant again =
        ole_variant::from_string(time_of_day ? std::string_view(printed).substr(11) : std::string_view(printed), vt);
    FUZZ_CHECK(me, again.to_string() == printed);
    // A zero-length byte array prints as "" and so comes back empty.
    FUZZ_CHECK(me, again.vartype() == got || (got == VT_ARRAY_UI1 && printed.empty()));

    // The wide builder gives the same value for the same characters.
    std::wstring wide;
    if (tk_a2w(text, wide)) {
        try {
            FUZZ_CHECK(me, ole_variant::from_wstring(wide, vt).to_string() == printed);
        } catch (const tk_exception&) {
            fuzz_fail(me, "from_wstring throws where from_string did not");
        }
    }

    if (got == VT_EMPTY) {
        // Only empty text, a number text that does not fit, an odd byte text or
        // no date gives nothing.
        FUZZ_CHECK(me, text.empty() || vt == VT_CY || vt == VT_DECIMAL || vt == VT_DATE || vt == VT_BLOB ||
                           vt == VT_ARRAY_UI1);
        return 0;
    }

    switch (vt) {
    case VT_DECIMAL: {
        pf_decimal back;
        FUZZ_CHECK(me, pf_succeeded(pf_decimal::parse(printed, back)));
        FUZZ_CHECK(me, back == v.get_var().dec);
        break;
    }
    case VT_CY: {
        pf_currency back;
        FUZZ_CHECK(me, pf_succeeded(pf_cy_from_str(printed, back)));
        FUZZ_CHECK(me, back == v.get_var().cy);
        break;
    }
    case VT_R8: {
        const double x = v.get_var().r8, y = pf_atof(printed);
        FUZZ_CHECK(me, (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0);
        break;
    }
    case VT_R4: {
        const float x = v.get_var().r4, y = pf_atof_r4(printed);
        FUZZ_CHECK(me, (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0);
        break;
    }
    case VT_BOOL: FUZZ_CHECK(me, printed == "1" || printed == "0"); break;
    case VT_BLOB:
    case VT_ARRAY_UI1: {
        std::size_t digits = text.size();
        if (digits >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) digits -= 2;
        FUZZ_CHECK(me, v.get_safe_array_size() == digits / 2);
        break;
    }
    default: break;
    }

    // Plain numbers that the type holds arrive exactly.
    bool neg = false;
    unsigned long long mag = 0;
    if (pf_is_integer_type(vt) && vt != VT_BOOL && plain_integer(text, neg, mag) && fits(vt, neg, mag)) {
        const std::string expect = (neg && mag != 0 ? "-" : "") + std::to_string(mag);
        FUZZ_CHECK(me, printed == expect);
    }
    std::string expect;
    bool zero = false;
    if ((vt == VT_DECIMAL) && plain_decimal(text, expect, zero)) {
        // A zero may carry its sign or not.
        FUZZ_CHECK(me, zero ? after_sign(printed) == after_sign(expect) : printed == expect);
    }
    if (vt == VT_CY && plain_decimal(text, expect, zero)) {
        // Up to four decimals in range arrive exactly, printed without
        // trailing fraction zeros.
        const std::size_t dot = expect.find('.');
        const std::size_t frac = dot == std::string::npos ? 0 : expect.size() - dot - 1;
        const bool neg = expect[0] == '-';
        std::string digits = expect.substr(neg ? 1 : 0);
        if (dot != std::string::npos) digits.erase(digits.find('.'), 1);
        digits.append(4 - std::min<std::size_t>(frac, 4), '0');
        __int128 units = 0;
        bool small = frac <= 4 && digits.size() <= 30;
        for (char c : digits)
            if (small) units = units * 10 + (c - '0');
        const __int128 lim = static_cast<__int128>(std::numeric_limits<long long>::max()) + (neg ? 1 : 0);
        if (small && units <= lim) {
            std::string want = expect;
            if (dot != std::string::npos) {
                while (want.back() == '0') want.pop_back();
                if (want.back() == '.') want.pop_back();
            }
            if (zero) want = "0";
            FUZZ_CHECK(me, zero ? after_sign(printed) == "0" : printed == want);
        }
    }
    if (vt == VT_R8 && plain_decimal(text, expect, zero)) {
        // The C runtime's reading of a plain number is the one expected.
        const double x = v.get_var().r8, y = std::strtod(std::string(text).c_str(), nullptr);
        FUZZ_CHECK(me, std::memcmp(&x, &y, sizeof x) == 0);
    }
    return 0;
}
