#include "variant/ole_date.h"

#include <gtest/gtest.h>

#include "support/systemtime.h"

#include "support/trace_capture.h"

#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

struct ole_date_probe {
    static bool seconds(ole_date& d, const char* text, std::size_t len) { return d.process_milliseconds(text, len); }
};

namespace {

struct parse_case {
    const char* text;
    int32_t kind;
    const char* printed;
};

// The parse order and the printed form, kind by kind.
const parse_case k_cases[] = {
    // date and time, date only
    {"2020-06-15 12:34:56", 1, "2020-06-15 12:34:56"},
    {"2020-06-15 00:00:00", 2, "2020-06-15"},
    {"2020-06-15", 2, "2020-06-15"},
    {"  2020-06-15 12:34:56  ", 1, "2020-06-15 12:34:56"},
    {"20200615123456", 1, "2020-06-15 12:34:56"},
    {"20200615000000", 1, "2020-06-15"},
    {"20200615", 2, "2020-06-15"},
    {"2020-6-5 1:2:3", 1, "2020-06-05 01:02:03"},
    {"2020/06/15", 2, "2020-06-15"},
    {"2020.06.15 08:09:10", 1, "2020-06-15 08:09:10"},
    {"1000-01-01", 2, "1000-01-01"},
    {"9999-12-31 23:59:59", 1, "9999-12-31 23:59:59"},
    // day-month-year swapped back
    {"15-06-2020", 2, "2020-06-15"},
    {"15.06.2020 10:20:30", 1, "2020-06-15 10:20:30"},
    {"15/06/2020", 2, "2020-06-15"},
    // the locale's forms
    {"06/15/2020", 2, "2020-06-15"},
    {"6/15/2020 7:08:09", 1, "2020-06-15 07:08:09"},
    {"June 15, 2020", 2, "2020-06-15"},
    {"15 Jun 2020 08:05", 1, "2020-06-15 08:05:00"},
    {"2020-06-15T01:02:03", 1, "2020-06-15 01:02:03"},
    {"12:34", 3, "0000-00-00 12:34:00"},
    // pure time
    {"12:34:56", 3, "0000-00-00 12:34:56"},
    {"1:2:3", 3, "0000-00-00 01:02:03"},
    {"00:00:00", 3, "0000-00-00 00:00:00"},
    // MySQL TIME beyond a day and below zero keeps its value and sign
    {"838:59:59", 3, "0000-00-00 838:59:59"},
    {"-838:59:59", 3, "0000-00-00 -838:59:59"},
    {"-00:30:00", 3, "0000-00-00 -00:30:00"},
    {"-00:00:00", 3, "0000-00-00 00:00:00"},
    {"25:00:00", 3, "0000-00-00 25:00:00"},
    // AM and PM
    {"12:15:00 PM", 3, "0000-00-00 12:15:00"},
    {"01:30:00 PM", 3, "0000-00-00 13:30:00"},
    {"01:30:00 pm", 3, "0000-00-00 13:30:00"},
    {"12:00:00 AM", 3, "0000-00-00 00:00:00"},
    {"12:30:00 am", 3, "0000-00-00 00:30:00"},
    {"11:30:00 AM", 3, "0000-00-00 11:30:00"},
    {"2020-06-15 12:30:00 AM", 1, "2020-06-15 00:30:00"},
    {"2020-06-15 12:00:00 AM", 1, "2020-06-15"},
    {"6/15/2020 3:04 PM", 1, "2020-06-15 15:04:00"},
    // fractions of a second kept exactly, never rounded
    {"12:34:56.7", 3, "0000-00-00 12:34:56.700000"},
    {"2020-06-15 23:59:59.6", 1, "2020-06-15 23:59:59.600000"},
    {"2020-06-15 23:59:59.999999", 1, "2020-06-15 23:59:59.999999"},
    {"2020-06-15 23:59:59.9999999", 1, "2020-06-15 23:59:59.999999"},
    {"2020-06-15 23:59:59.000000", 1, "2020-06-15 23:59:59"},
    {"2020-06-15 00:00:00.000001", 1, "2020-06-15 00:00:00.000001"},
    {"2020-6-5 1:2:3.25", 1, "2020-06-05 01:02:03.250000"},
    {"-838:59:59.5", 3, "0000-00-00 -838:59:59.500000"},
    {"23:59:59.5 PM", 3, "0000-00-00 23:59:59.500000"},
    // limits of the time fields
    {"2020-06-15 60:60:60", 1, "2020-06-15 60:60:60"},
    {"12:34:60", 3, "0000-00-00 12:34:60"},
    // invalid: too short, no date, zero date parts, out of range
    {"", 0, ""},
    {"2020", 0, ""},
    {"abcd", 0, ""},
    {"hello world", 0, ""},
    {"12:34 PM", 3, "0000-00-00 12:34:00"},
    {"1:30 PM", 0, ""},  // four characters left before the marker
    {"0000-00-00", 0, ""},
    {"0000-00-00 00:00:00", 0, ""},
    {"0000-00-00 12:34:56", 0, ""},
    {"00000000", 0, ""},
    {"00000000000000", 0, ""},
    {"2020-00-15", 0, ""},
    {"2020-06-00", 0, ""},
    {"2020-00-00 00:00:00", 0, ""},
    {"0000-06-15", 0, ""},
    {"20201301", 0, ""},
    {"2020-13-01", 0, ""},
    {"2020-06-15 61:00:00", 0, ""},
    {"839:00:00", 0, ""},
    {"12:61:00", 0, ""},
    {"12:34:xx", 0, ""},
    {"12:34:5e1", 0, ""},
    {"-1-06-15", 0, ""},
    {"2020-06-15 -01:00:00", 0, ""},
    {"2020-65537-15", 0, ""},
};

TEST(OleDate, parses_and_prints_each_form) {
    for (const auto& c : k_cases) {
        ole_date d{std::string_view(c.text)};
        EXPECT_EQ(d.kind(), c.kind) << "'" << c.text << "'";
        EXPECT_EQ(d.is_valid(), c.kind != 0) << "'" << c.text << "'";
        EXPECT_EQ(d.to_string(), c.printed) << "'" << c.text << "'";

        std::wstring wide(c.text, c.text + std::char_traits<char>::length(c.text));
        ole_date w{std::wstring_view(wide)};
        EXPECT_EQ(w.kind(), c.kind) << "wide '" << c.text << "'";
        std::wstring expect(c.printed, c.printed + std::char_traits<char>::length(c.printed));
        EXPECT_EQ(w.to_wstring(), expect) << "wide '" << c.text << "'";
    }
}

TEST(OleDate, printed_valid_forms_read_back_to_the_same_value) {
    for (const auto& c : k_cases) {
        ole_date d{std::string_view(c.text)};
        if (d.kind() == ole_date::kind_invalid || d.kind() == ole_date::kind_time) continue;
        ole_date again{std::string_view(d.to_string())};
        EXPECT_EQ(again.time(), d.time()) << c.text;
        EXPECT_EQ(again.to_string(), d.to_string()) << c.text;
    }
}

TEST(OleDate, keeps_the_exact_fields) {
    ole_date d{std::string_view("2020-06-15 23:59:59.999999")};
    EXPECT_EQ(d.time().year, 2020);
    EXPECT_EQ(d.time().month, 6);
    EXPECT_EQ(d.time().day, 15);
    EXPECT_EQ(d.time().hour, 23);
    EXPECT_EQ(d.time().minute, 59);
    EXPECT_EQ(d.time().second, 59);
    EXPECT_EQ(d.time().microsecond, 999999u);
    EXPECT_EQ(d.time().day_of_week, 0);

    ole_date t{std::string_view("-12:30:15")};
    EXPECT_TRUE(t.time().negative);
    EXPECT_EQ(t.time().hour, 12);
    EXPECT_EQ(t.time().year, 0);
}

TEST(OleDate, from_systemtime_refines_the_kind) {
    struct {
        plat_systemtime t;
        int32_t kind;
        const char* printed;
    } cases[] = {
        {st(2020, 6, 15, 12, 34, 56), 1, "2020-06-15 12:34:56"},
        {st(2020, 6, 15), 2, "2020-06-15"},
        {st(2020, 6, 15, 0, 0, 0, 500000), 1, "2020-06-15 00:00:00.500000"},
        {st(0, 0, 0, 8, 9, 10), 3, "0000-00-00 08:09:10"},
        {st(0, 0, 0), 3, "0000-00-00 00:00:00"},
        {st(0, 0, 0, 838, 59, 59, 1), 3, "0000-00-00 838:59:59.000001"},
    };
    for (const auto& c : cases) {
        ole_date d(c.t);
        EXPECT_EQ(d.kind(), c.kind) << c.printed;
        EXPECT_TRUE(d.is_valid()) << c.printed;
        EXPECT_EQ(d.to_string(), c.printed);
    }
    plat_systemtime dow = st(2020, 6, 15, 1, 2, 3);
    dow.day_of_week = 1;
    EXPECT_EQ(ole_date(dow).time().day_of_week, 0);
}

TEST(OleDate, validity_limits) {
    struct {
        plat_systemtime t;
        bool valid;
    } cases[] = {
        {st(2020, 13, 1), false},  // Invalid month
        {st(2020, 0, 1, 1), false},
        {st(2020, 6, 0, 1), false},  // Invalid day and/or year
        {st(0, 6, 15, 1), false},
        {st(40, 6, 40, 1), false},     // day and year both above 31
        {st(15, 6, 2020, 1), true},    // one above 31 is let through
        {st(2020, 6, 15, 61), false},  // Invalid time
        {st(2020, 6, 15, 1, 61), false},
        {st(2020, 6, 15, 1, 1, 61), false},
        {st(2020, 6, 15, 60, 60, 60), true},
        {st(0, 0, 0, 838, 59, 59), true},
        {st(0, 0, 0, 839), false},
        {st(2020, 6, 15, 1, 2, 3, 1000000), false},
    };
    for (const auto& c : cases) {
        ole_date d(c.t);
        EXPECT_EQ(d.is_valid(), c.valid) << d.to_string();
    }
    plat_systemtime neg = st(2020, 6, 15, 1);
    neg.negative = true;  // only a pure time has a sign
    EXPECT_FALSE(ole_date(neg).is_valid());
}

TEST(OleDate, kind_and_zero_time_flag_steer_the_printout) {
    ole_date d(st(2020, 6, 15));
    EXPECT_EQ(d.to_string(), "2020-06-15");
    d.set_kind(ole_date::kind_date_time);
    EXPECT_EQ(d.to_string(), "2020-06-15");
    d.set_omit_zero_time(false);
    EXPECT_EQ(d.to_string(), "2020-06-15 00:00:00");

    ole_date dt(st(2020, 6, 15, 4, 5, 6));
    dt.set_kind(ole_date::kind_date);
    EXPECT_EQ(dt.to_string(), "2020-06-15");
    dt.set_kind(ole_date::kind_invalid);
    EXPECT_EQ(dt.to_string(), "");
    dt.set_kind(ole_date::kind_time);
    EXPECT_EQ(dt.to_string(), "0000-00-00 04:05:06");
}

TEST(OleDate, append_gives_the_same_bytes_and_keeps_what_was_there) {
    for (const auto& c : k_cases) {
        ole_date d{std::string_view(c.text)};
        std::string s = "x\t";
        d.append_to(s);
        EXPECT_EQ(s, std::string("x\t") + c.printed);
        std::wstring w = L"y";
        d.append_to(w);
        EXPECT_EQ(w.size(), 1 + s.size() - 2);
        char buf[ole_date::max_text];
        EXPECT_EQ(std::string(buf, d.format(buf)), c.printed);
    }
    // The widest fields still fit the buffer.
    plat_systemtime big = st(65535, 65535, 65535, 65535, 65535, 65535, 4294967295u);
    ole_date wide(big);
    wide.set_omit_zero_time(false);
    EXPECT_LE(wide.to_string().size(), ole_date::max_text);
}

TEST(OleDate, non_ascii_wide_text_is_no_date) {
    ole_date d{std::wstring_view(L"\u0662\u0660\u0662\u0660-06-15 12:34:56")};
    EXPECT_FALSE(d.is_valid());
}

TEST(OleDate, missing_seconds_text_is_internal_error_356) {
    ole_date d{std::string_view("")};
    try {
        ole_date_probe::seconds(d, nullptr, 0);
        FAIL() << "no assertion";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.level(), 2);
        EXPECT_EQ(e.message(), tk_assertion_text("ole_date", 356));
    }
}

TEST(OleDate, invalid_text_is_traced_at_level_2) {
    trace_capture log(2);
    ole_date a{std::string_view("abc")};
    ole_date b{std::string_view("not a date")};
    const std::string t = log.text();
    EXPECT_NE(t.find("Invalid date/time format: 'abc'"), std::string::npos) << t;
    EXPECT_NE(t.find("Invalid date/time format: 'not a date'"), std::string::npos) << t;
    EXPECT_EQ(t.find("Trying pure time format..."), std::string::npos) << t;
}

TEST(OleDate, text_and_date_types_are_quoted) {
    EXPECT_TRUE(is_text_or_date_type(7));
    EXPECT_TRUE(is_text_or_date_type(8));
    for (uint16_t vt : {0, 1, 3, 5, 14, 65, 8209}) EXPECT_FALSE(is_text_or_date_type(vt)) << vt;
}

// ---- GUID texts ----

const wchar_t k_guid[] = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";

TEST(OleGuidExtractor, finds_the_guid_behind_the_word) {
    struct {
        std::wstring text;
        bool found;
        int32_t position;
    } cases[] = {
        {std::wstring(L"default guid is ") + k_guid, true, 16},
        {std::wstring(L"DEFAULT GUID IS ") + k_guid, true, 16},
        {std::wstring(L"guid") + k_guid + L" and more", true, 4},
        {std::wstring(L"{x} then the guid here ") + k_guid, true, 23},
        {std::wstring(L"a Guid in mixed case: ") + k_guid, false, -1},
        {std::wstring(L"no such word in this text: ") + k_guid, false, -1},
        {std::wstring(L"guid ") + L"{6B29FC40-CA47-1067-B31D-00DD0106}", false, -1},  // 39 < 45
        {std::wstring(L"guid but no brace at all in this long text of words"), false, -1},
    };
    for (const auto& c : cases) {
        ole_guid_extractor g{std::wstring_view(c.text)};
        EXPECT_EQ(g.found(), c.found) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(g.position(), c.position) << std::string(c.text.begin(), c.text.end());
        if (!c.found) {
            EXPECT_EQ(g.get_plain(), L"");
            EXPECT_EQ(g.get_braced(), L"");
            EXPECT_EQ(g.get_plain_a(), "");
        }
    }
}

TEST(OleGuidExtractor, gives_plain_and_braced_forms) {
    ole_guid_extractor g{std::wstring_view(std::wstring(L"the guid: ") + k_guid + L" end")};
    ASSERT_TRUE(g.found());
    EXPECT_EQ(g.get_plain(), L"6B29FC40CA471067B31D00DD010662DA");
    EXPECT_EQ(g.get_plain_a(), "6B29FC40CA471067B31D00DD010662DA");
    EXPECT_EQ(g.get_braced(), k_guid);
}

TEST(OleGuidExtractor, a_cut_guid_gives_no_plain_digits) {
    // 45 characters in all, the brace near the end.
    std::wstring text = L"a long leading text that names the guid {6B29";
    ASSERT_EQ(text.size(), 45u);
    ole_guid_extractor g{std::wstring_view(text)};
    ASSERT_TRUE(g.found());
    EXPECT_EQ(g.get_plain(), L"");
    EXPECT_EQ(g.get_braced(), L"{6B29");

    // exactly the 36 characters after the brace: the plain form is whole
    ole_guid_extractor e2{
        std::wstring_view(std::wstring(L"padding to reach length guid=") + std::wstring(k_guid).substr(0, 37))};
    ASSERT_TRUE(e2.found());
    EXPECT_EQ(e2.get_plain(), L"6B29FC40CA471067B31D00DD010662DA");
    EXPECT_EQ(e2.get_braced().size(), 37u);
}

TEST(OleGuidExtractor, narrow_text_is_utf8) {
    std::string text = "Gr\xC3\xBC\xC3\x9F"
                       "e, guid {6B29FC40-CA47-1067-B31D-00DD010662DA}";
    ole_guid_extractor g{std::string_view(text)};
    ASSERT_TRUE(g.found());
    EXPECT_EQ(g.position(), 12);  // counted in characters
    EXPECT_EQ(g.get_plain_a(), "6B29FC40CA471067B31D00DD010662DA");

    std::string bad = "\xFF\xFE bad bytes, guid {6B29FC40-CA47-1067-B31D-00DD010662DA}";
    ole_guid_extractor b{std::string_view(bad)};
    ASSERT_TRUE(b.found());
    EXPECT_EQ(b.get_braced(), k_guid);
}

}  // namespace
