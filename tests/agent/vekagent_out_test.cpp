// End-to-end: what vekagent prints and logs when names and files are hostile,
// and how a load that fails at its very end is reported.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/test_dir.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// Control bytes that are not a line end: a terminal would act on them. The
// log's lines end with CR LF, the console's with LF.
bool has_raw_controls(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\n') || b == 0x7f) return true;
    }
    return false;
}

// Lines that read "Error:" on their own, as the program starts each report.
int error_lines(const std::string& text) {
    int n = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "Error:") ++n;
        start = end + 1;
    }
    return n;
}

void make_table(mysql_admin& my, const std::string& name, int rows) {
    my.exec("CREATE TABLE `" + name + "` (id INT PRIMARY KEY, v VARCHAR(20))");
    for (int i = 1; i <= rows; ++i) my.exec("INSERT INTO `" + name + "` VALUES (" + std::to_string(i) + ",'v')");
}

// ---------------------------------------------------------------- hostile names

// A name that would forge an "Error:" line, one with terminal escapes and one
// with a carriage return and a bidi mark; the run's order is theirs.
const std::string forged = "x(0 records)\nError:\nforged";
const std::string escapes = "esc\x1b[2J\x1b]0;pwned\x07";
const std::string cr_bidi = "cr\rbidi\xe2\x80\xae";
const std::string forged_shown = "x(0 records)\\nError:\\nforged";
const std::string escapes_shown = "esc\\x1b[2J\\x1b]0;pwned\\x07";
const std::string cr_bidi_shown = "cr\\rbidi\\u202e";

TEST(VekagentOutput, HostileNamesAreEscapedOnTheConsoleAndInTheLog) {
    scratch_dbs dbs("vka_out_names");
    for (const std::string& name : {forged, escapes, cr_bidi}) make_table(dbs.my, name, 2);
    test_dir dir;
    const std::string log = dir.file("run.log");

    agent_result r = run_agent(dbs.agent_args({"--mode=0", "--logfile=" + log}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_out_names(3 tables)\n"
                     "Converting table " +
                         cr_bidi_shown + "(2 records)\nConverting table " + escapes_shown +
                         "(2 records)\nConverting table " + forged_shown + "(2 records)\n")
        << show(r);
    EXPECT_EQ(r.err, "") << show(r);
    std::string text = test_dir::read(log);
    EXPECT_NE(text.find("Converting table " + forged_shown + " (2 records)\r\n"), std::string::npos) << text;
    EXPECT_FALSE(has_raw_controls(text)) << text;
    EXPECT_EQ(error_lines(text), 0) << text;

    // Merging into tables of another structure: one report per table, each
    // one "Error:" line and the escaped name in its text.
    for (const auto& row : pg_query(dbs.dest(), "SELECT table_name FROM information_schema.tables "
                                                "WHERE table_schema = 'public'"))
        pg_exec(dbs.dest(), "ALTER TABLE \"" + *row[0] + "\" DROP COLUMN v, ADD COLUMN w date");
    r = run_agent(dbs.agent_args({"--mode=3", "--logfile=" + log}));
    EXPECT_EQ(r.status, 255) << show(r);
    const std::string not_conforming = ": The structure of data source does not conform to the destination table.\n";
    EXPECT_EQ(r.out, "Converting database vka_out_names(3 tables)\nError:\n" + cr_bidi_shown + not_conforming +
                         "Error:\n" + escapes_shown + not_conforming + "Error:\n" + forged_shown + not_conforming)
        << show(r);
    EXPECT_EQ(r.err, "") << show(r);
    text = test_dir::read(log);
    EXPECT_FALSE(has_raw_controls(text)) << text;
    EXPECT_EQ(error_lines(text), 3) << text;

    // A listed table that is missing (mode 0 finds it before it drops
    // anything), and a destination that is missing.
    const std::string list = dir.write("list.txt", "gone\x1b[31m\n");
    r = run_agent(dbs.agent_args({"--mode=1", "--tab_file=" + list}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_out_names(1 tables)\n") << show(r);
    EXPECT_EQ(r.err, "Table gone\\x1b[31m not exists\n") << show(r);
    r = run_agent(dbs.agent_args({"--mode=0", "--tab_file=" + list}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out,
              "Error:\nTable gone\\x1b[31m not exists: the destination database vka_out_names is left as it is.\n")
        << show(r);
    EXPECT_EQ(r.err, "") << show(r);
    r = run_agent(agent_server_args({"--src=" + dbs.src(), "--dest=no\x1b[2J\ndb"}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.err, "Database 'no\\x1b[2J\\ndb' does not exist\n") << show(r);
}

// ---------------------------------------------------------------- the log file

// A log file is emptied before its first line: one that names the profile or
// the table list would empty it before it is read (a list emptied so converts
// every table) or destroy it after. It is refused before anything is written,
// whatever the order of the options and however the name is spelled.
TEST(VekagentOutput, LogfileNamingAProfileOrTheTableListIsRefused) {
    test_dir dir;
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    const std::string list = dir.write("list.txt", "t1\n");
    const std::string profile_text = "[Generic settings]\r\nsrc=a\r\ndest=b\r\nmode=2\r\n";
    const std::string profile = dir.write("p.vek", profile_text);
    const std::string logs_list = dir.write("logs_list.vek", profile_text + "logfile=" + list + "\r\n");
    const std::string logs_itself_text = profile_text + "logfile=" + dir.file("sub/../logs_itself.vek") + "\r\n";
    const std::string logs_itself = dir.write("logs_itself.vek", logs_itself_text);
    ASSERT_EQ(::symlink(list.c_str(), dir.file("link.txt").c_str()), 0);
    const std::string by_profile = "Error:\nLogfile name specifies the profile file.\n";
    const std::string by_list = "Error:\nLogfile name specifies the table names file.\n";
    struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--logfile=" + profile, "--profile=" + profile}, by_profile},
        {{"--profile=" + profile, "--logfile=" + profile}, by_profile},
        {{"--logfile=" + list, "--tab_file=" + list, "--src=a", "--dest=b"}, by_list},
        {{"--src=a", "--dest=b", "--tab_file=" + list, "--logfile=" + dir.file("sub/../list.txt")}, by_list},
        {{"--logfile=" + dir.file("link.txt"), "--src=a", "--dest=b", "--tab_file=" + list}, by_list},
        {{"--profile=" + logs_list, "--tab_file=" + list}, by_list},
        {{"--profile=" + logs_itself}, by_profile},
    };
    for (const auto& c : cases) {
        const agent_result r = run_agent(c.args);
        EXPECT_EQ(r.status, 255) << c.args[0] << " " << c.args[1] << "\n" << show(r);
        EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1] << "\n" << show(r);
        EXPECT_EQ(r.err, "") << show(r);
        EXPECT_EQ(test_dir::read(list), "t1\n");
        EXPECT_EQ(test_dir::read(profile), profile_text);
        EXPECT_EQ(test_dir::read(logs_itself), logs_itself_text);
    }
}

// The log is a regular file, or one to create: a named pipe would hold the
// program until someone reads it, a device is no record. Refused before
// anything happens to the destination (mode 0 would drop it).
TEST(VekagentOutput, ALogfileThatIsNotARegularFileIsRefusedBeforeTheRun) {
    scratch_dbs dbs("vka_out_logpipe");
    make_table(dbs.my, "t", 2);
    pg_exec(dbs.dest(), "CREATE TABLE keep_me (id int)");
    test_dir dir;
    const std::string fifo = dir.file("pipe.log");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& log : {fifo, std::string("/dev/full")}) {
        SCOPED_TRACE(log);
        const agent_result r = run_agent(dbs.agent_args({"--mode=0", "--logfile=" + log}), 120);
        EXPECT_EQ(r.status, 255) << show(r);
        EXPECT_EQ(r.out, "Error:\nLogfile name specifies a special file (a named pipe, a device or a socket), not a "
                         "regular file.\n")
            << show(r);
        EXPECT_EQ(r.err, "") << show(r);
        EXPECT_EQ(*pg_query(dbs.dest(), "SELECT string_agg(table_name, ',') FROM information_schema.tables "
                                        "WHERE table_schema = 'public'")[0][0],
                  "keep_me");
    }
}

// A file system of its own, one page of memory: a disk that fills. Mounting
// needs root.
class small_disk {
public:
    small_disk() {
        if (m_dir.path().empty()) throw std::runtime_error("no folder for the small disk");
        if (::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, "size=4k,mode=0700") != 0)
            throw std::runtime_error("cannot mount a tmpfs (root is needed): " + std::string(std::strerror(errno)));
    }
    ~small_disk() { ::umount2(m_dir.path().c_str(), MNT_DETACH); }
    small_disk(const small_disk&) = delete;
    small_disk& operator=(const small_disk&) = delete;

    std::string file(const std::string& name) const { return m_dir.path() + "/" + name; }

private:
    test_dir m_dir{"vka_logdisk"};
};

// A log on a disk that fills during the run: the first line that does not fit
// is reported then, in the system's words, once; the run converts every table
// all the same and ends with -1, as the record asked for is incomplete.
TEST(VekagentOutput, ALogOnADiskThatFillsDuringTheRunIsReportedOnceAndTheRunGoesOn) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const small_disk disk;
    scratch_dbs dbs("vka_out_logfull");
    // Their log lines take more than the disk's 4096 bytes.
    const int n_tables = 60;
    std::string console = "Converting database vka_out_logfull(" + std::to_string(n_tables) + " tables)\n";
    for (int i = 10; i < 10 + n_tables; ++i) {
        const std::string name = "t" + std::to_string(i) + "_" + std::string(60, 'x');
        make_table(dbs.my, name, 1);
        console += "Converting table " + name + "(1 records)\n";
    }
    const std::string log = disk.file("run.log");

    const agent_result r = run_agent(dbs.agent_args({"--mode=0", "--logfile=" + log}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.err, "") << show(r);
    const std::string report = "Error:\nLogfile '" + log + "' cannot be written: No space left on device\n";
    const std::size_t at = r.out.find(report);
    ASSERT_NE(at, std::string::npos) << show(r);
    EXPECT_EQ(error_lines(r.out), 1) << show(r);
    std::string progress = r.out;
    progress.erase(at, report.size());
    EXPECT_EQ(progress, console) << show(r);
    // When it happened: after the tables whose lines fitted, before the rest.
    EXPECT_GT(at, console.find("Converting table ")) << show(r);
    EXPECT_LT(at, progress.size()) << show(r);

    // The log holds what fitted: the disk, full.
    const std::string text = test_dir::read(log);
    EXPECT_NE(text.find("\r\nConversion started on "), std::string::npos) << text;
    EXPECT_EQ(text.size(), 4096u);
    EXPECT_EQ(
        *pg_query(dbs.dest(), "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'")[0][0],
        std::to_string(n_tables));
}

// ---------------------------------------------------------------- end of the COPY

// A tablespace on a file system of its own, 2 MB of memory, owned by the
// PostgreSQL test server's user: a full disk that is real. Mounting needs root.
class small_tablespace {
public:
    explicit small_tablespace(const std::string& name) : m_name(name) {
        if (m_dir.path().empty()) throw std::runtime_error("no folder for the tablespace");
        if (::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, "size=2m,mode=0700") != 0)
            throw std::runtime_error("cannot mount a tmpfs (root is needed): " + std::string(std::strerror(errno)));
        m_mounted = true;
        struct stat server;
        const char* pid = std::getenv("VEK_PG_PID");
        if (!pid || ::stat(("/proc/" + std::string(pid)).c_str(), &server) != 0 ||
            ::chown(m_dir.path().c_str(), server.st_uid, server.st_gid) != 0)
            throw std::runtime_error("cannot hand the tablespace to the PostgreSQL server's user");
        pg_exec("postgres", "CREATE TABLESPACE " + m_name + " LOCATION '" + m_dir.path() + "'");
    }
    ~small_tablespace() {
        ::unlink(filler().c_str());
        try {
            pg_exec("postgres", "DROP TABLESPACE IF EXISTS " + m_name);
        } catch (...) {}
        if (m_mounted) ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    small_tablespace(const small_tablespace&) = delete;
    small_tablespace& operator=(const small_tablespace&) = delete;

    // Takes every byte left.
    void fill() const {
        const int fd = ::open(filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(64 * 1024, '\0');
        while (::write(fd, block.data(), block.size()) > 0) {}
        const int error = errno;
        ::close(fd);
        ASSERT_EQ(error, ENOSPC);
    }

private:
    std::string filler() const { return m_dir.path() + "/filler"; }

    test_dir m_dir{"vek_tblspc"};
    std::string m_name;
    bool m_mounted = false;
};

// The server refuses the rows only when the COPY ends or commits: a check the
// rows break, a unique key checked at commit, a disk that is full. The run
// ends with its "Error:" line like every other failure, exit -1, and the
// table keeps the rows it had.
TEST(VekagentOutput, ACopyThatFailsAtItsEndIsAnError) {
    // Only root can mount the small file system of the full disk.
    const bool root = ::geteuid() == 0;
    const std::string space_name = "vka_full_" + std::to_string(::getpid());
    std::unique_ptr<small_tablespace> space;
    if (root) space = std::make_unique<small_tablespace>(space_name);
    scratch_dbs dbs("vka_out_copy");
    make_table(dbs.my, "t", 3);
    struct {
        const char* what;
        std::string prepare;
        bool fill_disk;
        const char* said;
        long long rows_kept;
    } cases[] = {
        {"check", "ALTER TABLE t ADD CONSTRAINT negative CHECK (id < 0) NOT VALID", false, "violates check constraint",
         3},
        {"deferred unique", "ALTER TABLE t ADD CONSTRAINT once UNIQUE (id) DEFERRABLE INITIALLY DEFERRED", false,
         "duplicate key value violates unique constraint", 3},
        {"full disk", "ALTER TABLE t SET TABLESPACE " + space_name + "; TRUNCATE t", true, "No space left on device",
         0},
    };
    for (const auto& c : cases) {
        if (c.fill_disk && !space) continue;
        SCOPED_TRACE(c.what);
        agent_result r = run_agent(dbs.agent_args({"--mode=0", "--skip_idx"}));
        ASSERT_EQ(r.status, 0) << show(r);
        pg_exec(dbs.dest(), c.prepare);
        if (c.fill_disk) {
            ASSERT_NO_FATAL_FAILURE(space->fill());
        }

        r = run_agent(dbs.agent_args({"--mode=3"}));
        EXPECT_EQ(r.status, 255) << show(r);
        const std::string head =
            "Converting database vka_out_copy(1 tables)\nConverting table t(3 records)\nError:\nt: ";
        EXPECT_EQ(r.out.rfind(head, 0), 0u) << show(r);
        EXPECT_NE(r.out.find(c.said, head.size()), std::string::npos) << show(r);
        EXPECT_EQ(error_lines(r.out), 1) << show(r);
        EXPECT_EQ(r.err, "") << show(r);
        EXPECT_EQ(*pg_query(dbs.dest(), "SELECT count(*) FROM t")[0][0], std::to_string(c.rows_kept));
    }
}

}  // namespace
