#include "agent/agent_tabf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/agent_fatal.h"
#include "agent_test_util.h"

namespace {

using names = std::vector<std::wstring>;

std::string fatal_text(const std::string& path) {
    try {
        process_tab_file(path);
    } catch (const agent_fatal& e) {
        return e.what();
    }
    return "no error";
}

TEST(AgentTabFile, LinesOrderDuplicatesAndEncoding) {
    test_dir dir;
    struct tcase {
        const char* what;
        std::string bytes;
        names want;
    };
    const std::vector<tcase> cases = {
        {"order and duplicates", "b\na\nb\n", {L"b", L"a", L"b"}},
        {"CR LF ends lines, blanks are kept", "one\r\n two \r\n\r\n", {L"one", L" two "}},
        {"empty lines skipped, no final line end", "\n\nx\n\ny", {L"x", L"y"}},
        {"mark dropped on the first line only",
         "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n\xEF\xBB\xBFz\n",
         {L"\u00e9t\u00e9", L"\uFEFFz"}},
        {"mark after empty lines", "\n\r\n\xEF\xBB\xBFn\n", {L"n"}},
        {"a line holding only the mark names nothing", "\xEF\xBB\xBF\nt\n", {L"t"}},
        {"ANSI text without a mark", "caf\xC3\xA9 \xF0\x9F\x98\x80\tx\n", {L"caf\u00e9 \U0001F600\tx"}},
        {"empty file", "", {}},
        {"only empty lines", "\n\r\n\n", {}},
        {"254 bytes is the longest name", std::string(254, 'a') + "\r\n", {std::wstring(254, L'a')}},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(process_tab_file(dir.write("t.txt", c.bytes)), c.want);
    }
}

TEST(AgentTabFile, BadLinesAreErrorsNamingTheLine) {
    test_dir dir;
    struct tcase {
        std::string bytes;
        std::string text;
    };
    const std::vector<tcase> cases = {
        {"a\n\n" + std::string(255, 'x') + "\nb\n", "Table names file: line 3 is longer than 254 characters."},
        {"a\n" + std::string(100000, 'x'), "Table names file: line 2 is longer than 254 characters."},
        {"\xEF\xBB\xBF" + std::string(255, 'x'), "Table names file: line 1 is longer than 254 characters."},
        {"ok\nbad\xFF\n", "Table names file: line 2 is not valid text in its encoding."},
        {std::string("a\0b\n", 4), "Table names file: line 1 holds a NUL character."},
        {"a\r\nb\rc\r",
         "Table names file: line 2 holds a CR that does not end the line (lines must end with LF or CR LF)."},
    };
    for (const tcase& c : cases) EXPECT_EQ(fatal_text(dir.write("t.txt", c.bytes)), c.text);
}

TEST(AgentTabFile, MissingOrUnreadableFile) {
    test_dir dir;
    const std::string text = "Table names file does not exist.\nPlease verify the correct path/name was given.";
    EXPECT_EQ(fatal_text(dir.file("missing.txt")), text);
    EXPECT_EQ(fatal_text(dir.path()), text);  // a folder
}

}  // namespace
