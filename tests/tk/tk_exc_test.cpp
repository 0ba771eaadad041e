#include "tk/tk_exc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/test_dir.h"
#include "tk/tk_log.h"

TEST(TkException, EmptyMessageIsUnknown) {
    tk_exception a(1);
    EXPECT_STREQ(a.what(), "Unknown exception");
    EXPECT_EQ(a.code(), 0);
    EXPECT_EQ(a.level(), 1);
    tk_exception b(std::string(), 1);
    EXPECT_STREQ(b.what(), "Unknown exception");
    EXPECT_EQ(b.code(), 0);
    tk_exception c(static_cast<const char*>(nullptr), 0);
    EXPECT_STREQ(c.what(), "Unknown exception");
}

TEST(TkException, WhatIsTheMessageAndCopiesKeepCodeAndLevel) {
    errno = ENOENT;
    tk_exception_ex src("open: ", 0);
    tk_exception copy = src;
    EXPECT_STREQ(copy.what(), src.what());
    EXPECT_EQ(copy.code(), ENOENT);
    EXPECT_EQ(copy.level(), 0);
}

TEST(TkException, WideMessageBecomesUtf8) {
    tk_exception e(std::wstring(L"Gr\u00fc\u00dfe"), 0);
    EXPECT_STREQ(e.what(), "Gr\xc3\xbc\xc3\x9f"
                           "e");
    // An unconvertible text leaves the message empty.
    tk_exception bad(std::wstring(1, wchar_t(0xD800)), 0);
    EXPECT_STREQ(bad.what(), "");
}

TEST(TkException, SystemErrorCarriesNumberAndText) {
    errno = 2;
    tk_exception_ex e("prefix: ", 0);
    EXPECT_EQ(e.code(), 2);
    EXPECT_EQ(e.level(), 0);
    EXPECT_EQ(std::string(e.what()), std::string("prefix: ") + std::strerror(2));

    errno = EACCES;
    tk_exception_ex d;
    EXPECT_EQ(d.level(), 1);
    EXPECT_EQ(d.code(), EACCES);
    EXPECT_EQ(std::string(d.what()), std::strerror(EACCES));
}

TEST(TkException, AssertionText) {
    EXPECT_EQ(tk_assertion_text("a", 7), "Internal error: \ncode=615c37");
    tk_mail_assertion e("x", 12);
    EXPECT_EQ(e.level(), 2);
    EXPECT_EQ(e.code(), 0);
    EXPECT_STREQ(e.what(), "Internal error: \ncode=785c3132");
    // The site text is limited to 271 characters.
    std::string longname(400, 'q');
    EXPECT_EQ(tk_assertion_text(longname.c_str(), 1).size(), std::string("Internal error: \ncode=").size() + 2 * 271);
}

TEST(TkException, FamilyShape) {
    ole_type_exception o;
    EXPECT_STREQ(o.what(), "The operating type is not supported yet");
    EXPECT_EQ(o.level(), 1);
    const std::exception& f = tk_final_exception();
    EXPECT_EQ(dynamic_cast<const tk_exception*>(&f), nullptr);
}

TEST(TkExceptionDeathTest, FailInDestructorEndsTheProgramAndTraces) {
    test_dir dir;
    const std::string log = dir.file("t.log");
    EXPECT_EXIT(
        {
            tk_log l(log.c_str(), true, 3, false);
            tk_fail_in_destructor("x", 12);
        },
        testing::ExitedWithCode(255), "Internal error: \ncode=785c3132");
    // One line in the log: the text's line feed is escaped there.
    EXPECT_EQ(test_dir::read(log), "Internal error: \\ncode=785c3132\r\n");
}
