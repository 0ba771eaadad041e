// The date parser on arbitrary narrow text. A valid date prints in the one
// fixed form, reads back from that print to the same date and kind, and the
// three printers and the wide parser agree. Besides, the fields the input's
// bytes give, printed as a server prints them, must parse to exactly those.

#include <cstdio>
#include <cstring>

#include "fuzz_util.h"
#include "variant/ole_date.h"

namespace {
constexpr const char* me = "fuzz_date";

bool digits(std::string_view s, std::size_t& i, std::size_t min, std::size_t max) {
    std::size_t n = 0;
    while (i < s.size() && n < max && s[i] >= '0' && s[i] <= '9') ++i, ++n;
    return n >= min;
}
bool lit(std::string_view s, std::size_t& i, char c) {
    if (i >= s.size() || s[i] != c) return false;
    ++i;
    return true;
}

// hh:mm:ss with an optional ".ffffff"; hours of a pure time may have three digits.
bool time_form(std::string_view s, std::size_t& i, std::size_t max_hour_digits) {
    if (!digits(s, i, 2, max_hour_digits) || !lit(s, i, ':') || !digits(s, i, 2, 2) || !lit(s, i, ':') ||
        !digits(s, i, 2, 2))
        return false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (!digits(s, i, 6, 6)) return false;
    }
    return true;
}

// YYYY-MM-DD (a year of 5 digits is possible: the year field is 16 bits).
bool date_form(std::string_view s, std::size_t& i) {
    return digits(s, i, 4, 5) && lit(s, i, '-') && digits(s, i, 2, 2) && lit(s, i, '-') && digits(s, i, 2, 2);
}

bool fixed_form(std::string_view s, int32_t kind) {
    std::size_t i = 0;
    switch (kind) {
    case ole_date::kind_date: return date_form(s, i) && i == s.size();
    case ole_date::kind_date_time:
        if (!date_form(s, i)) return false;
        if (i == s.size()) return true;  // a zero time left out
        return lit(s, i, ' ') && time_form(s, i, 2) && i == s.size();
    case ole_date::kind_time:
        if (s.substr(0, 11) != "0000-00-00 ") return false;
        i = 11;
        if (i < s.size() && s[i] == '-') ++i;
        return time_form(s, i, 3) && i == s.size();
    default: return false;
    }
}
// Fields taken from the input's bytes, written in the forms a MySQL server
// sends (DATE, DATETIME(6), TIME with its range): such text must parse to
// exactly those fields.
void check_server_form(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return;
    auto u16 = [&](std::size_t i) { return static_cast<unsigned>(data[i] | (data[i + 1] << 8)); };
    const unsigned form = data[0] % 3;
    plat_systemtime t;
    t.year = static_cast<uint16_t>(1 + u16(1) % 9999);
    t.month = static_cast<uint16_t>(1 + data[3] % 12);
    t.day = static_cast<uint16_t>(1 + data[4] % plat_days_in_month(t.year, t.month));
    t.hour = static_cast<uint16_t>(form == 2 ? u16(5) % 839 : data[5] % 24);
    t.minute = static_cast<uint16_t>(data[7] % 60);
    t.second = static_cast<uint16_t>(data[8] % 60);
    t.microsecond = (data[9] | (data[10] << 8) | (static_cast<unsigned>(data[11]) << 16)) % 1000000;
    char text[80];
    int n = 0;
    if (form == 0) {
        n = std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned(t.year), unsigned(t.month), unsigned(t.day));
        t.hour = t.minute = t.second = 0;
        t.microsecond = 0;
    } else if (form == 1) {
        n = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%06u", unsigned(t.year), unsigned(t.month),
                          unsigned(t.day), unsigned(t.hour), unsigned(t.minute), unsigned(t.second),
                          unsigned(t.microsecond));
    } else {
        t.year = t.month = t.day = 0;
        t.negative = (data[6] & 1) && (t.hour || t.minute || t.second || t.microsecond);
        n = std::snprintf(text, sizeof text, "%s%02u:%02u:%02u.%06u", t.negative ? "-" : "", unsigned(t.hour),
                          unsigned(t.minute), unsigned(t.second), unsigned(t.microsecond));
    }
    const ole_date d(std::string_view(text, static_cast<std::size_t>(n)));
    FUZZ_CHECK(me, d.is_valid());
    FUZZ_CHECK(me, d.time() == t);
    const int32_t want = form == 2 ? ole_date::kind_time
                         : form == 0 || (t.hour == 0 && t.minute == 0 && t.second == 0 && t.microsecond == 0)
                             ? ole_date::kind_date
                             : ole_date::kind_date_time;
    FUZZ_CHECK(me, d.kind() == want);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_server_form(data, size);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ole_date d(text);

    char buf[ole_date::max_text + 16];
    std::memset(buf, '#', sizeof buf);
    const std::size_t n = d.format(buf);
    FUZZ_CHECK(me, n <= ole_date::max_text);
    FUZZ_CHECK(me, buf[n] == '#' || n == sizeof buf);
    const std::string printed(buf, n);
    FUZZ_CHECK(me, d.to_string() == printed);
    FUZZ_CHECK(me, d.to_wstring() == fuzz_widen(printed));

    // The wide parser sees the same characters (only ASCII can form a date).
    const ole_date w(fuzz_widen(std::string(text)));
    FUZZ_CHECK(me, w.is_valid() == d.is_valid());
    FUZZ_CHECK(me, w.to_string() == printed);

    if (!d.is_valid()) {
        FUZZ_CHECK(me, printed.empty());
        return 0;
    }
    FUZZ_CHECK(me, fixed_form(printed, d.kind()));
    const plat_systemtime& t = d.time();
    FUZZ_CHECK(me, t.microsecond <= 999999);
    FUZZ_CHECK(me, !t.negative || d.kind() == ole_date::kind_time);

    // What was printed reads back as the same date. A time of day prints
    // behind a zero date, which its readers strip ("0000-00-00 12:00:00" is
    // a zero date-time, no date at all); what follows reads back.
    const ole_date back(d.kind() == ole_date::kind_time ? printed.substr(11) : printed);
    FUZZ_CHECK(me, back.is_valid());
    FUZZ_CHECK(me, back.to_string() == printed);
    FUZZ_CHECK(me,
               back.kind() == d.kind() || (d.kind() == ole_date::kind_date_time && back.kind() == ole_date::kind_date));
    return 0;
}
