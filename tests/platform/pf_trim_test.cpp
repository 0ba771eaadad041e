#include "platform/pf_trim.h"

#include <gtest/gtest.h>

// Each set trims only its own blanks; a wide character whose low byte is a
// blank (U+0120, U+0109) is text.
TEST(PfTrim, EachSetTrimsItsOwnBlanksAndNoWideLookAlike) {
    struct row {
        std::string_view blanks;
        std::wstring_view text;
        std::wstring_view trimmed;
    };
    for (const row& r :
         {row{pf_blanks::space, L" \ta b\t ", L"\ta b\t"}, row{pf_blanks::space_tab, L" \t a b\n\t", L"a b\n"},
          row{pf_blanks::space_tab_eol, L"\r\n a b \v", L"a b \v"}, row{pf_blanks::c_space, L"\v\f a b \r\n", L"a b"},
          row{pf_blanks::c_space, L"\x0120x\x0109", L"\x0120x\x0109"}, row{pf_blanks::c_space, L" \t ", L""}}) {
        EXPECT_EQ(pf_trim(r.text, r.blanks), r.trimmed);
    }
    EXPECT_EQ(pf_trim(std::string_view("\xA0 x \xA0"), pf_blanks::space), "\xA0 x \xA0");
    EXPECT_EQ(pf_trim_start(std::string_view("  x "), pf_blanks::space), "x ");
    EXPECT_EQ(pf_trim_end(std::string_view("  x "), pf_blanks::space), "  x");
}
