#include "agent/agent_cmd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/agent_fatal.h"
#include "agent_test_util.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"

namespace {

// Runs the parser over the arguments (the program path is added); returns
// "run", "usage" or "fatal: <text>".
std::string parse(fake_target& t, std::vector<std::string> args) {
    args.insert(args.begin(), "vekagent");
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    try {
        return parse_cmd_line(static_cast<int>(args.size()), argv.data(), t) ? "run" : "usage";
    } catch (const agent_fatal& e) {
        return std::string("fatal: ") + e.what();
    }
}

const std::string usage = "fatal: " + agent_usage_text();

TEST(AgentUsage, TextAsItStands) {
    const std::string text = agent_usage_text();
    const std::vector<std::string> lines = tk_split(text, '\n');
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[0], "VEKAGENT v1.0");
    EXPECT_EQ(lines[1], "Usage: VEKAGENT.EXE OPTIONS");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "   --dest=...     PostgreSQL database name");
    EXPECT_EQ(lines[23], "   --tab_file=... file containing the list of tables to convert");
    EXPECT_EQ(lines[24], "                  (one table name per line)");
    EXPECT_EQ(lines[28], "   2) It is necessary to specify 'port' parameter only if it deffers from");
    EXPECT_EQ(lines[32], "      database' will be used.");
    EXPECT_NE(text.back(), '\n');
    // Option lines: three blanks, the option, the description from column 19.
    for (std::size_t i = 3; i <= 24; ++i) {
        SCOPED_TRACE(lines[i]);
        ASSERT_GT(lines[i].size(), 18u);
        EXPECT_NE(lines[i][18], ' ');
        EXPECT_EQ(lines[i][17], ' ');
        EXPECT_EQ(lines[i].compare(0, 3, "   "), 0);
    }
}

TEST(AgentCmd, ModeAcceptsExactlyZeroToFour) {
    for (const char* ok : {"0", "1", "2", "3", "4"}) {
        fake_target t;
        EXPECT_EQ(parse(t, {"--src=a", "--dest=b", std::string("--mode=") + ok}), "run") << ok;
        EXPECT_EQ(t.mode, ok[0] - '0');
    }
    for (const char* bad : {"04", "+1", "", "5", " 1", "1 ", "-0", "1x", "00"}) {
        fake_target t;
        EXPECT_EQ(parse(t, {"--src=a", "--dest=b", std::string("--mode=") + bad}),
                  "fatal: Invalid merge/overwrite mode")
            << "'" << bad << "'";
    }
}

TEST(AgentCmd, OptionsActInOrder) {
    // --help ends the program where it stands: silent before it, not after.
    fake_target quiet;
    EXPECT_EQ(parse(quiet, {"--silent", "--help"}), usage);
    EXPECT_TRUE(quiet.m_silent);
    fake_target loud;
    EXPECT_EQ(parse(loud, {"--help", "--silent"}), usage);
    EXPECT_FALSE(loud.m_silent);

    // An unknown argument: every known one, before and after, took effect.
    fake_target t;
    EXPECT_EQ(parse(t, {"--src=a", "--DEST=x", "--bogus", "--dest=b", "--tab_def", "--skip_idx"}), "usage");
    EXPECT_EQ(t.m_src, L"a");
    EXPECT_EQ(t.m_dest, L"b");
    EXPECT_TRUE(t.tab_def && t.skip_idx);
    EXPECT_EQ(t.pgs_stores + t.mysql_stores, 0);

    // A missing table-list file ends the program first, wherever it stands.
    fake_target f;
    EXPECT_EQ(parse(f, {"--bogus", "--src=a", "--tab_file=/nonexistent/list.txt"}),
              "fatal: Table names file does not exist.\nPlease verify the correct path/name was given.");

    // --silentX is --silent, --tab_def=1 is --tab_def.
    fake_target g;
    EXPECT_EQ(parse(g, {"--silentX", "--tab_def=1", "--src=a", "--dest=b"}), "run");
    EXPECT_TRUE(g.m_silent && g.tab_def);
}

TEST(AgentCmd, MissingNamesSourceFirst) {
    fake_target a;
    EXPECT_EQ(parse(a, {"--silent"}), "fatal: You should enter source MySQL database name");
    fake_target b;
    EXPECT_EQ(parse(b, {"--dest=x"}), "fatal: You should enter source MySQL database name");
    fake_target c;
    EXPECT_EQ(parse(c, {"--src=x"}), "fatal: You should enter destination PostgreSQL database name");
    fake_target d;
    EXPECT_EQ(parse(d, {"--src=", "--dest=b"}), "fatal: You should enter source MySQL database name");
}

TEST(AgentCmd, ConnectionSettingsAndPorts) {
    fake_target t;
    ASSERT_EQ(parse(t, {"--src=s", "--dest=d", "--mysqlh= h1 ", "--mysqlu=u1", "--mysqlp=p=1", "--myport=3307",
                        "--posgsh=h2", "--posgsu=u2", "--posgsp=", "--pgport=5433x"}),
              "run");
    EXPECT_EQ(t.my_host, " h1 ");  // trimming is the converter's
    EXPECT_EQ(t.my_user, "u1");
    EXPECT_EQ(t.my_password, "p=1");
    EXPECT_EQ(t.my_port, "3307");
    EXPECT_EQ(t.pg_host, "h2");
    EXPECT_EQ(t.pg_user, "u2");
    EXPECT_EQ(t.pg_password, "");
    EXPECT_EQ(t.pg_port, 5433u);

    fake_target defaults;
    ASSERT_EQ(parse(defaults, {"--src=s", "--dest=d"}), "run");
    EXPECT_EQ(defaults.pg_port, 5432u);
    EXPECT_EQ(defaults.my_port, "3306");
    // No --mysqlp=: no password, so the option files may give one; an empty
    // --mysqlp= is an empty password and wins over them.
    EXPECT_EQ(defaults.my_password, std::nullopt);
    fake_target empty_password;
    ASSERT_EQ(parse(empty_password, {"--src=s", "--dest=d", "--mysqlp="}), "run");
    EXPECT_EQ(empty_password.my_password, "");

    fake_target empty;
    ASSERT_EQ(parse(empty, {"--src=s", "--dest=d", "--pgport=", "--myport="}), "run");
    EXPECT_EQ(empty.pg_port, 0u);  // the client library's default
    EXPECT_EQ(empty.my_port, "");  // the converter makes it "3306"
}

TEST(AgentCmd, ProfileAgainstOptions) {
    auto with_profile = [](bool loads) {
        fake_target t;
        t.profiles[L"p.vek"] = fake_profile{loads, L"from_profile", "profile-host", {}};
        return t;
    };
    // A loaded profile's connection settings stand; all eight options are ignored.
    fake_target a = with_profile(true);
    ASSERT_EQ(parse(a, {"--profile=p.vek", "--mysqlh=option-host", "--dest=d"}), "run");
    EXPECT_EQ(a.my_host, "profile-host");
    EXPECT_EQ(a.pgs_stores + a.mysql_stores, 0);

    // A profile that is there but does not load ends the program: going on
    // with the options and defaults would run settings nobody chose.
    fake_target b = with_profile(false);
    EXPECT_EQ(parse(b, {"--src=s", "--profile=p.vek", "--mysqlh=option-host", "--dest=d"}),
              std::string("fatal: ") + agent_profile_unloadable_text);
    EXPECT_EQ(b.pgs_stores + b.mysql_stores, 0);

    // Names: the later of the option and the profile wins.
    fake_target c = with_profile(true);
    ASSERT_EQ(parse(c, {"--src=opt", "--profile=p.vek", "--dest=d"}), "run");
    EXPECT_EQ(c.m_src, L"from_profile");
    fake_target d = with_profile(true);
    ASSERT_EQ(parse(d, {"--profile=p.vek", "--src=opt", "--dest=d"}), "run");
    EXPECT_EQ(d.m_src, L"opt");

    // A profile file that does not exist: its level-1 error reaches the caller.
    fake_target e;
    try {
        parse(e, {"--profile=missing.vek", "--src=s", "--dest=d"});
        ADD_FAILURE() << "no exception";
    } catch (const tk_exception& ex) {
        EXPECT_EQ(ex.level(), 1);
    }
}

TEST(AgentCmd, TableListReplacesProfileTablesInEitherOrder) {
    test_dir dir;
    const std::string list = dir.write("tabs.txt", "b\na\nb\n");
    const std::vector<std::wstring> want{L"b", L"a", L"b"};
    for (bool list_first : {false, true}) {
        fake_target t;
        t.profiles[L"p.vek"] = fake_profile{true, L"", "", {L"x", L"y"}};
        t.selected_queries[L"q"] = L"SELECT 1";
        std::vector<std::string> args{"--profile=p.vek", "--tab_file=" + list, "--src=s", "--dest=d"};
        if (list_first) std::swap(args[0], args[1]);
        ASSERT_EQ(parse(t, args), "run");
        EXPECT_EQ(t.selected_tables, want);
        // Profile tables are gone from the selection; the query stays.
        ASSERT_EQ(t.selected_queries.size(), 1u);
        EXPECT_EQ(t.selected_queries.begin()->first, L"q");
    }
    // The last list wins.
    fake_target t;
    const std::string other = dir.write("other.txt", "z\n");
    ASSERT_EQ(parse(t, {"--tab_file=" + list, "--tab_file=" + other, "--src=s", "--dest=d"}), "run");
    EXPECT_EQ(t.selected_tables, std::vector<std::wstring>{L"z"});
}

TEST(AgentCmd, RejectedLogfileLeavesAsLevelOneError) {
    fake_target t;
    try {
        parse(t, {"--src=s", "--logfile=/nonexistent-dir/x.log", "--dest=d"});
        ADD_FAILURE() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_STREQ(e.what(), "Logfile path does not exist.\nPlease verify the correct path was given.");
    }
    EXPECT_EQ(t.m_src, L"s");
    EXPECT_TRUE(t.m_dest.empty());
}

TEST(AgentCmd, UndecodableNameIsIgnored) {
    fake_target t;
    EXPECT_EQ(parse(t, {"--src=s", "--dest=good", "--dest=bad\xff"}), "run");
    EXPECT_EQ(t.m_dest, L"good");
    // Non-ASCII names arrive whole.
    fake_target u;
    EXPECT_EQ(parse(u, {"--src=s\xc3\xa9", "--dest=d\xf0\x9f\x98\x80"}), "run");
    EXPECT_EQ(u.m_src, L"s\u00e9");
    EXPECT_EQ(u.m_dest, L"d\U0001F600");
}

}  // namespace
