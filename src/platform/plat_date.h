#pragma once
// Calendar values of the platform layer: the broken-down time that every date cell
// carries, the conversions to and from the serial day number of the value layer, and the
// locale's own date parser (en-US forms, locale-free).

#include <cstdint>
#include <string_view>

// A broken-down date and time. Zero year, month and day mark a pure time of day
// (then hour may exceed 23, up to 838, and `negative` marks a time below zero, as MySQL
// TIME allows). The fraction of a second is held exactly in microseconds.
struct plat_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;        // 1..12, 0 for a pure time
    uint16_t day_of_week = 0;  // always 0 here
    uint16_t day = 0;          // 1..31, 0 for a pure time
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint32_t microsecond = 0;  // 0..999999
    bool negative = false;     // pure time below zero

    uint16_t milliseconds() const { return static_cast<uint16_t>(microsecond / 1000); }
    friend bool operator==(const plat_systemtime&, const plat_systemtime&) = default;
};

// Serial day number: days since 1899-12-30, the fraction of the day as a time
// (before that day the fraction counts forward from the day's start, -1.25 is
// 1899-12-29 06:00). Years 100 to 9999, calendar-checked; false otherwise.
bool plat_system_time_to_variant_time(const plat_systemtime& st, double& out);

// The inverse, rounded to the nearest millisecond (a double cannot carry microseconds
// over the whole range); false outside years 100 to 9999.
bool plat_variant_time_to_system_time(double serial, plat_systemtime& out);

// The locale's date parser. Accepts, with leading and trailing blanks ignored:
//   dates:  YYYY-MM-DD, M/D/YYYY, "Month D, YYYY", "Mon D YYYY", "D Month YYYY"
//           (English month names or their three-letter forms, any case)
//   times:  H:MM, H:MM:SS, H:MM:SS.ffffff (1 to 6 fraction digits, more are cut, never rounded)
//   a date, a time, or a date followed by a blank (or "T" after YYYY-MM-DD) and a time.
// Every field is checked against the calendar (leap years included), hours 0..23.
// A time alone gives a zero date. No result is a guess: anything else is false.
bool plat_date_from_str(std::string_view text, plat_systemtime& out);

// Calendar helpers.
bool plat_is_leap_year(int year);
int plat_days_in_month(int year, int month);  // 0 for a month outside 1..12
// Days from 1970-01-01 to a valid date of the proleptic Gregorian calendar, in
// std::chrono's years (-32767 to 32767; the value types stop at 9999).
long long plat_days_from_civil(int year, unsigned month, unsigned day);
