#include "tk/tk_fname.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tk/tk_exc.h"
#include "tk/tk_utils.h"

TEST(TkFileName, RelativeNameTakesTheCurrentDirectory) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string expect = cwd;
    if (expect.back() != '/') expect += '/';
    tk_file_name n("sub/../trace.log");
    EXPECT_EQ(n.get_path(), expect);
    EXPECT_EQ(n.name, "trace");
    EXPECT_EQ(n.ext, ".log");
    EXPECT_EQ(n.drive, "");
    EXPECT_EQ(n.get_full_path(), expect + "trace.log");

    tk_file_wname w(L"r\u00e9sum\u00e9.txt");
    EXPECT_EQ(w.name, L"r\u00e9sum\u00e9");
    EXPECT_EQ(tk_to_utf8(w.get_path()), expect);
}

TEST(TkFileName, EmptyPathIsTheProgramWithoutName) {
    tk_file_name n("");
    EXPECT_EQ(n.get_path(), tk_get_module_dir());
    EXPECT_EQ(n.name, "");
    tk_file_wname w(L"");
    EXPECT_EQ(w.name, L"");
    EXPECT_EQ(tk_to_utf8(w.get_path()), tk_get_module_dir());
}

TEST(TkFileName, SetExt) {
    tk_file_wname w(L"/x/prog.exe");
    w.set_ext(L"log");
    EXPECT_EQ(w.ext, L".log");
    w.set_ext(L".log");
    EXPECT_EQ(w.ext, L".log");
    EXPECT_EQ(w.get_full_path(), L"/x/prog.log");
    w.set_ext(L"");
    EXPECT_EQ(w.get_full_path(), L"/x/prog");
    tk_file_name n("/x/prog");
    n.set_ext("chm");
    EXPECT_EQ(n.get_full_path(), "/x/prog.chm");
}

TEST(TkFileName, AssertionSites) {
    auto site = [](auto f) {
        try {
            f();
        } catch (const tk_mail_assertion& e) {
            return std::string(e.what());
        }
        return std::string("none");
    };
    EXPECT_EQ(site([] { tk_file_name n(static_cast<const char*>(nullptr)); }), tk_assertion_text("tk_fname", 28));
    EXPECT_EQ(site([] { tk_file_name n(std::string(5000, 'a')); }), tk_assertion_text("tk_fname", 36));
    EXPECT_EQ(site([] { tk_file_wname n(static_cast<const wchar_t*>(nullptr)); }), tk_assertion_text("tk_fname", 75));
    EXPECT_EQ(site([] { tk_file_wname n(std::wstring(5000, L'a')); }), tk_assertion_text("tk_fname", 83));
}
