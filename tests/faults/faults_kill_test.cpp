// vekagent when a server is killed in the middle of a table: the run must end
// within seconds with -1, name the table it was copying, and leave the
// destination holding exactly what the report says.
//
// Each test starts a server pair of its own (ctest runs the other tests in
// parallel against the shared pair) and never runs beside another test that
// does (a ctest resource lock). The kill comes while the agent is held
// (SIGSTOP) at an observed point in the middle of the large table, so it
// lands there whatever the machine's load.

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "faults/faults_rows.h"
#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/test_servers.h"

namespace {

using clock_type = std::chrono::steady_clock;

const std::filesystem::path source_root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
const std::string testservers = (source_root / "scripts" / "testservers").string();

std::string read_text(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A value as `printf %q` writes it; the script's values are paths, numbers
// and plain words.
std::string unquote(const std::string& v) {
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') return v.substr(1, v.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) ++i;
        out += v[i];
    }
    return out;
}

// A server pair of this test's own, with durable commits; while it lives, the
// VEK_* variables (and with them mysql_admin, pg_query and agent_server_args)
// name it.
class own_servers {
public:
    own_servers() {
        char tmpl[] = "/tmp/vek-faults-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
        m_dir = tmpl;
        m_env = m_dir + "/env";
        const std::string log = m_dir + "/start.log";
        // Durable commits: what was committed before a kill must be there after it.
        if (std::system(("VEK_TESTSERVERS_DURABLE=1 " + testservers + " start " + m_env + " >" + log + " 2>&1")
                            .c_str()) != 0)
            throw std::runtime_error("could not start a server pair:\n" + read_text(log));
        std::istringstream lines(read_text(m_env));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("export ", 0) != 0) continue;
            const std::size_t eq = line.find('=');
            const std::string key = line.substr(7, eq - 7);
            m_vars[key] = unquote(line.substr(eq + 1));
            if (const char* old = std::getenv(key.c_str())) m_saved[key] = old;
            setenv(key.c_str(), m_vars[key].c_str(), 1);
        }
    }
    ~own_servers() {
        std::system((testservers + " stop " + m_env + " >/dev/null 2>&1").c_str());
        for (const auto& [key, value] : m_vars) {
            auto old = m_saved.find(key);
            if (old != m_saved.end())
                setenv(key.c_str(), old->second.c_str(), 1);
            else
                unsetenv(key.c_str());
        }
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    own_servers(const own_servers&) = delete;
    own_servers& operator=(const own_servers&) = delete;

    pid_t mysql_pid() const { return std::stoi(m_vars.at("VEK_MYSQL_PID")); }
    pid_t pg_pid() const { return std::stoi(m_vars.at("VEK_PG_PID")); }

    // Starts the killed PostgreSQL again on its data directory and port, so
    // that the test can read what the destination kept; the stop at the end
    // then finds the new postmaster.
    void restart_pg() {
        const std::string data = m_vars.at("VEK_TESTSERVERS_DIR") + "/pg/data";
        const std::string pg_ctl = "/usr/lib/postgresql/15/bin/pg_ctl -D " + data + " -l " +
                                   m_vars.at("VEK_TESTSERVERS_DIR") + "/pg/server.log -w -t 60 start";
        const std::string log = m_dir + "/restart.log";
        const std::string cmd = (geteuid() == 0 ? "runuser -u postgres -- " : "") + pg_ctl + " >" + log + " 2>&1";
        // The killed backends may still be leaving the shared memory.
        bool started = false;
        for (int attempt = 0; attempt < 20 && !started; ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(500));
            started = std::system(cmd.c_str()) == 0;
        }
        if (!started)
            throw std::runtime_error("could not restart PostgreSQL:\n" + read_text(log) +
                                     read_text(m_vars.at("VEK_TESTSERVERS_DIR") + "/pg/server.log"));
        std::istringstream pidfile(read_text(data + "/postmaster.pid"));
        std::string pid;
        std::getline(pidfile, pid);
        m_vars["VEK_PG_PID"] = pid;
        std::ofstream(m_env, std::ios::app) << "export VEK_PG_PID=" << pid << "\n";
    }

private:
    std::string m_dir, m_env;
    std::map<std::string, std::string> m_vars, m_saved;
};

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

constexpr int big_rows = 1000000;

// Polls `ready` every 20 ms for at most two minutes.
template <class F>
bool wait_until(F ready) {
    const auto deadline = clock_type::now() + std::chrono::seconds(120);
    while (clock_type::now() < deadline) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Rows of `table` that the destination's COPY has taken so far; -1 when no
// COPY into it runs.
long long copied_so_far(const std::string& db, const std::string& table) {
    const db_rows r = pg_query("postgres", "SELECT p.tuples_processed FROM pg_stat_progress_copy p "
                                           "JOIN pg_stat_activity a ON a.pid = p.pid WHERE p.datname = '" +
                                               db + "' AND a.query LIKE 'COPY %\"" + table + "\"%'");
    return r.empty() ? -1 : std::stoll(*r[0][0]);
}

// True while the MySQL server still runs the statement that reads `table`.
bool mysql_still_reading(const std::string& table) {
    return !mysql_admin()
                .query("SELECT 1 FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND "
                       "COMMAND = 'Query' AND INFO LIKE '%`" + table + "`%'")
                .empty();
}

// The run that a kill interrupts: three tables; the agent is held once the
// COPY of the large one has taken some rows, `kill_it` runs when `ready`
// says the moment is right, and then the agent goes on.
struct killed_run {
    double seconds = 0;  // from the agent's release to its end
    agent_result result;
};

template <class Ready, class Kill>
void run_and_kill_inside_big(scratch_dbs& dbs, Ready ready, Kill kill_it, killed_run& out) {
    fill_rows(dbs.my, "a_done", 1000);
    fill_rows(dbs.my, "big", big_rows);
    fill_rows(dbs.my, "c_after", 10);

    agent_process run(dbs.agent_args({"--mode=0"}), 180);
    ASSERT_TRUE(wait_until([&] { return run.finished() || copied_so_far(dbs.name(), "big") > 0; }));
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

TEST(faults_kill, mysql_killed_in_the_middle_of_a_table) {
    own_servers servers;
    scratch_dbs dbs("fsrv_mykill");
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, [] { return mysql_still_reading("big"); }, [&] { kill_server(servers.mysql_pid()); }, k));
    const double seconds = k.seconds;
    const agent_result& r = k.result;
    dbs.keep();  // the servers go away with their own pair

    EXPECT_LT(seconds, 30) << show(r);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(reported(r).find("Error:\nbig: "), std::string::npos) << show(r);
    // The finished table is whole; of big, the rows read before the loss are
    // kept unchanged (a prefix in key order); nothing of c_after.
    expect_rows_intact(dbs.name(), "a_done", 1000);
    expect_rows_intact(dbs.name(), "big", -1);
    EXPECT_LT(pg_count(dbs.name(), "big"), big_rows);
    if (pg_table_exists(dbs.name(), "c_after")) {
        EXPECT_EQ(pg_count(dbs.name(), "c_after"), 0);
    }
    EXPECT_NE(reported(r).find("c_after"), std::string::npos) << "the table not converted is not named\n" << show(r);
}

TEST(faults_kill, postgres_killed_in_the_middle_of_a_copy) {
    own_servers servers;
    scratch_dbs dbs("fsrv_pgkill");
    killed_run k;
    ASSERT_NO_FATAL_FAILURE(run_and_kill_inside_big(
        dbs, [&] { return copied_so_far(dbs.name(), "big") > 0; }, [&] { kill_server(servers.pg_pid()); }, k));
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

}  // namespace
