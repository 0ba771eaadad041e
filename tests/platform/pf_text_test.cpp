#include "platform/pf_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/pf_types.h"

TEST(PfText, Utf8RoundTripsEveryPlane) {
    const std::wstring text = L"a\u00e9\u20ac\U0001F600z";
    std::string utf8;
    ASSERT_TRUE(pf_wide_to_utf8(text, utf8));
    EXPECT_EQ(utf8, "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
    std::wstring back;
    ASSERT_TRUE(pf_utf8_to_wide(utf8, back));
    EXPECT_EQ(back, text);
}

TEST(PfText, EmbeddedNulIsKept) {
    std::string utf8;
    ASSERT_TRUE(pf_wide_to_utf8(std::wstring(L"a\0b", 3), utf8));
    EXPECT_EQ(utf8, std::string("a\0b", 3));
}

TEST(PfText, InvalidUtf8IsRejected) {
    const char* bad[] = {
        "\x80",              // lone continuation byte
        "\xc3",              // truncated
        "\xc0\xaf",          // overlong '/'
        "\xe0\x80\xaf",      // overlong
        "\xed\xa0\x80",      // surrogate U+D800
        "\xf4\x90\x80\x80",  // above U+10FFFF
        "\xff",
        "ab\xe2\x82",  // truncated at the end
    };
    for (const char* s : bad) {
        std::wstring out;
        errno = 0;
        EXPECT_FALSE(pf_utf8_to_wide(s, out)) << s;
        EXPECT_EQ(errno, EILSEQ);
    }
}

TEST(PfText, InvalidWideIsRejected) {
    for (wchar_t c : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000)}) {
        std::string out;
        EXPECT_FALSE(pf_wide_to_utf8(std::wstring(1, c), out));
    }
}

TEST(PfText, SingleByteCodePages) {
    std::string out;
    EXPECT_TRUE(pf_wide_to_cp(L"\u00e9", PF_CP_LATIN1, out));
    EXPECT_EQ(out, "\xe9");
    EXPECT_FALSE(pf_wide_to_cp(L"\u00e9", PF_CP_ASCII, out));
    EXPECT_FALSE(pf_wide_to_cp(L"\u20ac", PF_CP_LATIN1, out));
    EXPECT_TRUE(pf_wide_to_cp(L"\u20ac", -1, out));
    EXPECT_EQ(out, "\xe2\x82\xac");
    errno = 0;
    EXPECT_FALSE(pf_wide_to_cp(L"a", 1251, out));
    EXPECT_EQ(errno, EINVAL);
}

TEST(PfText, CaseAndClassesAreUnicodeAware) {
    EXPECT_EQ(pf_compare_nocase(std::wstring_view(L"\u00c4RGER"), std::wstring_view(L"\u00e4rger")), 0);
    EXPECT_EQ(pf_compare_nocase(std::string_view("\xc3\x84RGER"), std::string_view("\xc3\xa4rger")), 0);
    EXPECT_EQ(pf_compare_nocase(std::wstring_view(L"\u0416\u0423\u041a"), std::wstring_view(L"\u0436\u0443\u043a")), 0);
    EXPECT_LT(pf_compare_nocase(std::wstring_view(L"abc"), std::wstring_view(L"ABD")), 0);
    EXPECT_GT(pf_compare_nocase(std::wstring_view(L"abcd"), std::wstring_view(L"ABC")), 0);
    EXPECT_NE(pf_compare_nocase(std::wstring_view(L"a"), std::wstring_view(L"\u00e1")), 0);
    EXPECT_TRUE(pf_is_alpha(L'\u00e9'));
    EXPECT_TRUE(pf_is_alpha(L'\u0436'));
    EXPECT_FALSE(pf_is_alpha(L'1'));
    EXPECT_FALSE(pf_is_alpha(L'\u00d7'));  // multiplication sign
    EXPECT_TRUE(pf_is_alnum(L'7'));
    EXPECT_TRUE(pf_is_alnum(L'\u00fc'));
    EXPECT_FALSE(pf_is_alnum(L'_'));
    EXPECT_EQ(pf_to_upper(L'\u00e9'), L'\u00c9');
}

TEST(PfText, InvalidUtf8ComparesAsBytesIgnoringAsciiCase) {
    EXPECT_EQ(pf_compare_nocase(std::string_view("ab\xff"), std::string_view("AB\xff")), 0);
    EXPECT_NE(pf_compare_nocase(std::string_view("ab\xff"), std::string_view("AB\xfe")), 0);
}

TEST(PfText, AsciiUpperLeavesOtherBytes) {
    std::string s = "abz\xc3\xa9";
    pf_ascii_upper_inplace(s);
    EXPECT_EQ(s, "ABZ\xc3\xa9");
}
