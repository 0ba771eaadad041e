#include "platform/plat_date.h"

#include <chrono>
#include <cmath>
#include <cstddef>

namespace {

void civil_from_days(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const long long k_epoch = plat_days_from_civil(1899, 12, 30);
constexpr double k_usec_per_day = 86400.0 * 1e6;

// ---- the text parser -------------------------------------------------------

struct cursor {
    std::string_view s;
    std::size_t i = 0;

    bool end() const { return i >= s.size(); }
    char peek() const { return end() ? '\0' : s[i]; }
    bool eat(char c) {
        if (peek() != c) return false;
        ++i;
        return true;
    }
    // 1 or more blanks (space or tab)
    bool blanks() {
        std::size_t n = 0;
        while (!end() && (s[i] == ' ' || s[i] == '\t')) ++i, ++n;
        return n > 0;
    }
    // Between min and max decimal digits; value out.
    bool digits(int min, int max, int& v, int* count = nullptr) {
        int n = 0;
        long long x = 0;
        while (!end() && n < max && s[i] >= '0' && s[i] <= '9') {
            x = x * 10 + (s[i] - '0');
            ++i, ++n;
        }
        if (n < min) return false;
        // A longer run of digits than allowed is not this field.
        if (!end() && s[i] >= '0' && s[i] <= '9') return false;
        v = static_cast<int>(x);
        if (count) *count = n;
        return true;
    }
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// English month name, full or its first three letters (also "Sept"), any case.
bool month_name(cursor& c, int& month) {
    static const char* const names[12] = {"january", "february", "march",     "april",   "may",      "june",
                                          "july",    "august",   "september", "october", "november", "december"};
    std::size_t start = c.i;
    std::size_t n = 0;
    while (start + n < c.s.size()) {
        char ch = lower(c.s[start + n]);
        if (ch < 'a' || ch > 'z') break;
        ++n;
    }
    if (n < 3) return false;
    for (int m = 0; m < 12; ++m) {
        std::string_view full(names[m]);
        if (n > full.size()) continue;
        bool prefix = true;
        for (std::size_t k = 0; k < n; ++k)
            if (lower(c.s[start + k]) != full[k]) {
                prefix = false;
                break;
            }
        if (!prefix) continue;
        if (n == 3 || n == full.size() || (m == 8 && n == 4)) {
            month = m + 1;
            c.i = start + n;
            c.eat('.');
            return true;
        }
    }
    return false;
}

bool parse_time(cursor& c, plat_systemtime& t) {
    int h = 0, mi = 0, se = 0;
    if (!c.digits(1, 2, h) || !c.eat(':') || !c.digits(2, 2, mi)) return false;
    long us = 0;
    if (c.eat(':')) {
        if (!c.digits(2, 2, se)) return false;
        if (c.eat('.')) {
            int n = 0;
            long scale = 100000;
            while (!c.end() && c.peek() >= '0' && c.peek() <= '9') {
                if (n < 6) us += (c.peek() - '0') * scale, scale /= 10;
                ++c.i, ++n;  // digits beyond microseconds are cut, never rounded
            }
            if (n == 0) return false;
        }
    }
    if (h > 23 || mi > 59 || se > 59) return false;
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(se);
    t.microsecond = static_cast<uint32_t>(us);
    return true;
}

bool parse_date(cursor& c, int& y, int& m, int& d, bool& iso) {
    const std::size_t start = c.i;
    int a = 0, na = 0;
    iso = false;
    if (c.digits(1, 4, a, &na)) {
        if (na == 4 && c.eat('-')) {  // YYYY-MM-DD
            y = a;
            iso = true;
            return c.digits(1, 2, m) && c.eat('-') && c.digits(1, 2, d);
        }
        if (na <= 2 && c.eat('/')) {  // M/D/YYYY
            m = a;
            return c.digits(1, 2, d) && c.eat('/') && c.digits(4, 4, y);
        }
        if (na <= 2 && c.blanks()) {  // D Month YYYY
            d = a;
            return month_name(c, m) && c.blanks() && c.digits(4, 4, y);
        }
        c.i = start;
        return false;
    }
    // Month D, YYYY / Month D YYYY
    if (!month_name(c, m)) return false;
    if (!c.blanks() || !c.digits(1, 2, d)) return false;
    c.eat(',');
    return c.blanks() && c.digits(4, 4, y);
}

}  // namespace

long long plat_days_from_civil(int year, unsigned month, unsigned day) {
    const std::chrono::sys_days date = std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day);
    return date.time_since_epoch().count();
}

bool plat_is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int plat_days_in_month(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && plat_is_leap_year(year) ? 29 : days[month - 1];
}

bool plat_system_time_to_variant_time(const plat_systemtime& st, double& out) {
    if (st.year < 100 || st.year > 9999 || st.day < 1 || st.day > plat_days_in_month(st.year, st.month) ||
        st.hour > 23 || st.minute > 59 || st.second > 59 || st.microsecond > 999999 || st.negative)
        return false;
    const double days = static_cast<double>(plat_days_from_civil(st.year, st.month, st.day) - k_epoch);
    const double frac = ((st.hour * 3600.0 + st.minute * 60.0 + st.second) * 1e6 + st.microsecond) / k_usec_per_day;
    out = days < 0 ? days - frac : days + frac;
    return true;
}

bool plat_variant_time_to_system_time(double serial, plat_systemtime& out) {
    if (!std::isfinite(serial)) return false;
    double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    long long day = static_cast<long long>(whole);
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000LL) {  // rounding reached the start of the next day in time
        ms -= 86400000LL;
        day += 1;
    }
    int y = 0, m = 0, d = 0;
    civil_from_days(day + k_epoch, y, m, d);
    if (y < 100 || y > 9999) return false;
    out = plat_systemtime{};
    out.year = static_cast<uint16_t>(y);
    out.month = static_cast<uint16_t>(m);
    out.day = static_cast<uint16_t>(d);
    out.hour = static_cast<uint16_t>(ms / 3600000);
    out.minute = static_cast<uint16_t>(ms / 60000 % 60);
    out.second = static_cast<uint16_t>(ms / 1000 % 60);
    out.microsecond = static_cast<uint32_t>(ms % 1000 * 1000);
    return true;
}

bool plat_date_from_str(std::string_view text, plat_systemtime& out) {
    cursor c{text};
    c.blanks();
    plat_systemtime t{};
    const std::size_t start = c.i;
    if (parse_time(c, t)) {  // a time alone: zero date
        c.blanks();
        if (c.end()) {
            out = t;
            return true;
        }
    }
    c.i = start;
    t = plat_systemtime{};
    int y = 0, m = 0, d = 0;
    bool iso = false;
    if (!parse_date(c, y, m, d, iso)) return false;
    if (y < 1 || y > 9999 || d < 1 || d > plat_days_in_month(y, m)) return false;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(m);
    t.day = static_cast<uint16_t>(d);
    bool sep = c.blanks();
    if (!sep && iso && (c.peek() == 'T' || c.peek() == 't')) {
        ++c.i;
        sep = true;
        if (!parse_time(c, t)) return false;
    } else if (sep && !c.end()) {
        if (!parse_time(c, t)) return false;
    }
    c.blanks();
    if (!c.end()) return false;
    out = t;
    return true;
}
