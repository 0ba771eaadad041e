#include "platform/pf_num.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(PfNum, atoi_like_readers) {
    EXPECT_EQ(pf_atoi("  -42xyz"), -42);
    EXPECT_EQ(pf_atoi("+7"), 7);
    EXPECT_EQ(pf_atoi("abc"), 0);
    EXPECT_EQ(pf_atoi("12.9"), 12);
    EXPECT_EQ(pf_atoi("99999999999"), INT32_MAX);
    EXPECT_EQ(pf_atoi("-99999999999"), INT32_MIN);
    EXPECT_EQ(pf_atoi64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(pf_atoi64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(pf_atoi64("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(pf_scan_u32("4294967295"), 4294967295u);
    EXPECT_EQ(pf_scan_u32("x"), 0u);
    EXPECT_EQ(pf_scan_u64("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(pf_scan_u64(" 5 "), 5u);
}

// Port texts of profiles and of the console; the wizard's box first asks for digits alone.
TEST(PfNum, port_numbers_are_the_leading_number_from_1_to_65535) {
    const struct {
        const char* text;
        std::optional<unsigned> port;
    } cases[] = {
        {"3307", 3307u},   {"3307abc", 3307u}, {"+33", 33u},  {" 5433x", 5433u},
        {"65535", 65535u}, {"0", {}},          {"", {}},      {"abc", {}},
        {"-5", {}},        {"-12ab", {}},      {"65536", {}}, {"99999999999999999999", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(pf_port_number(c.text), c.port) << c.text;
}

TEST(PfNum, atof_like_reader) {
    EXPECT_EQ(pf_atof("1.5"), 1.5);
    EXPECT_EQ(pf_atof("  +2.5e1abc"), 25.0);
    EXPECT_EQ(pf_atof("-0.125"), -0.125);
    EXPECT_EQ(pf_atof("abc"), 0.0);
    EXPECT_EQ(pf_atof("+-1"), 0.0);
    EXPECT_TRUE(std::isinf(pf_atof("1e400")));
    EXPECT_EQ(pf_atof("1e-400"), 0.0);
    EXPECT_EQ(pf_atof_r4("0.1"), 0.1f);
    double d;
    EXPECT_TRUE(pf_parse_r8(" 2.5 ", d));
    EXPECT_EQ(d, 2.5);
    EXPECT_FALSE(pf_parse_r8("2.5x", d));
    EXPECT_FALSE(pf_parse_r8("", d));
}

TEST(PfNum, reals_print_shortest_round_trip_in_exponent_form) {
    char buf[pf_num_max_text];
    EXPECT_EQ(std::string(buf, pf_format_r8(1.5, buf)), "1.5e+00");
    EXPECT_EQ(std::string(buf, pf_format_r8(0.1, buf)), "1e-01");
    EXPECT_EQ(std::string(buf, pf_format_r8(-123456.789, buf)), "-1.23456789e+05");
    EXPECT_EQ(std::string(buf, pf_format_r4(1.5f, buf)), "1.5e+00");
    const double hard[] = {0.1 + 0.2, 1.0 / 3.0, std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::denorm_min(), -2.2250738585072014e-308};
    for (double v : hard) EXPECT_EQ(pf_atof(std::string_view(buf, pf_format_r8(v, buf))), v);
    const float hardf[] = {1.0f / 3.0f, 16777217.0f, std::numeric_limits<float>::max(),
                           std::numeric_limits<float>::denorm_min()};
    for (float v : hardf) EXPECT_EQ(pf_atof_r4(std::string_view(buf, pf_format_r4(v, buf))), v);
}

TEST(PfNum, hex_table) {
    EXPECT_EQ(pf_hex_value('0'), 0);
    EXPECT_EQ(pf_hex_value('a'), 10);
    EXPECT_EQ(pf_hex_value('F'), 15);
    EXPECT_EQ(pf_hex_value('g'), -1);
    EXPECT_EQ(pf_hex_value(0xC3), -1);
    const unsigned char bytes[] = {0x00, 0x01, 0xAB, 0xFF};
    char out[8];
    pf_hex_encode(bytes, 4, out);
    EXPECT_EQ(std::string(out, 8), "0001ABFF");
}

}  // namespace
