#include "platform/plat_date.h"

#include <gtest/gtest.h>

#include "support/systemtime.h"

#include <cmath>

namespace {

TEST(PlatDate, serial_day_numbers) {
    struct {
        plat_systemtime t;
        double serial;
    } cases[] = {
        {st(1899, 12, 30), 0.0},    {st(1899, 12, 30, 6), 0.25},   {st(1899, 12, 29, 6), -1.25},
        {st(1900, 1, 1), 2.0},      {st(2000, 1, 1, 12), 36526.5}, {st(1900, 3, 1), 61.0},  // 1900 was no leap year
        {st(100, 1, 1), -657434.0}, {st(9999, 12, 31), 2958465.0},
    };
    for (const auto& c : cases) {
        double s = 1e9;
        ASSERT_TRUE(plat_system_time_to_variant_time(c.t, s)) << c.serial;
        EXPECT_DOUBLE_EQ(s, c.serial);
        plat_systemtime back;
        ASSERT_TRUE(plat_variant_time_to_system_time(c.serial, back)) << c.serial;
        EXPECT_EQ(back, c.t) << c.serial;
    }
}

TEST(PlatDate, serial_rejects_what_no_calendar_holds) {
    double s;
    EXPECT_FALSE(plat_system_time_to_variant_time(st(2021, 2, 29), s));
    EXPECT_FALSE(plat_system_time_to_variant_time(st(99, 12, 31), s));
    EXPECT_FALSE(plat_system_time_to_variant_time(st(0, 0, 0, 12), s));
    EXPECT_FALSE(plat_system_time_to_variant_time(st(2020, 6, 15, 24), s));
    EXPECT_TRUE(plat_system_time_to_variant_time(st(2020, 2, 29), s));
    plat_systemtime t;
    EXPECT_FALSE(plat_variant_time_to_system_time(NAN, t));
    EXPECT_FALSE(plat_variant_time_to_system_time(3e6, t));
}

TEST(PlatDate, serial_to_time_rounds_to_the_millisecond) {
    plat_systemtime t;
    ASSERT_TRUE(plat_variant_time_to_system_time(36526.0 + 0.5 / 86400.0, t));  // half a second
    EXPECT_EQ(t, st(2000, 1, 1, 0, 0, 0, 500000));
    ASSERT_TRUE(plat_variant_time_to_system_time(36526.99999999999, t));  // the next day's start
    EXPECT_EQ(t, st(2000, 1, 2));
    ASSERT_TRUE(plat_variant_time_to_system_time(-1.99999999999, t));
    EXPECT_EQ(t, st(1899, 12, 30));
}

TEST(PlatDate, parser_accepts_the_locale_forms) {
    struct {
        const char* text;
        plat_systemtime t;
    } cases[] = {
        {"2020-06-15", st(2020, 6, 15)},
        {"2020-6-5", st(2020, 6, 5)},
        {"2020-06-15 12:34:56", st(2020, 6, 15, 12, 34, 56)},
        {"2020-06-15T12:34", st(2020, 6, 15, 12, 34)},
        {" 2020-06-15 23:59:59.999999 ", st(2020, 6, 15, 23, 59, 59, 999999)},
        {"2020-06-15 23:59:59.12345678", st(2020, 6, 15, 23, 59, 59, 123456)},
        {"6/15/2020", st(2020, 6, 15)},
        {"12/31/1999 1:05", st(1999, 12, 31, 1, 5)},
        {"June 15, 2020", st(2020, 6, 15)},
        {"jun 15 2020 08:00:01", st(2020, 6, 15, 8, 0, 1)},
        {"Sept 1, 2020", st(2020, 9, 1)},
        {"15 December 2020", st(2020, 12, 15)},
        {"2020-02-29", st(2020, 2, 29)},
        {"12:34", st(0, 0, 0, 12, 34)},
        {"7:08:09.5", st(0, 0, 0, 7, 8, 9, 500000)},
    };
    for (const auto& c : cases) {
        plat_systemtime t;
        ASSERT_TRUE(plat_date_from_str(c.text, t)) << c.text;
        EXPECT_EQ(t, c.t) << c.text;
    }
}

TEST(PlatDate, parser_refuses_anything_else) {
    for (const char* text : {"",
                             "   ",
                             "2020",
                             "2020-06",
                             "2021-02-29",
                             "2020-13-01",
                             "2020-06-31",
                             "0000-00-00",
                             "0000-01-01",
                             "15/06/2020",
                             "15-06-2020",
                             "2020/06/15",
                             "2020-06-15 24:00:00",
                             "2020-06-15 12:60",
                             "2020-06-15 12:34:56.",
                             "2020-06-15 12:34:56 x",
                             "2020-06-1512:00",
                             "Juny 15, 2020",
                             "Ju 15 2020",
                             "838:59:59",
                             "-01:00:00",
                             "12:3",
                             "20200615"}) {
        plat_systemtime t;
        EXPECT_FALSE(plat_date_from_str(text, t)) << "'" << text << "'";
    }
}

}  // namespace

TEST(PlatDate, DaysFromCivilAcrossTheCalendarsRange) {
    struct row {
        int year;
        unsigned month, day;
        long long days;
    };
    for (const row& r : {row{1970, 1, 1, 0}, row{2000, 1, 1, 10957}, row{1899, 12, 30, -25569}, row{2000, 2, 29, 11016},
                         row{100, 1, 1, -683003}, row{9999, 12, 31, 2932896}})
        EXPECT_EQ(plat_days_from_civil(r.year, r.month, r.day), r.days) << r.year << "-" << r.month << "-" << r.day;
}
