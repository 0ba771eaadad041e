#include "tk/tk_print.h"

#include <gtest/gtest.h>

#include <string>

TEST(TkPrintable, ControlsAreEscapedOtherTextStays) {
    struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain name", "plain name"},
        {"x(0 records)\nError:\nforged", "x(0 records)\\nError:\\nforged"},
        {"cr\rlf\n tab\t", "cr\\rlf\\n tab\\t"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
        // C1 controls (CSI U+009B, NEL U+0085), bidi marks, the line separator.
        {"\xc2\x9b"
         "31m \xc2\x85",
         "\\u009b31m \\u0085"},
        {"abc\xe2\x80\xae"
         "cba \xe2\x81\xa6 \xe2\x80\xa8",
         "abc\\u202ecba \\u2066 \\u2028"},
        // Ordinary non-ASCII text stays, bytes that are not UTF-8 do not.
        {"Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x98\x80",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"latin1 \xe9\xff", "latin1 \\xe9\\xff"},
        {"cut \xe2\x82", "cut \\xe2\\x82"},
        // A backslash stays: a text escaped twice is unchanged.
        {"C:\\dir\\n", "C:\\dir\\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tk_printable(c.text), c.shown) << c.shown;
        EXPECT_EQ(tk_printable(tk_printable(c.text)), c.shown) << c.shown;
    }
}

TEST(TkPrintable, WideTextAndTextOfSeveralLines) {
    EXPECT_EQ(tk_printable(std::wstring(L"a\nb\x1b\u202e\u00fc\U0001F600")), L"a\\nb\\x1b\\u202e\u00fc\U0001F600");
    // A value without a UTF-8 form (a lone surrogate) is shown, not lost.
    EXPECT_EQ(tk_printable(std::wstring(L"s") + wchar_t(0xD800)), L"s\\ud800");
    EXPECT_EQ(tk_printable_lines("Usage:\n\x1b[31m --x\r\n"), "Usage:\n\\x1b[31m --x\\r\n");
}
