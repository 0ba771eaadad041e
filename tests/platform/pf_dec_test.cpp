#include "platform/pf_dec.h"
#include "platform/pf_cy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string dec_text(const char* in) {
    pf_decimal d;
    const pf_hresult hr = pf_decimal::parse(std::string_view(in), d);
    return pf_succeeded(hr) ? d.to_string() : "fail";
}

TEST(PfDecimal, parse_and_print_table) {
    struct row {
        const char* in;
        const char* out;
    } rows[] = {
        {"12.50", "12.50"},   {"-12.50", "-12.50"}, {"+7", "7"},          {"  007.0100 ", "7.0100"},
        {"0", "0"},           {"-0.00", "0.00"},    {".5", "0.5"},        {"5.", "5"},
        {"-0.001", "-0.001"}, {"1.5e3", "1500"},    {"1.5E-3", "0.0015"}, {"12e0", "12"},
        {"abc", "fail"},      {"", "fail"},         {"-", "fail"},        {".", "fail"},
        {"1.2.3", "fail"},    {"1e", "fail"},       {"1,5", "fail"},      {"12 3", "fail"},
    };
    for (const auto& r : rows) EXPECT_EQ(dec_text(r.in), r.out) << r.in;
}

TEST(PfDecimal, mysql_widest_decimal_survives_to_the_last_digit) {
    // DECIMAL(65,30): 35 integer digits and 30 fraction digits.
    const std::string v = "-12345678901234567890123456789012345.123456789012345678901234567891";
    const std::string widest = v.substr(0, v.size() - 1);  // 30 fraction digits
    EXPECT_EQ(dec_text(widest.c_str()), widest);
    const std::string small = "0.000000000000000000000000000001";
    EXPECT_EQ(dec_text(small.c_str()), small);
}

TEST(PfDecimal, too_many_digits_is_overflow_not_a_changed_value) {
    pf_decimal d;
    const std::string digits81(81, '9');
    EXPECT_EQ(pf_decimal::parse(std::string_view(digits81), d), PF_DISP_E_OVERFLOW);
    EXPECT_EQ(pf_decimal::parse(std::string_view("1e-81"), d), PF_DISP_E_OVERFLOW);
    EXPECT_EQ(pf_decimal::parse(std::string_view("x"), d), PF_DISP_E_TYPEMISMATCH);
    // Leading zeros do not count.
    const std::string padded = std::string(100, '0') + "1";
    EXPECT_EQ(pf_decimal::parse(std::string_view(padded), d), PF_S_OK);
    EXPECT_EQ(d.to_string(), "1");
}

TEST(PfDecimal, wide_text_parses_the_same) {
    pf_decimal a, b;
    ASSERT_EQ(pf_decimal::parse(std::wstring_view(L"-3.1400"), a), PF_S_OK);
    ASSERT_EQ(pf_decimal::parse(std::string_view("-3.1400"), b), PF_S_OK);
    EXPECT_EQ(a, b);
    EXPECT_EQ(pf_decimal::parse(std::wstring_view(L"3\u00e9"), a), PF_DISP_E_TYPEMISMATCH);
}

TEST(PfDecimal, to_int32_rounds_half_to_even_and_checks_range) {
    struct row {
        const char* in;
        pf_hresult hr;
        int32_t out;
    } rows[] = {
        {"2.5", PF_S_OK, 2},
        {"3.5", PF_S_OK, 4},
        {"-2.5", PF_S_OK, -2},
        {"2.51", PF_S_OK, 3},
        {"0.4", PF_S_OK, 0},
        {"0.0001", PF_S_OK, 0},
        {"0.5", PF_S_OK, 0},
        {"0.6", PF_S_OK, 1},
        {"2147483647", PF_S_OK, 2147483647},
        {"-2147483648", PF_S_OK, INT32_MIN},
        {"2147483647.5", PF_DISP_E_OVERFLOW, 0},
        {"2147483648", PF_DISP_E_OVERFLOW, 0},
        {"99999999999999999999999", PF_DISP_E_OVERFLOW, 0},
    };
    for (const auto& r : rows) {
        pf_decimal d;
        ASSERT_EQ(pf_decimal::parse(std::string_view(r.in), d), PF_S_OK) << r.in;
        int32_t v = 0;
        EXPECT_EQ(d.to_int32(v), r.hr) << r.in;
        if (r.hr == PF_S_OK) {
            EXPECT_EQ(v, r.out) << r.in;
        }
    }
}

TEST(PfDecimal, int64_round_trip_at_the_limits) {
    for (int64_t v : {INT64_MIN, INT64_MIN + 1, int64_t(-1), int64_t(0), INT64_MAX}) {
        pf_decimal d = pf_decimal::from_int64(v);
        int64_t back = 0;
        ASSERT_EQ(d.to_int64(back), PF_S_OK);
        EXPECT_EQ(back, v);
        EXPECT_EQ(d.to_string(), std::to_string(v));
    }
}

TEST(PfCurrency, parse_round_and_print_table) {
    struct row {
        const char* in;
        pf_hresult hr;
        const char* out;
    } rows[] = {
        {"12.5", PF_S_OK, "12.5"},
        {"12.50", PF_S_OK, "12.5"},
        {"-0.0001", PF_S_OK, "-0.0001"},
        {"3", PF_S_OK, "3"},
        {"1.00005", PF_S_OK, "1"},  // half to even
        {"1.00015", PF_S_OK, "1.0002"},
        {"1.000051", PF_S_OK, "1.0001"},
        {"922337203685477.5807", PF_S_OK, "922337203685477.5807"},
        {"-922337203685477.5808", PF_S_OK, "-922337203685477.5808"},
        {"922337203685477.5808", PF_DISP_E_OVERFLOW, ""},
        {"money", PF_DISP_E_TYPEMISMATCH, ""},
    };
    for (const auto& r : rows) {
        pf_currency cy;
        EXPECT_EQ(pf_cy_from_str(std::string_view(r.in), cy), r.hr) << r.in;
        if (r.hr == PF_S_OK) {
            EXPECT_EQ(pf_cy_to_string(cy), r.out) << r.in;
        }
    }
}

}  // namespace
