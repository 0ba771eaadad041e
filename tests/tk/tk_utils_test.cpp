#include "tk/tk_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/test_dir.h"
#include "tk/tk_exc.h"

TEST(TkUtils, Utf8RoundTrip) {
    const std::wstring text = L"Stra\u00dfe \u65e5\u672c \U0001F600";
    const std::string utf8 = tk_to_utf8(text);
    EXPECT_EQ(utf8, "Stra\xc3\x9f"
                    "e \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(tk_utf8_to_unicode(utf8), text);
    EXPECT_EQ(tk_ansi_to_unicode(utf8), text);  // the ANSI code page is UTF-8
    EXPECT_EQ(tk_to_ansi(text), utf8);
}

TEST(TkUtils, ConversionFailuresThrowWithThePrefixes) {
    struct {
        void (*convert)();
        const char* prefix;
    } cases[] = {
        {[] { tk_to_utf8(std::wstring(1, wchar_t(0xDC00))); }, "Cannot convert to UTF8 string: "},
        {[] { tk_to_ansi(std::wstring(1, wchar_t(0x110000))); }, "Cannot convert to ANSI string: "},
        {[] { tk_to_ansi(L"\u20ac", 28591); }, "Cannot convert to ANSI string: "},
        {[] { tk_utf8_to_unicode("\xc0\x80"); }, "Cannot convert to UNICODE string: "},
        {[] { tk_ansi_to_unicode("ab\xe9"); }, "Cannot convert to UNICODE string: "},
    };
    for (const auto& c : cases) {
        try {
            c.convert();
            ADD_FAILURE() << c.prefix;
        } catch (const tk_exception_ex& e) {
            EXPECT_EQ(std::string(e.what()), std::string(c.prefix) + std::strerror(EILSEQ));
            EXPECT_EQ(e.level(), 0);
            EXPECT_EQ(e.code(), EILSEQ);
        }
    }
}

TEST(TkUtils, BufferConversions) {
    std::string a = "keep";
    EXPECT_FALSE(tk_w2a(static_cast<const wchar_t*>(nullptr), a));
    EXPECT_FALSE(tk_w2a(std::wstring(1, wchar_t(0xD800)), a));
    EXPECT_EQ(a, "keep");
    EXPECT_TRUE(tk_w2a(L"\u00e9", a));
    EXPECT_EQ(a, "\xc3\xa9");
    std::wstring w;
    EXPECT_FALSE(tk_a2w(static_cast<const char*>(nullptr), w));
    EXPECT_FALSE(tk_a2w("\xff", w));
    EXPECT_TRUE(tk_a2w("\xc3\xa9", w));
    EXPECT_EQ(w, L"\u00e9");
}

TEST(TkUtils, BinToHex) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x7F, 0xFF};
    EXPECT_EQ(tk_bin_to_hex(4, bytes), "00AB7FFF");
    EXPECT_EQ(tk_bin_to_hex(0, bytes), "");
    try {
        tk_bin_to_hex(1, bytes, nullptr);
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), tk_assertion_text("tk_utils", 674));
    }
}

TEST(TkUtils, TrimOnlyBlanks) {
    struct {
        const char* in;
        const char* trim;
        const char* ltrim;
        const char* rtrim;
    } cases[] = {
        {"   ", "", "", ""},          {"", "", "", ""},           {"\ta b\t", "\ta b\t", "\ta b\t", "\ta b\t"},
        {"  x  ", "x", "x  ", "  x"}, {" \n", "\n", "\n", " \n"},
    };
    for (const auto& c : cases) {
        std::wstring win;
        ASSERT_TRUE(tk_a2w(c.in, win));
        std::wstring wt, wl, wr;
        tk_a2w(c.trim, wt);
        tk_a2w(c.ltrim, wl);
        tk_a2w(c.rtrim, wr);
        EXPECT_EQ(tk_trim(std::string_view(c.in)), c.trim);
        EXPECT_EQ(tk_ltrim(std::string_view(c.in)), c.ltrim);
        EXPECT_EQ(tk_rtrim(std::string_view(c.in)), c.rtrim);
        EXPECT_EQ(tk_trim(std::wstring_view(win)), wt);
        EXPECT_EQ(tk_ltrim(std::wstring_view(win)), wl);
        EXPECT_EQ(tk_rtrim(std::wstring_view(win)), wr);
    }
}

TEST(TkUtils, CompareNocaseAndUpper) {
    EXPECT_EQ(tk_wstring::compare_nocase(L"\u00c4RGER", L"\u00e4rger"), 0);
    EXPECT_EQ(tk_string::compare_nocase("YES", "yes"), 0);
    EXPECT_EQ(tk_string::compare_nocase("\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89"), 0);
    EXPECT_LT(tk_wstring(L"alpha").compare_nocase(L"BETA"), 0);
    EXPECT_GT(tk_string("b").compare_nocase("A"), 0);
    tk_wstring s(L"stra\u00dfe \u00e9");
    std::wstring copy = s.to_upper();
    EXPECT_EQ(static_cast<std::wstring&>(s), L"STRA\u00dfE \u00c9");
    EXPECT_EQ(copy, s);
}

TEST(TkUtils, Split) {
    using v = std::vector<std::string>;
    EXPECT_EQ(tk_split("a,b,", ','), (v{"a", "b", ""}));
    EXPECT_EQ(tk_split("", ','), v{});
    EXPECT_EQ(tk_split("a,,b", ','), (v{"a", "", "b"}));
    EXPECT_EQ(tk_split(",", ','), (v{"", ""}));
    EXPECT_EQ(tk_split(std::string_view("a,b\0,c", 6), ','), (v{"a", "b"}));
    EXPECT_EQ(tk_split(L"x;y", L';'), (std::vector<std::wstring>{L"x", L"y"}));
}

TEST(TkUtils, FileAndPathTests) {
    test_dir dir;
    const std::string ro = dir.file("ro.txt");
    const std::string rw = dir.file("rw \u00e9.txt");
    test_dir::write_file(ro, "r");
    test_dir::write_file(rw, "w");
    chmod(ro.c_str(), 0444);

    EXPECT_TRUE(tk_is_file_exist(ro, tk_file_read));
    EXPECT_FALSE(tk_is_file_exist(ro, tk_file_read_write));
    EXPECT_TRUE(tk_is_file_exist(rw, tk_file_read_write));
    EXPECT_TRUE(tk_is_file_exist(tk_utf8_to_unicode(rw), tk_file_read_write));
    EXPECT_FALSE(tk_is_file_exist(dir.path(), tk_file_read));
    EXPECT_FALSE(tk_is_file_exist(dir.file("none"), tk_file_read));

    char before[4096];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    EXPECT_TRUE(tk_is_path_exist(dir.path()));
    EXPECT_FALSE(tk_is_path_exist(dir.file("missing")));
    EXPECT_FALSE(tk_is_path_exist(ro));
    char after[4096];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
}

TEST(TkUtils, CurDirRestores) {
    test_dir dir;
    char before[4096];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    {
        tk_cur_dir cd(dir.path());
        EXPECT_TRUE(cd.changed());
        char now[4096];
        ASSERT_NE(getcwd(now, sizeof now), nullptr);
        EXPECT_EQ(std::string(now), std::filesystem::canonical(dir.path()).string());
    }
    char after[4096];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
    tk_cur_dir bad(dir.file("missing"));
    EXPECT_FALSE(bad.changed());
}

TEST(TkUtils, ModuleNameAndDllVersion) {
    const std::string self = tk_get_module_name();
    EXPECT_NE(self.find("tk_tests"), std::string::npos);
    EXPECT_EQ(self.rfind(tk_get_module_dir(), 0), 0u);
    EXPECT_EQ(tk_get_module_dir().back(), '/');
    EXPECT_EQ(tk_to_utf8(tk_get_module_wname()), self);
    EXPECT_EQ(get_dll_version("libdoes-not-exist.so"), 0ul);
    EXPECT_EQ(get_dll_version("libc.so.6"), 0ul);  // loads, but has no such export
}
