#include "converter/err_hand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "sql/sql_exc.h"

namespace {

class ErrorHandlerTest : public ::testing::Test {
protected:
    ErrorHandlerTest() : handler(pgs_error_map) {
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dlg);
    }
    error_handler handler;
    scripted_dialogs dlg;
};

TEST_F(ErrorHandlerTest, mapped_mysql_error_without_context_is_the_map_text_on_one_line) {
    coded_exception e(mysql_error_base + 2003, "Can't connect to MySQL server on '127.0.0.1' (111)", 0);
    handler.handle(e, false);
    const std::string want = "Can't connect to the MySQL server. Check to verify that MySQL server "
                             "is launched and the correct host/port values were given.";
    ASSERT_EQ(handler.errors().size(), 1u);
    EXPECT_EQ(handler.errors()[0], want);
    ASSERT_EQ(dlg.shown.size(), 1u);
    EXPECT_EQ(dlg.shown[0], "ask: " + want);
    EXPECT_EQ(handler.error_count(), 1u);
}

// A connection that is gone ends the run with a text that says so and keeps
// the library's reason; the packet-size text only where the size was the
// cause; a refused connection reads alike whichever number the client gives.
TEST_F(ErrorHandlerTest, mysql_connection_errors_have_their_own_texts_and_a_lost_one_ends_the_run) {
    const std::string cannot_connect = "Can't connect to the MySQL server. Check to verify that MySQL server "
                                       "is launched and the correct host/port values were given.";
    const std::string lost = "The connection to the MySQL server was lost: ";
    const std::string too_big = "Transferred value is too big. Increase MySQL max packet size and try "
                                "again. See 'Troubleshooting' article of the product documentation.";
    const struct {
        unsigned number;
        const char* library_text;
        bool ends_run;
        std::string shown;
    } cases[] = {
        {2002, "Can't connect to server on '127.0.0.1' (115)", false, cannot_connect},
        {2003, "Can't connect to MySQL server on '127.0.0.1' (111)", false, cannot_connect},
        {2006, "Server has gone away", true, lost + "Server has gone away"},
        {2013, "Lost connection to server during query", true, lost + "Lost connection to server during query"},
        {2055, "Lost connection to server at 'handshake', system error: 104", true,
         lost + "Lost connection to server at 'handshake', system error: 104"},
        {1927, "Connection was killed", true, lost + "Connection was killed"},
        {1053, "Server shutdown in progress", true, lost + "Server shutdown in progress"},
        {1153, "Got a packet bigger than 'max_allowed_packet' bytes", true, too_big},
        {2020, "Got packet bigger than 'max_allowed_packet' bytes", true, too_big},
        {1317, "Query execution was interrupted", false, "Query execution was interrupted"},
        {1064, "You have an error in your SQL syntax", false, "You have an error in your SQL syntax"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        const sql_exception e(c.library_text, c.number);
        EXPECT_EQ(e.connection_lost(), c.ends_run);
        EXPECT_EQ(e.level(), c.ends_run ? 1 : 0);
        handler.set_context(L"big");
        dlg.shown.clear();
        if (c.ends_run) {
            EXPECT_THROW(handler.handle(e, false), tk_final_exception);
            EXPECT_EQ(dlg.shown, std::vector<std::string>{"error: big: " + c.shown});
        } else {
            handler.handle(e, false);
            EXPECT_EQ(dlg.shown, std::vector<std::string>{"ask: big: " + c.shown});
        }
        EXPECT_EQ(handler.errors().back(), "big: " + c.shown);
    }
}

TEST_F(ErrorHandlerTest, unmapped_error_shows_its_own_message_after_the_context) {
    handler.set_record_context(L"orders", 7);
    handler.handle(coded_exception(mysql_error_base + 1146, "Table 'x.y' doesn't exist", 0), false);
    EXPECT_EQ(handler.errors().at(0), "orders, record #7: Table 'x.y' doesn't exist");
    handler.set_context(L"items");
    handler.handle(tk_exception("two\nlines", 0), false);
    EXPECT_EQ(handler.errors().at(1), "items: two lines");
    handler.set_context(L"");
    handler.handle(tk_exception("plain", 0), false);
    EXPECT_EQ(handler.errors().at(2), "plain");
}

TEST_F(ErrorHandlerTest, maps_keep_the_first_text_of_a_code_and_pgs_codes_translate) {
    handler.handle(coded_exception(-30082, "FATAL: password authentication failed", 1), true);
    EXPECT_EQ(handler.errors().at(0), "Incorrect username or password");
    // 1011 and 1051 share a text; 1071 keeps its quotes and its last line feed (as a blank).
    handler.handle(coded_exception(mysql_error_base + 1071, "x", 1), true);
    EXPECT_EQ(handler.errors().at(1),
              "Primary key in the original database is too long. Restart the program with "
              "\"Skip converting indexes\" checkbox selected in order to resolve the conflict. ");
}

TEST_F(ErrorHandlerTest, the_twenty_first_error_is_shown_and_counted_but_not_listed) {
    for (int i = 0; i < 21; ++i) handler.handle(tk_exception("e" + std::to_string(i), 0), false);
    EXPECT_EQ(handler.errors().size(), 20u);
    EXPECT_EQ(handler.errors().back(), "e19");
    EXPECT_EQ(dlg.shown.size(), 21u);
    EXPECT_EQ(dlg.shown.back(), "ask: e20");
    EXPECT_EQ(handler.error_count(), 21u);
}

TEST_F(ErrorHandlerTest, do_not_show_again_then_continue_suppresses_later_dialogs) {
    dlg.script.push_back({error_dialogs::answer::continue_run, true});
    handler.handle(tk_exception("first", 0), false);
    EXPECT_TRUE(handler.suppressed());
    handler.handle(tk_exception("second", 0), false);  // no dialog, continues
    handler.handle(tk_exception("third", 1), true);    // level 1: no box either
    EXPECT_EQ(dlg.shown, std::vector<std::string>{"ask: first"});
    EXPECT_EQ(handler.errors().size(), 3u);
    EXPECT_EQ(handler.error_count(), 3u);
}

TEST_F(ErrorHandlerTest, abort_ends_the_run_only_from_an_inner_scope) {
    dlg.script.push_back({error_dialogs::answer::abort_run, true});
    EXPECT_THROW(handler.handle(tk_exception("inner", 0), false), tk_final_exception);
    EXPECT_FALSE(handler.suppressed());  // the check box is not kept on Abort
    dlg.script.push_back({error_dialogs::answer::abort_run, false});
    EXPECT_NO_THROW(handler.handle(tk_exception("outer", 0), true));
}

TEST_F(ErrorHandlerTest, level_one_shows_the_box_and_ends_the_run_unless_outer) {
    EXPECT_THROW(handler.handle(tk_exception("run ends", 1), false), tk_final_exception);
    EXPECT_NO_THROW(handler.handle(tk_exception("outer box", 1), true));
    EXPECT_EQ(dlg.shown, (std::vector<std::string>{"error: run ends", "error: outer box"}));
}

TEST_F(ErrorHandlerTest, internal_error_shows_its_text_and_ends_the_program_with_minus_one) {
    handler.set_context(L"t");
    try {
        handler.handle(tk_mail_assertion("udb_db", 44), false);
        FAIL() << "the program did not end";
    } catch (const program_ended& p) {
        EXPECT_EQ(p.code, -1);
    }
    ASSERT_EQ(dlg.shown.size(), 1u);
    EXPECT_EQ(dlg.shown[0], "internal: " + tk_assertion_text("udb_db", 44));
    EXPECT_TRUE(handler.errors().empty());
}

TEST_F(ErrorHandlerTest, levels_other_than_one_and_two_are_recoverable) {
    EXPECT_NO_THROW(handler.handle(tk_exception("odd", 7), false));
    EXPECT_EQ(dlg.shown.at(0), "ask: odd");
}

TEST_F(ErrorHandlerTest, failures_outside_the_family_are_listed_counted_and_shown_as_given) {
    handler.set_context(L"stale");
    handler.report_failure("t2: ERROR:  null value\nin column");
    EXPECT_EQ(handler.errors().at(0), "t2: ERROR:  null value in column");
    EXPECT_EQ(dlg.shown.at(0), "failure: t2: ERROR:  null value in column");
    handler.set_suppress(true);
    handler.report_failure("quiet");
    EXPECT_EQ(dlg.shown.size(), 1u);
    EXPECT_EQ(handler.error_count(), 2u);
}

TEST(ErrorHandlerSingleton, a_second_handler_is_an_internal_assertion) {
    error_handler first(pgs_error_map);
    EXPECT_THROW(error_handler second(pgs_error_map), tk_mail_assertion);
    EXPECT_EQ(&error_handler::instance(), &first);
}

TEST(ErrorHandlerConsole, writes_error_lines_and_always_the_internal_error) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    {
        console_error_dialogs console(out, err);
        error_handler handler(pgs_error_map);
        handler.set_dialogs(&console);
        handler.set_context(L"t");
        handler.handle(tk_exception("a\nb", 0), false);
        handler.report_failure("copy failed");
        handler.set_suppress(true);
        handler.handle(tk_exception("hidden", 0), false);
        console.show_internal_error("boom");  // the handler shows it whatever the flag
    }
    auto read_all = [](std::FILE* f) {
        std::rewind(f);
        std::string s;
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
        return s;
    };
    EXPECT_EQ(read_all(out), "Error:\nt: a b\nInternal error: boom\n");
    EXPECT_EQ(read_all(err), "copy failed\n");
}

}  // namespace
