// COPY line encoding without a server: the exact bytes each value becomes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/plat_date.h"
#include "postgres/pgs_cline.h"
#include "postgres/pgs_exc.h"
#include "tk/tk_exc.h"
#include "variant/ole_var.h"

namespace {

std::string line_of(const std::vector<ole_variant>& values) {
    pgs_copy_buffer b;
    b.begin_row();
    for (const auto& v : values) b.add(v);
    b.end_row();
    return b.text();
}

std::string one(const ole_variant& v) {
    std::string s = line_of({v});
    s.pop_back();
    return s;
}

plat_systemtime time_of(unsigned h, unsigned m, unsigned s, unsigned us = 0, bool negative = false) {
    plat_systemtime t{};
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(m);
    t.second = static_cast<std::uint16_t>(s);
    t.microsecond = us;
    t.negative = negative;
    return t;
}

plat_systemtime date_of(unsigned y, unsigned mo, unsigned d, unsigned h = 0, unsigned mi = 0, unsigned s = 0,
                        unsigned us = 0) {
    plat_systemtime t = time_of(h, mi, s, us);
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(mo);
    t.day = static_cast<std::uint16_t>(d);
    return t;
}

}  // namespace

TEST(PgsCopyBuffer, values_become_their_copy_text) {
    struct item {
        ole_variant value;
        std::string text;
    };
    const std::vector<item> cases = {
        {ole_variant(), "\\N"},
        {ole_variant::make_null(), "\\N"},
        {ole_variant(L""), ""},  // an empty string is no NULL
        {ole_variant(L"\\N"), "\\\\N"},
        {ole_variant(L"a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e"},
        {ole_variant(L"\u00e9\u4e2d\U0001F600"), "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
        {ole_variant(std::vector<unsigned char>{0x00, 0x01, 0xFF, 0x00}), "\\\\x0001FF00"},
        {ole_variant(std::vector<unsigned char>{}), "\\\\x"},  // an empty bytea, not NULL
        {ole_variant(-5), "-5"},
        {ole_variant(18446744073709551615ull), "18446744073709551615"},
        {ole_variant(-9223372036854775807ll - 1), "-9223372036854775808"},
        {ole_variant(1.2345678901234567e300), "1.2345678901234567e+300"},
        {ole_variant(true), "1"},
        {ole_variant(time_of(12, 34, 56)), "12:34:56"},
        {ole_variant(time_of(0, 0, 0)), "00:00:00"},
        {ole_variant(time_of(23, 59, 59, 5)), "23:59:59.000005"},
        {ole_variant(time_of(24, 0, 0)), "24:00:00"},
        {ole_variant(date_of(2024, 2, 29)), "2024-02-29"},
        {ole_variant(date_of(1999, 12, 31, 23, 59, 59, 123456)), "1999-12-31 23:59:59.123456"},
    };
    for (const auto& c : cases) EXPECT_EQ(one(c.value), c.text) << "vt=" << c.value.vartype();
}

TEST(PgsCopyBuffer, decimal_keeps_every_digit) {
    const std::string big = "-" + std::string(35, '9') + "." + std::string(30, '9');
    EXPECT_EQ(one(ole_variant::from_string(big, VT_DECIMAL)), big);
}

TEST(PgsCopyBuffer, lines_are_tab_separated_and_batched) {
    pgs_copy_buffer b(16);
    b.begin_row();
    b.add(ole_variant(1));
    b.add(ole_variant());
    b.add(ole_variant(L"x"));
    b.end_row();
    EXPECT_FALSE(b.full());
    b.begin_row();
    b.add(ole_variant(L"yyyyyyyy"));
    b.end_row();
    EXPECT_TRUE(b.full());
    EXPECT_EQ(b.text(), "1\t\\N\tx\nyyyyyyyy\n");
    EXPECT_EQ(b.rows(), 2u);
    b.clear();
    EXPECT_TRUE(b.empty());
}

TEST(PgsCopyBuffer, refused_value_takes_back_its_row) {
    pgs_copy_buffer b;
    b.begin_row();
    b.add(ole_variant(1));
    b.end_row();
    const std::vector<ole_variant> bad = {
        ole_variant(time_of(25, 0, 0)),  // beyond TIME
        ole_variant(time_of(24, 0, 1)), ole_variant(time_of(838, 59, 59)),
        ole_variant(time_of(0, 0, 1, 0, true)),  // negative
    };
    for (const auto& v : bad) {
        b.begin_row();
        b.add(ole_variant(L"kept?"));
        EXPECT_THROW(b.add(v), pgs_exception) << "vt=" << v.vartype();
        b.drop_row();
    }
    EXPECT_EQ(b.text(), "1\n");
    EXPECT_EQ(b.rows(), 1u);
}

TEST(PgsCopyBuffer, time_out_of_range_names_the_value) {
    pgs_copy_buffer b;
    b.begin_row();
    try {
        b.add(ole_variant(time_of(100, 2, 3)));
        FAIL();
    } catch (const pgs_exception& e) {
        EXPECT_NE(std::string(e.what()).find("100:02:03"), std::string::npos) << e.what();
        EXPECT_EQ(e.level(), 0);
    }
}

TEST(PgsCopyBuffer, date_outside_the_calendar_is_refused) {
    EXPECT_EQ(one(ole_variant(date_of(2024, 2, 29))), "2024-02-29");
    EXPECT_EQ(one(ole_variant(date_of(2021, 12, 31, 23, 59, 59, 999999))), "2021-12-31 23:59:59.999999");
    for (const plat_systemtime& t : {date_of(2021, 2, 30), date_of(2021, 2, 29), date_of(2021, 4, 31),
                                     date_of(2021, 2, 29, 12, 0, 0), date_of(2021, 1, 1, 10, 0, 60)}) {
        pgs_copy_buffer b;
        b.begin_row();
        try {
            b.add(ole_variant(t));
            ADD_FAILURE() << t.year << "-" << t.month << "-" << t.day;
        } catch (const pgs_exception& e) {
            EXPECT_NE(std::string(e.what()).find("is not a calendar date"), std::string::npos) << e.what();
        }
    }
}

TEST(PgsCopyBuffer, text_without_utf8_form_is_refused) {
    pgs_copy_buffer b;
    b.begin_row();
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    EXPECT_THROW(b.add(ole_variant(lone)), tk_exception);
}
