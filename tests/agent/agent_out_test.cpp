#include "agent/agent_out.h"
#include "tk/tk_utils.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "agent/agent_log.h"
#include "agent_test_util.h"
#include "converter/cnv_tk.h"
#include "tk/tk_exc.h"

namespace {

struct AgentConsole : ::testing::Test {
    std::ostringstream out, err;
    agent_console console{out, err};
};

TEST_F(AgentConsole, ProgressAndMissingTableLines) {
    console.database_line(L"shop", 2);
    console.table_line(L"items", 10);
    console.table_line(L"Gr\u00fc\u00dfe \U0001F600", 4000000000);
    console.missing_table(L"no-such table");
    EXPECT_EQ(out.str(), "Converting database shop(2 tables)\n"
                         "Converting table items(10 records)\n"
                         "Converting table Gr\xC3\xBC\xC3\x9F"
                         "e \xF0\x9F\x98\x80(4000000000 records)\n");
    EXPECT_EQ(err.str(), "Table no-such table not exists\n");
    EXPECT_EQ(console.errors(), 1);
}

TEST_F(AgentConsole, ErrorTexts) {
    console.failure("COPY failed");
    console.error("t1: first\nsecond\n");
    console.internal_error("Internal error: \ncode=00");
    EXPECT_EQ(out.str(), "Error:\nt1: first second \nInternal error: Internal error: \ncode=00\n");
    EXPECT_EQ(err.str(), "COPY failed\n");
}

TEST_F(AgentConsole, SilentPrintsOnlyInternalErrorsButStillCounts) {
    console.set_silent(true);
    console.set_suppress(true);
    console.database_line(L"db", 1);
    console.table_line(L"t", 1);
    console.missing_table(L"m");
    console.failure("x");
    console.error("level 0");
    console.fatal("fatal text");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
    console.internal_error("boom");
    EXPECT_EQ(out.str(), "Internal error: boom\n");
    EXPECT_EQ(console.errors(), 2);
}

TEST_F(AgentConsole, NameWithoutEncodingIsReplaced) {
    std::wstring name = L"a";
    name += static_cast<wchar_t>(0xD800);  // a lone surrogate has no UTF-8 form
    name += L"b";
    EXPECT_EQ(tk_w2a_or_marks(name), "a?b");
}

// The log: off until a name is given, then only level-3 lines, emptied once.
TEST_F(AgentConsole, TraceLogSetUp) {
    test_dir dir;
    const std::string path = dir.write("agent.log", "old contents\n");
    std::unique_ptr<tk_log> log = agent_make_log();
    EXPECT_FALSE(log->enabled());
    EXPECT_EQ(log->min_level(), 3);
    EXPECT_FALSE(log->timestamp());
    console.fatal("before the log");
    tk_converter conv;
    conv.set_logfile(path);
    EXPECT_EQ(conv.logfile, path);
    EXPECT_TRUE(log->enabled());
    tk_trace(2, "level two");
    console.fatal("e1\ne2");
    console.fatal("100% done");
    // One line each: a text's own line feeds are escaped in the log.
    EXPECT_EQ(test_dir::read(path), "e1\\ne2\r\n100% done\r\n");

    // Rejected names: level-1 errors, nothing stored.
    conv.logfile = "keep";
    EXPECT_THROW(conv.set_logfile(dir.file("no/such/dir.log")), tk_exception);
    EXPECT_EQ(conv.logfile, "keep");
}

}  // namespace
