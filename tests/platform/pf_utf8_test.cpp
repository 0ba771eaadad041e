#include "platform/pf_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A NUL anywhere is found, whether it falls in a word read eight bytes at a
// time, in the tail, next to non-ASCII text or after a sequence that is not
// UTF-8; text without one counts as count does.
TEST(PfUtf8, CountWithoutNulFindsEveryNulAndCountsTheRest) {
    const std::string ascii(37, 'a');
    for (std::size_t at = 0; at < ascii.size(); ++at) {
        std::string t = ascii;
        t[at] = '\0';
        bool nul = false;
        EXPECT_EQ(pf_utf8::count_without_nul(t, nul), std::string_view::npos) << at;
        EXPECT_TRUE(nul) << at;
    }
    struct Case {
        std::string text;
        std::size_t count;  // npos when refused
        bool nul;
    };
    const Case cases[] = {
        {"", 0, false},
        {ascii, 37, false},
        {"caf\xC3\xA9 and more than eight \xF0\x9F\x98\x80 bytes", 32, false},
        {std::string("caf\xC3\xA9\0", 6), std::string_view::npos, true},
        {std::string("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\0abcdefgh", 17), std::string_view::npos, true},
        {"\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x80", std::string_view::npos, false},
        {"abcdefgh\xC0\xAF", std::string_view::npos, false},          // overlong
        {std::string("\377abc\0", 5), std::string_view::npos, true},  // a NUL after bad bytes
        {std::string("abcdefgh\xC3\0", 10), std::string_view::npos, true},
    };
    for (const Case& c : cases) {
        bool nul = !c.nul;
        EXPECT_EQ(pf_utf8::count_without_nul(c.text, nul), c.count) << c.text;
        EXPECT_EQ(nul, c.nul) << c.text;
        if (!c.nul) {
            EXPECT_EQ(pf_utf8::count(c.text), c.count) << c.text;
        }
    }
}

}  // namespace
