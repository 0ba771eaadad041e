#include "tk/tk_errco.h"

#include <gtest/gtest.h>

#include "support/test_dir.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

TEST(TkErrorConverter, FirstTextForACodeWinsAcrossRowsAndLoads) {
    const tk_error_row pgs[] = {{7, "first"}, {-3, "negative"}, {7, "second"}};
    const tk_error_row mysql[] = {{7, "later load"}, {0x400000 + 1045, "access denied"}};
    tk_error_converter conv(pgs);
    conv.load_map(mysql);
    EXPECT_EQ(conv.size(), 3u);
    EXPECT_EQ(conv.convert(7), "first");
    EXPECT_EQ(conv.convert(-3), "negative");
    EXPECT_EQ(conv.convert(0x400000 + 1045), "access denied");
    EXPECT_EQ(conv.convert(1045), "");  // unknown: empty, no exception
}

TEST(TkErrorConverter, EmptyAndNullRowArrays) {
    const tk_error_row none[1] = {{1, "ignored"}};
    tk_error_converter empty(0, none);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.convert(1), "");

    for (int count : {0, 2}) {
        try {
            tk_error_converter bad(count, nullptr);
            ADD_FAILURE() << "no assertion";
        } catch (const tk_mail_assertion& e) {
            EXPECT_EQ(e.message(), tk_assertion_text("tk_errco", 43));
        }
        EXPECT_THROW(empty.load_map(count, nullptr), tk_mail_assertion);
    }
}

TEST(TkErrorConverter, TraceLines) {
    test_dir dir;
    const std::string path = dir.file("trace.log");
    {
        tk_log log(path.c_str(), true, 1, false);
        const tk_error_row rows[] = {{5, "five"}};
        tk_error_converter conv(rows);
        conv.convert(5);
        conv.convert(6);
    }
    EXPECT_EQ(test_dir::read(path), "tk_error_converter::ctor (map size=1)\r\n"
                                    "tk_error_converter::load_map (map size=1)\r\n"
                                    "tk_error_converter::convert(5)\r\n"
                                    "Error message has been found: five\r\n"
                                    "tk_error_converter::convert(6)\r\n"
                                    "Error message not found!\r\n");
}
