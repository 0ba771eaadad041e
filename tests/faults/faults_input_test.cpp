// vekagent fed bad input: profile files and table-list files that are empty,
// binary, without sections, with a byte-order mark, with CR-only or LF-only
// line ends, with lines of 100 KB, cut off mid-line, unreadable or folders;
// and every option with an empty value, a huge value and bad ports. Each case
// either converts exactly the tables it names, every row equal, or is refused
// with its message, exit code -1 and the destination left as it was.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/scoped_env.h"
#include "support/test_dir.h"
#include "support/test_servers.h"

namespace {

// Present in the destination before every case; mode 0 would drop it, so a
// refused case must leave it there and add nothing.
const std::string marker = "keep_me";
const std::set<std::string> untouched = {marker};
const std::set<std::string> all_tables = {"t_a", "t_b", "t_c"};

std::string show(const agent_result& r) {
    auto cut = [](const std::string& s) { return s.size() > 2000 ? s.substr(0, 2000) + "..." : s; };
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + cut(r.out) + "--- stderr\n" + cut(r.err);
}

// Deterministic bytes that are not UTF-8 text (every line holds a lead byte
// without its continuation), with a few line feeds among them.
std::string binary_garbage() {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(i % 97 == 96 ? '\n' : 0xC0 + (i * 167 + 13) % 64);
    return bytes;
}

class BadInput : public ::testing::Test {
protected:
    // Each test has databases of its own: the tests of this file may run at once.
    void SetUp() override {
        std::string id;
        for (char c : std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))
            id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        src_db = "finp_" + id + "_s";
        dest_db = "finp_" + id + "_d";
        m_dbs.emplace(src_db, dest_db, scratch_options{.create_dest = false});
        mysql_admin& my = m_dbs->my;
        my.exec("CREATE TABLE t_a (id INT PRIMARY KEY, v VARCHAR(10))");
        my.exec("INSERT INTO t_a VALUES (1, 'one'), (2, 'two')");
        my.exec("CREATE TABLE t_b (id INT PRIMARY KEY, v VARCHAR(10))");
        my.exec("INSERT INTO t_b VALUES (3, 'three')");
        my.exec("CREATE TABLE t_c (id INT, v VARCHAR(10))");
        my.exec("INSERT INTO t_c VALUES (4, 'four'), (5, NULL), (6, '')");

        m_dir.emplace("faults_input");
        ASSERT_FALSE(m_dir->path().empty());
        // Another user must reach the files inside (the unreadable cases).
        ::chmod(m_dir->path().c_str(), 0755);
    }
    void TearDown() override {
        m_dir.reset();
        m_dbs.reset();
    }

    std::string file(const std::string& name) const { return m_dir->file(name); }
    std::string write(const std::string& name, const std::string& bytes) const { return m_dir->write(name, bytes); }

    // The destination as every case finds it: only the marker table. A case
    // that left it so needs no new database.
    void reset_dest() const {
        if (dest_tables() == untouched && pg_query(dest_db, "SELECT x FROM " + marker) == db_rows{{"7"}}) return;
        pg_drop_db(dest_db);
        pg_create_db(dest_db);
        pg_exec(dest_db, "CREATE TABLE " + marker + " (x int); INSERT INTO " + marker + " VALUES (7)");
    }

    std::set<std::string> dest_tables() const {
        std::set<std::string> names;
        if (!pg_db_exists(dest_db)) return names;
        for (const auto& row : pg_query(dest_db, "SELECT table_name FROM information_schema.tables "
                                                 "WHERE table_schema = 'public'"))
            names.insert(*row[0]);
        return names;
    }

    // Every row of a converted table, as "id:v" in id order ("-" for NULL).
    std::string rows(const std::string& table) const {
        std::string out;
        for (const auto& row : pg_query(dest_db, "SELECT id, v FROM " + table + " ORDER BY id")) {
            if (!out.empty()) out += ' ';
            out += row[0].value_or("-") + ":" + row[1].value_or("-");
        }
        return out;
    }

    // What the destination must hold after a case: `expect` names the tables.
    void check_dest(const std::set<std::string>& expect) const {
        EXPECT_EQ(dest_tables(), expect);
        if (expect == untouched) {
            ASSERT_TRUE(pg_db_exists(dest_db));
            EXPECT_EQ(*pg_query(dest_db, "SELECT x FROM " + marker)[0][0], "7");
            return;
        }
        const std::string want[] = {"1:one 2:two", "3:three", "4:four 5:- 6:"};
        int i = 0;
        for (const std::string t : {"t_a", "t_b", "t_c"}) {
            if (expect.count(t)) {
                EXPECT_EQ(rows(t), want[i]) << t;
            }
            ++i;
        }
    }

    // The options that reach both test servers and name both databases, in mode 0.
    std::vector<std::string> base_args() const { return m_dbs->agent_args({"--mode=0"}); }

    // A profile for the test servers selecting t_a and t_c in mode 0, with
    // the given line end. Its sections are in the order the file writer uses.
    std::string profile_text(const std::string& eol = "\r\n") const {
        const server_address my = mysql_test_server();
        const server_address pg = pg_test_server();
        const std::vector<std::string> lines = {"[Available Queries]",
                                                "",
                                                "[Generic settings]",
                                                "dest=" + dest_db,
                                                "mode=0",
                                                "only definitions=0",
                                                "skip indexes=0",
                                                "src=" + src_db,
                                                "",
                                                "[MySQL settings]",
                                                "host=" + my.host,
                                                "password=" + my.password,
                                                "port=" + std::to_string(my.port),
                                                "user=" + my.user,
                                                "",
                                                "[Selected Tables]",
                                                "t_a",
                                                "t_c",
                                                "",
                                                "[pgs settings]",
                                                "host=" + pg.host,
                                                "password=" + pg.password,
                                                "user=" + pg.user,
                                                ""};
        std::string text;
        for (const auto& l : lines) text += l + eol;
        return text;
    }

    std::string src_db, dest_db;
    std::optional<scratch_dbs> m_dbs;  // the source with t_a, t_b, t_c; the destination is made by reset_dest
    std::optional<test_dir> m_dir;
};

// ------------------------------------------------------------------ cases

enum class stream { out, err };

struct input_case {
    std::string name;
    std::string bytes;             // the file's content
    int status;                    // 0 or 255
    stream where;                  // where the text must appear
    std::string text;              // a part of the message ("" when accepted)
    std::set<std::string> tables;  // what the destination holds afterwards
};

void expect_text(const agent_result& r, stream where, const std::string& text) {
    if (text.empty()) return;
    const std::string& got = where == stream::out ? r.out : r.err;
    EXPECT_NE(got.find(text), std::string::npos) << "missing: " << text.substr(0, 200);
}

const std::string profile_refused = "Profile cannot be loaded. Please verify the file is a conversion profile.";
const std::string profile_missing = "Error:\nProfile does not exist. Please verify the correct path/name was given.\n";
const std::string list_missing = "Table names file does not exist.\nPlease verify the correct path/name was given.\n";

TEST_F(BadInput, ProfileFiles) {
    // Profiles carry no PostgreSQL port: the client library reads PGPORT.
    scoped_env port("PGPORT", std::to_string(pg_test_server().port));
    const std::string good = profile_text();
    const std::string long_name(100000, 'n');
    // Cut inside the last section's header, and a file whose table list comes
    // last, cut inside the last table name.
    const std::string cut_header = good.substr(0, good.find("[pgs settings]") + 5);
    std::string list_last = good;
    const std::string tables = "[Selected Tables]\r\nt_a\r\nt_c\r\n\r\n";
    list_last.erase(list_last.find(tables), tables.size());
    list_last += "[Selected Tables]\r\nt_a\r\nt_";
    std::string bad_middle = good;
    bad_middle.insert(bad_middle.find("t_c\r\n"), "t_\xC3(\r\n");

    const input_case cases[] = {
        {"CR LF", good, 0, stream::out, "Converting table t_c(3 records)", {"t_a", "t_c"}},
        {"LF only", profile_text("\n"), 0, stream::out, "", {"t_a", "t_c"}},
        {"byte-order mark", "\xEF\xBB\xBF" + good, 0, stream::out, "", {"t_a", "t_c"}},
        {"100 KB line of an unknown key",
         "[Generic settings]\r\nnote=" + long_name + "\r\n" + good,
         0,
         stream::out,
         "",
         {"t_a", "t_c"}},
        // A name of 100 KB is read whole and reported as a table the source
        // does not have; mode 0 finds it before it drops anything.
        {"100 KB table name", good + "[Selected Tables]\r\n" + long_name + "\r\n", 255, stream::out,
         "Error:\nTable " + long_name + " not exists: the destination database " + dest_db + " is left as it is.\n",
         untouched},
        {"cut mid-line in the last table name", list_last, 255, stream::out,
         "Error:\nTable t_ not exists: the destination database " + dest_db + " is left as it is.\n", untouched},
        // The PostgreSQL host is lost with its section: the local default does
        // not answer, before anything is dropped.
        {"cut mid-line in a header", cut_header, 255, stream::out, "Error:\nconnection to server", untouched},
        {"empty", "", 255, stream::err, profile_refused, untouched},
        {"without sections", "src=" + src_db + "\r\ndest=" + dest_db + "\r\nt_a\r\n", 255, stream::err, profile_refused,
         untouched},
        {"text before the first section", "hello\r\n" + good, 255, stream::err, profile_refused, untouched},
        {"CR-only line ends", profile_text("\r"), 255, stream::err, profile_refused, untouched},
        {"two byte-order marks", "\xEF\xBB\xBF\xEF\xBB\xBF" + good, 255, stream::err, profile_refused, untouched},
        {"binary garbage", binary_garbage(), 255, stream::out, "Error:\nCannot convert to UNICODE string", untouched},
        // Not a single table of the file's list may be converted when one line
        // of it cannot be read.
        {"bad line in the middle", bad_middle, 255, stream::out, "Error:\nCannot convert to UNICODE string", untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_dest();
        const std::string path = write("p.vek", c.bytes);
        // The names on the command line come first: the profile's win, and
        // when the profile is refused they must not run on their own.
        std::vector<std::string> args = base_args();
        args.push_back("--profile=" + path);
        const agent_result r = run_agent(args, 120);
        EXPECT_EQ(r.status, c.status) << show(r);
        expect_text(r, c.where, c.text);
        check_dest(c.tables);
    }
}

TEST_F(BadInput, ProfilePathsThatAreNoFile) {
    scoped_env port("PGPORT", std::to_string(pg_test_server().port));
    const std::string folder = file("folder.vek");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    struct path_case {
        std::string name, path, text;
        stream where;
    } cases[] = {
        {"a folder", folder, profile_missing, stream::out},
        {"missing", file("none.vek"), profile_missing, stream::out},
        // Opens, but every read fails.
        {"read error", "/proc/self/mem", profile_refused, stream::err},
        // A path that is not text in the code page.
        {"path not UTF-8", file("\xFF\xFE.vek"), profile_refused, stream::err},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_dest();
        std::vector<std::string> args = base_args();
        args.push_back("--profile=" + c.path);
        const agent_result r = run_agent(args, 120);
        EXPECT_EQ(r.status, 255) << show(r);
        expect_text(r, c.where, c.text);
        check_dest(untouched);
    }
}

TEST_F(BadInput, TableListFiles) {
    const std::string long_line(100000, 'n');
    const input_case cases[] = {
        {"LF only", "t_a\nt_c\n", 0, stream::out, "Converting database " + src_db + "(2 tables)\n", {"t_a", "t_c"}},
        {"CR LF", "t_a\r\nt_c\r\n", 0, stream::out, "", {"t_a", "t_c"}},
        {"byte-order mark", "\xEF\xBB\xBFt_c\r\nt_b", 0, stream::out, "", {"t_b", "t_c"}},
        {"empty: every table", "", 0, stream::out, "Converting database " + src_db + "(3 tables)\n", all_tables},
        {"only empty lines: every table", "\n\r\n\n", 0, stream::out, "", all_tables},
        {"cut mid-line", "t_a\nt_", 255, stream::out,
         "Error:\nTable t_ not exists: the destination database " + dest_db + " is left as it is.\n", untouched},
        {"CR-only line ends", "t_a\rt_c\r", 255, stream::err,
         "Table names file: line 1 holds a CR that does not end the line", untouched},
        {"CR-only, longer than a line", std::string(300, 't') + "\r" + "t_a\r", 255, stream::err,
         "Table names file: line 1 ", untouched},
        {"100 KB line", long_line + "\n", 255, stream::err, "Table names file: line 1 is longer than 254 characters.",
         untouched},
        // The table before the bad line must not be converted either.
        {"100 KB line after a good one", "t_a\n" + long_line + "\nt_c\n", 255, stream::err,
         "Table names file: line 2 is longer than 254 characters.", untouched},
        {"binary garbage", binary_garbage(), 255, stream::err, "Table names file: line 1 ", untouched},
        {"NUL in a name", std::string("t_a\nt_\0c\n", 9), 255, stream::err,
         "Table names file: line 2 holds a NUL character.", untouched},
        {"bad UTF-8 after the mark", "\xEF\xBB\xBFt_a\nt_\xC3(\n", 255, stream::err,
         "Table names file: line 2 is not valid text in its encoding.", untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_dest();
        std::vector<std::string> args = base_args();
        args.push_back("--tab_file=" + write("list.txt", c.bytes));
        const agent_result r = run_agent(args, 120);
        EXPECT_EQ(r.status, c.status) << show(r);
        expect_text(r, c.where, c.text);
        check_dest(c.tables);
    }
}

TEST_F(BadInput, TableListPathsThatAreNoFile) {
    const std::string folder = file("folder.txt");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const struct {
        std::string name, path, text;
    } cases[] = {
        {"a folder", folder, list_missing},
        {"missing", file("none.txt"), list_missing},
        {"read error", "/proc/self/mem",
         "Table names file cannot be read.\nPlease verify the correct path/name was given.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_dest();
        std::vector<std::string> args = base_args();
        args.push_back("--tab_file=" + c.path);
        const agent_result r = run_agent(args, 120);
        EXPECT_EQ(r.status, 255) << show(r);
        EXPECT_EQ(r.err, c.text) << show(r);
        check_dest(untouched);
    }
}

// A file without read permission. Root reads every file, so as root the
// agent runs as the user nobody; otherwise the file's mode alone shuts it.
TEST_F(BadInput, UnreadableFiles) {
    scoped_env port("PGPORT", std::to_string(pg_test_server().port));
    const bool root = ::geteuid() == 0;
    auto run = [&](const std::vector<std::string>& args) {
        return root ? run_agent_as(65534, 65534, args, 120) : run_agent(args, 120);
    };
    const std::string profile = write("p.vek", profile_text());
    const std::string list = write("list.txt", "t_a\n");
    ASSERT_EQ(::chmod(profile.c_str(), root ? 0600 : 0), 0);
    ASSERT_EQ(::chmod(list.c_str(), root ? 0600 : 0), 0);

    // The same files readable: the identity itself is not what fails.
    const std::string open_list = write("open.txt", "t_a\n");
    ::chmod(open_list.c_str(), 0644);
    reset_dest();
    std::vector<std::string> args = base_args();
    args.push_back("--tab_file=" + open_list);
    agent_result r = run(args);
    ASSERT_EQ(r.status, 0) << show(r);
    check_dest({"t_a"});

    reset_dest();
    args = base_args();
    args.push_back("--tab_file=" + list);
    r = run(args);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.err, list_missing);
    check_dest(untouched);

    reset_dest();
    args = base_args();
    args.push_back("--profile=" + profile);
    r = run(args);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out, profile_missing);
    check_dest(untouched);
}

// ---------------------------------------------------------------- options

struct option_case {
    std::string arg;  // appended last, so it overrides the servers' options
    int status;
    stream where;
    std::string text;
    std::set<std::string> tables;
};

TEST_F(BadInput, OptionValues) {
    // An empty --pgport= leaves the port to the client library, which reads PGPORT.
    scoped_env port("PGPORT", std::to_string(pg_test_server().port));
    const std::string huge(100000, 'h');
    const std::string digits(30000, '9');
    const std::string my_port = std::to_string(mysql_test_server().port);
    const std::string pg_port = std::to_string(pg_test_server().port);
    const std::string bad_pg_port = "Invalid PostgreSQL port number\n";
    const std::string bad_my_port = "Error:\nInvalid port number\n";
    const std::string mode = "Invalid merge/overwrite mode\n";
    const std::string my_refused = "Error:\n";
    const std::string pg_refused = "Error:\nconnection to server";

    const option_case cases[] = {
        // Empty values.
        {"--dest=", 255, stream::err, "You should enter destination PostgreSQL database name\n", untouched},
        {"--src=", 255, stream::err, "You should enter source MySQL database name\n", untouched},
        {"--mode=", 255, stream::err, mode, untouched},
        {"--logfile=", 0, stream::out, "", all_tables},
        {"--myport=", 255, stream::out, my_refused, untouched},  // 3306: not the test server
        {"--mysqlh=", 255, stream::out, my_refused, untouched},  // the local socket
        {"--mysqlu=", 255, stream::out, "Error:\nAccess denied", untouched},
        {"--mysqlp=", 255, stream::out, "Error:\nAccess denied", untouched},
        {"--pgport=", 0, stream::out, "", all_tables},
        {"--posgsh=", 255, stream::out, pg_refused, untouched},  // the local socket
        {"--posgsu=", 255, stream::out, pg_refused, untouched},
        {"--posgsp=", 255, stream::out, pg_refused, untouched},
        {"--profile=", 255, stream::out, profile_missing, untouched},
        {"--tab_file=", 255, stream::err, list_missing, untouched},
        // Huge values.
        {"--dest=" + huge, 255, stream::err, "Database '" + huge + "' does not exist\n", untouched},
        {"--src=" + huge, 255, stream::err, "Source database '" + huge + "' does not exist\n", untouched},
        {"--logfile=" + huge, 255, stream::out,
         "Error:\nLogfile path does not exist. Please verify the correct path was given.\n", untouched},
        {"--logfile=/tmp/" + huge, 255, stream::out, "Error:\nLogfile path does not exist.", untouched},
        // A folder would take no trace at all, unnoticed.
        {"--logfile=/tmp", 255, stream::out, "Error:\nLogfile name specifies a folder.\n", untouched},
        {"--mode=" + huge, 255, stream::err, mode, untouched},
        {"--myport=" + huge, 255, stream::out, bad_my_port, untouched},
        {"--myport=" + digits, 255, stream::out, bad_my_port, untouched},
        {"--mysqlh=" + huge, 255, stream::out, my_refused, untouched},
        {"--mysqlu=" + huge, 255, stream::out, my_refused, untouched},
        {"--mysqlp=" + huge, 255, stream::out, "Error:\nAccess denied", untouched},
        {"--pgport=" + huge, 255, stream::err, bad_pg_port, untouched},
        {"--pgport=" + digits, 255, stream::err, bad_pg_port, untouched},
        {"--posgsh=" + huge, 255, stream::out, "Error:\ncould not translate host name", untouched},
        {"--posgsu=" + huge, 255, stream::out, "Error:\n", untouched},
        {"--posgsp=" + huge, 255, stream::out, pg_refused, untouched},
        {"--profile=" + huge, 255, stream::out, profile_missing, untouched},
        {"--tab_file=" + huge, 255, stream::err, list_missing, untouched},
        // Ports that are no number or out of range never fall back to a
        // default server.
        {"--pgport=abc", 255, stream::err, bad_pg_port, untouched},
        {"--pgport=0x10", 255, stream::err, bad_pg_port, untouched},
        {"--pgport=0", 255, stream::err, bad_pg_port, untouched},
        {"--pgport=-1", 255, stream::err, bad_pg_port, untouched},
        {"--pgport=-" + pg_port, 255, stream::err, bad_pg_port, untouched},
        {"--pgport=65536", 255, stream::err, bad_pg_port, untouched},
        {"--pgport=" + std::to_string(4294967296LL + std::stoll(pg_port)), 255, stream::err, bad_pg_port, untouched},
        {"--pgport=" + pg_port + "x", 0, stream::out, "", all_tables},  // leading digits, as atoi reads them
        {"--myport=abc", 255, stream::out, bad_my_port, untouched},
        {"--myport=0", 255, stream::out, bad_my_port, untouched},
        {"--myport=-1", 255, stream::out, bad_my_port, untouched},
        {"--myport=65536", 255, stream::out, bad_my_port, untouched},
        {"--myport=" + std::to_string(4294967296LL + std::stoll(my_port)), 255, stream::out, bad_my_port, untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg.substr(0, 60));
        reset_dest();
        std::vector<std::string> args = base_args();
        args.push_back(c.arg);
        const agent_result r = run_agent(args, 120);
        EXPECT_EQ(r.status, c.status) << show(r);
        expect_text(r, c.where, c.text);
        check_dest(c.tables);
    }
}

}  // namespace
