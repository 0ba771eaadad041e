#include "tk/tk_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "support/test_dir.h"

namespace {
class TkLog : public testing::Test {
protected:
    test_dir dir;
    std::string path = dir.file("trace.log");
    std::string read() const { return test_dir::read(path); }
};
}  // namespace

TEST_F(TkLog, NoLogObjectWritesNothing) {
    ASSERT_FALSE(tk_log::exists());
    EXPECT_FALSE(tk_trace_wanted(INT_MAX - 1));
    tk_trace(3, "x %d", 1);
    tk_trace_w(3, L"x %d", 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(TkLog, LevelsAndLineEnds) {
    tk_log log(path.c_str(), true, 2, false);
    tk_trace(1, "below");
    tk_trace(2, "at %d %s", 2, "two");
    // The toolkit's %I64d, which the compiler's printf check does not know.
    const char* const toolkit_format = "above %I64d";
    tk_trace(3, toolkit_format, static_cast<long long>(1) << 40);
    EXPECT_EQ(read(), "at 2 two\r\nabove 1099511627776\r\n");
}

TEST_F(TkLog, DisabledUntilALogfileIsUsedThenEmptiedOnce) {
    test_dir::write_file(path, "old content\n");
    tk_log log(nullptr, false, 3, false);
    EXPECT_EQ(log.path().substr(log.path().size() - 4), ".log");  // the program's own name
    tk_trace(3, "dropped");
    EXPECT_EQ(read(), "old content\n");

    tk_check_logfile(path);
    tk_use_logfile(path);
    EXPECT_EQ(log.path(), path);
    tk_trace(1, "below the minimum still empties the file");
    EXPECT_EQ(read(), "");
    tk_trace(3, "one");
    tk_trace(3, "two");
    EXPECT_EQ(read(), "one\r\ntwo\r\n");
}

TEST_F(TkLog, EnabledConstructionEmptiesTheFile) {
    test_dir::write_file(path, "old");
    tk_log log(path.c_str(), true, 1, false);
    EXPECT_EQ(read(), "");
    EXPECT_TRUE(log.truncated());
}

TEST_F(TkLog, TimestampPrefix) {
    tk_log log(path.c_str(), true, 1, true);
    tk_trace(1, "stamped");
    tk_trace_w(1, L"wide");
    // "hh:mm:ss " before each line.
    auto stamped = [](const std::string& line, const std::string& text) {
        if (line.size() != 9 + text.size() || line.substr(9) != text || line[2] != ':' || line[5] != ':' ||
            line[8] != ' ')
            return false;
        for (int i : {0, 1, 3, 4, 6, 7})
            if (!std::isdigit(static_cast<unsigned char>(line[i]))) return false;
        return line.substr(0, 2) < "24" && line.substr(3, 2) < "60" && line.substr(6, 2) < "61";
    };
    const std::string all = read();
    const std::size_t end = all.find("\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_TRUE(stamped(all.substr(0, end), "stamped")) << all;
    EXPECT_TRUE(stamped(all.substr(end + 2, all.size() - end - 4), "wide")) << all;
    EXPECT_EQ(all.substr(all.size() - 2), "\r\n");
}

TEST_F(TkLog, WideLinesAreUtf8WithWindowsFormatConventions) {
    tk_log log(path.c_str(), true, 1, false);
    const wchar_t* name = L"T\u00e4belle\u20ac";
    tk_trace_w(1, L"table %s (%d)", name, 5);
    tk_trace_w(1, L"narrow %S, char %c%C, explicit %ls %hs", "n\xc3\xa9", L'\u00fc', 'z', name, "h");
    EXPECT_EQ(read(), "table T\xc3\xa4"
                      "belle\xe2\x82\xac (5)\r\n"
                      "narrow n\xc3\xa9, char \xc3\xbcz, explicit T\xc3\xa4"
                      "belle\xe2\x82\xac h\r\n");
}

// A name or message can add no line to the log and no escape sequence: text
// arguments are escaped, the format's own line feeds and tabs stay.
TEST_F(TkLog, TextArgumentsAreEscapedTheFormatIsNot) {
    tk_log log(path.c_str(), true, 1, false);
    const std::string forged = "x(0 records)\nError:\nforged\x1b[2J";
    tk_trace(3, "Error:\n%s", forged.c_str());
    tk_trace_w(3, L"\tConverting table %s (%d records)", L"t\r\n\u202e", 2);
    tk_trace_w(3, L"narrow %S, char %c%C, width [%-6s|%4hs]", "n\n", L'\x1b', '\t', L"\u00e9\n", "\x7f");
    // A precision bounds what is read: the text needs no NUL.
    const char unterminated[] = {'a', '\n', 'b', 'c'};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-overflow"  // the null text is the case
    tk_trace(3, "[%.*s] [%.2s] %5.1f %03d %s", 3, unterminated, "\x1bxyz", 2.25, 7, static_cast<const char*>(nullptr));
#pragma GCC diagnostic pop
    EXPECT_EQ(read(), "Error:\nx(0 records)\\nError:\\nforged\\x1b[2J\r\n"
                      "\tConverting table t\\r\\n\\u202e (2 records)\r\n"
                      "narrow n\\n, char \\x1b\\t, width [\xc3\xa9\\n   |\\x7f]\r\n"
                      "[a\\nb] [\\x1bx]   2.2 007 (null)\r\n");
}

// Each length modifier reads its own argument type and narrows as printf
// does, in narrow and wide formats alike.
TEST_F(TkLog, IntegerConversionsReadTheirLengthModifiersType) {
    tk_log log(path.c_str(), true, 1, false);
    const long long big = -(1LL << 40);
    const long big_l = -(1L << 40);
    const std::size_t size = std::size_t(1) << 33;
    tk_trace(1, "%hhd %hhu %hd %hu %d %u %ld %lu %lld %llx %zd %zu %jd %ju %td %tX %#o %-4d| %+3i", 300, 511, 70000,
             70000, -7, 7u, big_l, static_cast<unsigned long>(size), big, static_cast<unsigned long long>(size),
             static_cast<std::ptrdiff_t>(-3), size, static_cast<std::intmax_t>(big), static_cast<std::uintmax_t>(9),
             static_cast<std::ptrdiff_t>(big), static_cast<std::size_t>(255), 8u, 5, 6);
    tk_trace_w(1, L"%hhd %hu %ld %llu %zx %I64d %Iu", 300, 70000, big_l, static_cast<unsigned long long>(size), size,
               big, size);
    EXPECT_EQ(read(), "44 255 4464 4464 -7 7 -1099511627776 8589934592 -1099511627776 200000000 -3 8589934592 "
                      "-1099511627776 9 -1099511627776 FF 010 5   |  +6\r\n"
                      "44 4464 -1099511627776 8589934592 200000000 -1099511627776 8589934592\r\n");
}

TEST_F(TkLog, LongWideLinesAreCut) {
    tk_log log(path.c_str(), true, 1, false);
    std::wstring ascii(20000, L'a');
    tk_trace_w(1, L"%s", ascii.c_str());
    EXPECT_EQ(read(), std::string(10239, 'a') + "\r\n");

    // 10239 characters of three bytes each do not fit the UTF-8 buffer:
    // only the line end is written.
    test_dir::write_file(path, "");
    std::wstring euro(20000, L'\u20ac');
    tk_trace_w(1, L"%s", euro.c_str());
    EXPECT_EQ(read(), "\r\n");
}

TEST_F(TkLog, SecondLogIsAnAssertion) {
    tk_log log(path.c_str(), false, 3, false);
    EXPECT_THROW(tk_log(path.c_str(), false, 3, false), tk_mail_assertion);
    EXPECT_EQ(tk_log::find(), &log);
    try {
        log.set_path(nullptr);
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), tk_assertion_text("tk_log", 82));
    }
}

TEST_F(TkLog, GateClosesWhenTheLogGoes) {
    {
        tk_log log(path.c_str(), true, 3, false);
        EXPECT_TRUE(tk_trace_wanted(3));
        EXPECT_FALSE(tk_trace_wanted(2));
    }
    EXPECT_FALSE(tk_trace_wanted(3));
}

TEST_F(TkLog, LogfileChecks) {
    const std::string ro = dir.file("ro.log");
    test_dir::write_file(ro, "x");
    chmod(ro.c_str(), 0444);
    const std::string fifo = dir.file("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const char* const special =
        "Logfile name specifies a special file (a named pipe, a device or a socket), not a regular file.";
    struct {
        std::string name;
        const char* error;  // null: accepted
    } cases[] = {
        {"", nullptr},
        {dir.file("new.log"), nullptr},
        {ro, "Logfile name specifies an existing read-only file."},
        {dir.file("missing/x.log"), "Logfile path does not exist.\nPlease verify the correct path was given."},
        {dir.path(), "Logfile name specifies a folder."},
        // A named pipe would hold the program until someone reads it; a
        // device is no record either.
        {fifo, special},
        {"/dev/full", special},
        {"/dev/null", special},
        {dir.file(std::string(100000, 'x')), "Logfile path does not exist.\nPlease verify the correct path was given."},
    };
    for (const auto& c : cases) {
        if (!c.error) {
            EXPECT_NO_THROW(tk_check_logfile(c.name)) << c.name;
            continue;
        }
        try {
            tk_check_logfile(c.name);
            ADD_FAILURE() << c.name;
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(), c.error);
            EXPECT_EQ(e.level(), 1);
        }
    }
}

TEST_F(TkLog, UseLogfileWithoutLogOrNameDoesNothing) {
    tk_use_logfile(path);  // no log object
    EXPECT_FALSE(tk_log::exists());
    tk_log log(dir.file("first.log").c_str(), false, 3, false);
    tk_use_logfile("");
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(log.path(), dir.file("first.log"));
}

// A log that cannot be written says so once, at its first failure, in the
// system's words; tracing goes on, and a new path may fail again. A named
// pipe nobody reads fails rather than holding the program.
TEST_F(TkLog, TheFirstLineThatCannotBeWrittenIsReportedOnce) {
    const std::string fifo = dir.file("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {"/dev/full", "No space left on device"},
        {fifo, "No such device or address"},
        {dir.file("gone/trace.log"), "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        tk_log log(nullptr, false, 3, false);
        std::vector<std::string> reports;
        log.set_failure_report([&](const std::string& text) {
            reports.push_back(text);
            tk_trace(3, "a report that traces fails again, unreported");
        });
        tk_use_logfile(c.path);
        tk_trace(3, "one");
        tk_trace_w(3, L"two");
        EXPECT_TRUE(log.write_failed());
        EXPECT_EQ(reports, std::vector<std::string>{"Logfile '" + c.path + "' cannot be written: " + c.reason});

        tk_use_logfile(path);
        EXPECT_FALSE(log.write_failed());
        tk_trace(3, "three");
        EXPECT_EQ(read(), "three\r\n");
        EXPECT_EQ(reports.size(), 1u);
        std::filesystem::remove(path);
    }
}
