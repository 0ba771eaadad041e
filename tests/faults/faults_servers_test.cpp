// vekagent when a server fails: killed in the middle of a table, a read
// killed by another session, down or refusing the login at the start,
// refusing a row. The run must end within seconds with -1, name the table it
// was copying, and leave the destination holding exactly what the report
// says: a table that failed keeps nothing of the failed load.
//
// A test that kills a server starts a server pair of its own (ctest runs the
// tests in parallel against the shared pair), with durable commits. The kill
// comes while the agent is held (SIGSTOP) at an observed point in the middle
// of the large table, so it lands there whatever the machine's load.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <dirent.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/own_servers.h"
#include "support/test_ports.h"
#include "support/test_servers.h"

namespace {

using clock_type = std::chrono::steady_clock;

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

std::string read_text(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The process and every process it started (the PostgreSQL postmaster and its
// backends), all with SIGKILL. The parent is stopped first so that it starts
// no child in between.
void kill_server(pid_t pid) {
    kill(pid, SIGSTOP);
    std::vector<pid_t> children;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* e = readdir(proc)) {
            const pid_t child = std::atoi(e->d_name);
            if (child <= 0) continue;
            std::istringstream stat(read_text("/proc/" + std::string(e->d_name) + "/stat"));
            std::string skip, state;
            pid_t parent = 0;
            // pid (comm) state ppid; comm has no blanks for these servers.
            stat >> skip >> skip >> state >> parent;
            if (parent == pid) children.push_back(child);
        }
        closedir(proc);
    }
    kill(pid, SIGKILL);
    for (pid_t child : children) kill(child, SIGKILL);
}

bool pg_table_exists(const std::string& db, const std::string& table) {
    return !pg_query(db, "SELECT 1 FROM information_schema.tables WHERE table_schema = 'public' AND table_name = '" +
                             table + "'")
                .empty();
}

long long pg_count(const std::string& db, const std::string& table) {
    return std::stoll(*pg_query(db, "SELECT count(*) FROM \"" + table + "\"")[0][0]);
}

// Rows of `rows(id, a, s, d)`: a = id * 7, s = 'row-<id>', d = id / 4.
void fill_rows(mysql_admin& my, const std::string& table, int n) {
    my.exec("CREATE TABLE " + table +
            " (id INT PRIMARY KEY, a BIGINT NOT NULL, s VARCHAR(40) NOT NULL, d DOUBLE NOT NULL)");
    my.exec("INSERT INTO " + table + " SELECT seq, seq * 7, CONCAT('row-', seq), seq / 4 FROM seq_1_to_" +
            std::to_string(n));
}

// How many of the destination's rows differ from what fill_rows wrote, and
// whether the ids are exactly 1..count.
void expect_rows_intact(const std::string& db, const std::string& table, long long expected_count) {
    const db_rows r = pg_query(db, "SELECT count(*), coalesce(min(id), 1), coalesce(max(id), 0), "
                                   "count(*) FILTER (WHERE a <> id::bigint * 7 OR s <> 'row-' || id "
                                   "OR d <> id / 4.0) FROM \"" +
                                       table + "\"");
    const long long count = std::stoll(*r[0][0]);
    if (expected_count >= 0) {
        EXPECT_EQ(count, expected_count) << table;
    }
    EXPECT_EQ(*r[0][1], "1") << table;
    EXPECT_EQ(std::stoll(*r[0][2]), count) << table << ": the ids are not 1..count";
    EXPECT_EQ(*r[0][3], "0") << table << ": rows changed on the way";
}

// Rows of `table` that the destination's COPY has taken so far; -1 when no
// COPY into it runs.
long long copied_so_far(const std::string& db, const std::string& table) {
    const db_rows r = pg_query("postgres", "SELECT p.tuples_processed FROM pg_stat_progress_copy p "
                                           "JOIN pg_stat_activity a ON a.pid = p.pid WHERE p.datname = '" +
                                               db + "' AND a.query LIKE 'COPY %\"" + table + "\"%'");
    return r.empty() ? -1 : std::stoll(*r[0][0]);
}

// True while the MySQL server still runs the statement that reads `table`
// (a table's rows come from a prepared statement: "Execute").
bool mysql_still_reading(const std::string& table) {
    return !mysql_admin()
                .query("SELECT 1 FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND "
                       "COMMAND IN ('Query', 'Execute') AND INFO LIKE '%`" +
                       table + "`%'")
                .empty();
}

// The text of every "Error:" block and every standard-error line.
std::string reported(const agent_result& r) { return r.out + "\n" + r.err; }

// The MySQL connection that reads big's rows (not the one counting them).
std::string reading_connection(const std::string& db) {
    const db_rows r = mysql_admin().query(
        "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND DB = '" + db +
        "' AND COMMAND IN ('Query', 'Execute') AND INFO LIKE 'SELECT %FROM `big`%' AND INFO NOT LIKE '%COUNT(%'");
    return r.size() == 1 ? *r[0][0] : std::string();
}

// A run whose MySQL connection went away in the middle of big: one error,
// under big, that says so (not the packet-size text), and the run ends
// there: c_after is not tried over the dead connection.
void expect_ended_by_lost_connection(const agent_result& r) {
    const std::string& out = r.out;
    EXPECT_NE(out.find("Error:\nbig: The connection to the MySQL server was lost: "), std::string::npos) << show(r);
    EXPECT_EQ(out.find("Error:"), out.rfind("Error:")) << "more than one error\n" << show(r);
    EXPECT_EQ(reported(r).find("Transferred value is too big"), std::string::npos) << show(r);
    EXPECT_EQ(out.find("Converting table c_after"), std::string::npos) << show(r);
}

constexpr int big_rows = 1000000;

// The source of a run that a kill interrupts: three tables, the middle one large.
void fill_three(scratch_dbs& dbs) {
    fill_rows(dbs.my, "a_done", 1000);
    fill_rows(dbs.my, "big", big_rows);
    fill_rows(dbs.my, "c_after", 10);
}

// The run that a kill interrupts, in `mode`: the agent is held once the COPY
// of the large table has taken some rows, `kill_it` runs when `ready` says the
// moment is right, and then the agent goes on.
struct killed_run {
    double seconds = 0;  // from the agent's release to its end
    agent_result result;
};

template <class Ready, class Kill>
void run_and_kill_inside_big(scratch_dbs& dbs, const std::string& mode, Ready ready, Kill kill_it, killed_run& out) {
    agent_process run(dbs.agent_args({mode}), 180);
    ASSERT_TRUE(
        wait_until([&] { return run.finished() || copied_so_far(dbs.name(), "big") > 0; }, std::chrono::seconds(120)));
    ASSERT_FALSE(run.finished()) << "big was done before the kill; make it bigger\n" << show(run.wait());
    kill(run.pid(), SIGSTOP);
    const long long copied = copied_so_far(dbs.name(), "big");
    const bool ok = ready();
    if (ok) kill_it();
    kill(run.pid(), SIGCONT);
    ASSERT_TRUE(ok) << "not in the middle of big (" << copied << " rows copied): make it bigger";
    const auto start = clock_type::now();
    out.result = run.wait();
    out.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
}

// A complete copy of the three tables in the destination, and big's table
// then, to compare with what is there after a failed run.
db_rows copy_whole(scratch_dbs& dbs) {
    const agent_result first = run_agent(dbs.agent_args({"--mode=0"}), 180);
    EXPECT_EQ(first.status, 0) << show(first);
    expect_rows_intact(dbs.name(), "big", big_rows);
    return pg_query(dbs.name(), "SELECT 'big'::regclass::oid");
}

// What a table whose read broke off leaves: with a previous copy (mode 1),
// that copy as it was; otherwise no table at all. Never a part of the table.
void expect_big_untouched(scratch_dbs& dbs, const std::optional<db_rows>& previous, const agent_result& r) {
    if (previous) {
        EXPECT_EQ(pg_query(dbs.name(), "SELECT 'big'::regclass::oid"), *previous) << show(r);
        expect_rows_intact(dbs.name(), "big", big_rows);
    } else {
        EXPECT_FALSE(pg_table_exists(dbs.name(), "big")) << show(r);
    }
}

// ---------------------------------------------------------------- killed servers

TEST(FaultsServers, mysql_killed_in_the_middle_of_a_table) {
    own_servers servers;
    scratch_dbs dbs("fsrv_mykill");
    fill_three(dbs);
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, "--mode=0", [] { return mysql_still_reading("big"); }, [&] { kill_server(servers.mysql_pid()); }, k));
    const double seconds = k.seconds;
    const agent_result& r = k.result;
    dbs.keep();  // the servers go away with their own pair

    EXPECT_LT(seconds, 30) << show(r);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nbig: "), std::string::npos) << show(r);
    // The finished table is whole; nothing of big, nothing of c_after.
    expect_rows_intact(dbs.name(), "a_done", 1000);
    expect_big_untouched(dbs, std::nullopt, r);
    if (pg_table_exists(dbs.name(), "c_after")) {
        EXPECT_EQ(pg_count(dbs.name(), "c_after"), 0);
    }
    expect_ended_by_lost_connection(r);
}

// The agent's connection killed from another session (KILL) while it reads
// big: the same end as a server that dies.
TEST(FaultsServers, mysql_connection_killed_in_the_middle_of_a_table) {
    scratch_dbs dbs("fsrv_connkill");
    fill_three(dbs);
    std::string reader;
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, "--mode=0", [&] { return !(reader = reading_connection(dbs.name())).empty(); },
        [&] { mysql_admin().exec("KILL " + reader); }, k));
    const agent_result& r = k.result;

    EXPECT_LT(k.seconds, 30) << show(r);
    EXPECT_EQ(r.status, 255) << show(r);
    expect_ended_by_lost_connection(r);
    expect_rows_intact(dbs.name(), "a_done", 1000);
    expect_big_untouched(dbs, std::nullopt, r);
    EXPECT_FALSE(pg_table_exists(dbs.name(), "c_after")) << show(r);
}

// Mode 1 replaces big, which holds a complete copy: the copy stays as it was.
TEST(FaultsServers, mysql_killed_while_a_table_is_replaced_leaves_its_previous_copy) {
    own_servers servers;
    scratch_dbs dbs("fsrv_mykill_replace");
    fill_three(dbs);
    const db_rows previous = copy_whole(dbs);
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, "--mode=1", [] { return mysql_still_reading("big"); }, [&] { kill_server(servers.mysql_pid()); }, k));
    const agent_result& r = k.result;
    dbs.keep();

    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nbig: "), std::string::npos) << show(r);
    expect_rows_intact(dbs.name(), "a_done", 1000);
    expect_big_untouched(dbs, previous, r);
    expect_rows_intact(dbs.name(), "c_after", 10);
}

TEST(FaultsServers, postgres_killed_in_the_middle_of_a_copy) {
    own_servers servers;
    scratch_dbs dbs("fsrv_pgkill");
    fill_three(dbs);
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, "--mode=0", [&] { return copied_so_far(dbs.name(), "big") > 0; }, [&] { kill_server(servers.pg_pid()); },
        k));
    const double seconds = k.seconds;
    const agent_result& r = k.result;

    EXPECT_LT(seconds, 30) << show(r);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("big: "), std::string::npos) << show(r);

    // The COPY never ended: nothing of big was committed, not even the table.
    servers.restart_pg();
    expect_rows_intact(dbs.name(), "a_done", 1000);
    EXPECT_FALSE(pg_table_exists(dbs.name(), "big")) << show(r);
    EXPECT_FALSE(pg_table_exists(dbs.name(), "c_after")) << show(r);
}

// ---------------------------------------------------------------- a read killed by another session

struct read_kill_case {
    const char* label;
    const char* kill;    // the statement a DBA sends, followed by the connection id
    bool previous_copy;  // big holds a complete copy, which mode 1 replaces; otherwise mode 0
};

void PrintTo(const read_kill_case& c, std::ostream* os) { *os << c.label; }

class FaultsReadKilled : public ::testing::TestWithParam<read_kill_case> {};

// The read of big is killed part-way by another session: big is all or
// nothing, the run reports it and ends with -1, and a later run in mode 2
// does not take a part of big for the table.
TEST_P(FaultsReadKilled, a_table_whose_read_is_killed_keeps_nothing_of_it) {
    const read_kill_case& c = GetParam();
    scratch_dbs dbs(std::string("fsrv_readkill_") + c.label);
    fill_three(dbs);
    std::optional<db_rows> previous;
    if (c.previous_copy) previous = copy_whole(dbs);
    std::string reader;
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, c.previous_copy ? "--mode=1" : "--mode=0",
        [&] { return !(reader = reading_connection(dbs.name())).empty(); },
        [&] { mysql_admin().exec(c.kill + reader); }, k));
    const agent_result& r = k.result;

    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nbig: "), std::string::npos) << show(r);
    expect_rows_intact(dbs.name(), "a_done", 1000);
    expect_big_untouched(dbs, previous, r);
    if (pg_table_exists(dbs.name(), "c_after")) expect_rows_intact(dbs.name(), "c_after", 10);

    const agent_result again = run_agent(dbs.agent_args({"--mode=2"}), 180);
    EXPECT_EQ(again.status, 0) << show(again);
    expect_rows_intact(dbs.name(), "big", big_rows);
    expect_rows_intact(dbs.name(), "c_after", 10);
}

INSTANTIATE_TEST_SUITE_P(FaultsServers, FaultsReadKilled,
                         ::testing::Values(read_kill_case{"query_fresh", "KILL QUERY ", false},
                                           read_kill_case{"query_replacing", "KILL QUERY ", true},
                                           read_kill_case{"connection_fresh", "KILL ", false},
                                           read_kill_case{"connection_replacing", "KILL ", true}),
                         [](const ::testing::TestParamInfo<read_kill_case>& i) { return std::string(i.param.label); });

// ---------------------------------------------------------------- at the start

struct start_case {
    const char* label;
    const char* option;    // replaced in the server arguments
    bool silent_server;    // a port that accepts and never answers instead of one that refuses
    const char* password;  // a wrong password instead of a bad port
    const char* text;      // what the report must hold
};

void PrintTo(const start_case& c, std::ostream* os) { *os << c.label; }

class FaultsStart : public ::testing::TestWithParam<start_case> {};

// Nothing is converted and, in mode 0, the destination is not dropped.
TEST_P(FaultsStart, ends_at_once_and_leaves_the_destination) {
    const start_case& c = GetParam();
    scratch_dbs dbs(std::string("fsrv_start_") + c.label);
    fill_rows(dbs.my, "t", 10);
    pg_exec(dbs.name(), "CREATE TABLE keep_me (id int); INSERT INTO keep_me VALUES (1)");

    dead_port refused;
    silent_port silent;
    std::vector<std::string> args = dbs.agent_args({"--mode=0"});
    for (std::string& a : args) {
        if (a.rfind(c.option, 0) != 0) continue;
        if (c.password)
            a = std::string(c.option) + c.password;
        else
            a = std::string(c.option) + std::to_string(c.silent_server ? silent.port() : refused.port());
    }
    const auto start = clock_type::now();
    const agent_result r = run_agent(args, 120);
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();

    EXPECT_LT(seconds, 20) << show(r);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find(c.text), std::string::npos) << show(r);
    EXPECT_EQ(r.out.find("Converting table"), std::string::npos) << show(r);
    EXPECT_EQ(pg_query(dbs.name(), "SELECT count(*) FROM keep_me")[0][0], "1");
    EXPECT_FALSE(pg_table_exists(dbs.name(), "t"));
}

INSTANTIATE_TEST_SUITE_P(FaultsServers, FaultsStart,
                         ::testing::Values(start_case{"mysql_down", "--myport=", false, nullptr,
                                                      "Error:\nCan't connect to the MySQL server. Check to verify "
                                                      "that MySQL server is launched"},
                                           start_case{"pg_down", "--pgport=", false, nullptr, "Connection refused"},
                                           start_case{"mysql_silent", "--myport=", true, nullptr,
                                                      "Error:\nThe MySQL server did not answer within 10 seconds. "
                                                      "Check to verify that MySQL server is not stopped"},
                                           start_case{"pg_silent", "--pgport=", true, nullptr, "timeout"},
                                           start_case{"mysql_password", "--mysqlp=", false, "wrong", "Access denied"},
                                           start_case{"pg_password", "--posgsp=", false, "wrong",
                                                      "password authentication failed"}),
                         [](const ::testing::TestParamInfo<start_case>& i) { return std::string(i.param.label); });

// A real server that takes connections while it is stopped (SIGSTOP): the
// kernel completes them, the server says nothing. It is reported as a server
// that did not answer, never as a lost connection, and nothing is dropped.
TEST(FaultsServers, mysql_stopped_at_the_start_did_not_answer) {
    own_servers servers;
    scratch_dbs dbs("fsrv_stopped");
    fill_rows(dbs.my, "t", 10);
    pg_exec(dbs.name(), "CREATE TABLE keep_me (id int); INSERT INTO keep_me VALUES (1)");
    agent_result r;
    {
        struct resumed {
            pid_t pid;
            ~resumed() { kill(pid, SIGCONT); }
        } stopped{servers.mysql_pid()};
        ASSERT_EQ(kill(servers.mysql_pid(), SIGSTOP), 0);
        r = run_agent(dbs.agent_args({"--mode=0"}), 120);
    }
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nThe MySQL server did not answer within 10 seconds."), std::string::npos)
        << show(r);
    EXPECT_EQ(reported(r).find("ost connection"), std::string::npos) << show(r);
    EXPECT_EQ(reported(r).find("was lost"), std::string::npos) << show(r);
    EXPECT_EQ(pg_query(dbs.name(), "SELECT count(*) FROM keep_me")[0][0], "1");
    EXPECT_FALSE(pg_table_exists(dbs.name(), "t"));
}

// A user who may log in but has no rights on the source hears the server's
// refusal, not that the database does not exist; the destination stays.
TEST(FaultsServers, user_without_rights_on_the_source_is_told_access_denied) {
    scratch_dbs dbs("fsrv_norights", scratch_options{.unique = true});
    fill_rows(dbs.my, "t", 10);
    pg_exec(dbs.name(), "CREATE TABLE keep_me (id int); INSERT INTO keep_me VALUES (1)");
    const mysql_user_without_rights user("vek_fsrv_nr_" + std::to_string(getpid()));
    std::vector<std::string> args = dbs.agent_args({"--mode=0"});
    for (std::string& a : args) {
        if (a.rfind("--mysqlu=", 0) == 0) a = "--mysqlu=" + user.name();
        if (a.rfind("--mysqlp=", 0) == 0) a = "--mysqlp=" + user.password();
    }
    const agent_result r = run_agent(args, 120);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nAccess denied. Ask your system administrator to grant you the necessary "
                               "privileges to read the database. The server said: Access denied for user '" +
                               user.name() + "'@'%' to database '" + dbs.src() + "'"),
              std::string::npos)
        << show(r);
    EXPECT_EQ(reported(r).find("does not exist"), std::string::npos) << show(r);
    EXPECT_EQ(pg_query(dbs.name(), "SELECT count(*) FROM keep_me")[0][0], "1");
    EXPECT_FALSE(pg_table_exists(dbs.name(), "t"));
}

// ---------------------------------------------------------------- a refused row

struct refused_case {
    const char* label;
    const char* mysql_table;  // source table "b_refused"
    const char* mysql_rows;
    const char* pg_table;     // the existing destination table it is merged into
    const char* pg_rows;      // what the destination held before
    const char* server_text;  // the server's reason
};

void PrintTo(const refused_case& c, std::ostream* os) { *os << c.label; }

class FaultsRefused : public ::testing::TestWithParam<refused_case> {};

TEST_P(FaultsRefused, ends_the_run_with_the_servers_text) {
    const refused_case& c = GetParam();
    scratch_dbs dbs(std::string("fsrv_refused_") + c.label);
    fill_rows(dbs.my, "a_done", 500);
    dbs.my.exec(std::string("CREATE TABLE b_refused ") + c.mysql_table);
    dbs.my.exec(std::string("INSERT INTO b_refused VALUES ") + c.mysql_rows);
    fill_rows(dbs.my, "c_after", 10);
    pg_exec(dbs.name(), std::string("CREATE TABLE b_refused ") + c.pg_table);
    pg_exec(dbs.name(), std::string("INSERT INTO b_refused VALUES ") + c.pg_rows);
    const db_rows before = pg_query(dbs.name(), "SELECT * FROM b_refused ORDER BY 1");

    const agent_result r = run_agent(dbs.agent_args({"--mode=3"}), 120);

    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("b_refused: "), std::string::npos) << show(r);
    EXPECT_NE(reported(r).find(c.server_text), std::string::npos) << show(r);
    // Before it: whole; the refused table: as it was; after it: not started.
    expect_rows_intact(dbs.name(), "a_done", 500);
    EXPECT_EQ(pg_query(dbs.name(), "SELECT * FROM b_refused ORDER BY 1"), before);
    EXPECT_FALSE(pg_table_exists(dbs.name(), "c_after")) << show(r);
}

INSTANTIATE_TEST_SUITE_P(
    FaultsServers, FaultsRefused,
    ::testing::Values(
        refused_case{"out_of_range", "(id INT PRIMARY KEY, v BIGINT)", "(1, 5), (2, 100000), (3, 6)",
                     "(id integer PRIMARY KEY, v smallint)", "(10, 1)", "out of range for type smallint"},
        refused_case{"duplicate_key", "(id INT PRIMARY KEY, v INT)", "(1, 1), (2, 2), (3, 3)",
                     "(id integer PRIMARY KEY, v integer)", "(2, 20)", "duplicate key value violates unique"},
        refused_case{"not_null", "(id INT PRIMARY KEY, v INT)", "(1, 1), (2, NULL)",
                     "(id integer PRIMARY KEY, v integer NOT NULL)", "(5, 5)", "violates not-null constraint"},
        refused_case{"check", "(id INT PRIMARY KEY, v INT)", "(1, 1), (2, -4)",
                     "(id integer PRIMARY KEY, v integer CHECK (v > 0))", "(7, 7)", "violates check constraint"}),
    [](const ::testing::TestParamInfo<refused_case>& i) { return std::string(i.param.label); });

}  // namespace
