// vekagent when a server fails at the start (down, silent, refusing the
// login) or refuses a row. The run must end within seconds with -1, name the
// table it was copying, and leave the destination holding exactly what the
// report says. (Servers killed in the middle of a table: faults_kill_test.)

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "faults/faults_rows.h"
#include "support/agent_db.h"
#include "support/agent_proc.h"

namespace {

using clock_type = std::chrono::steady_clock;

// ---------------------------------------------------------------- at the start

// A port on 127.0.0.1 that refuses connections for as long as this lives: the
// socket holds it bound and never listens.
class dead_port {
public:
    dead_port() : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot bind a port");
        m_port = ntohs(a.sin_port);
    }
    ~dead_port() { close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

// A port that accepts connections and never answers: a server that hangs.
class silent_port {
public:
    silent_port() : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_fd, 8) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot listen on a port");
        m_port = ntohs(a.sin_port);
    }
    ~silent_port() { close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

struct start_case {
    const char* label;
    const char* option;  // replaced in the server arguments
    bool silent_server;  // a port that accepts and never answers instead of one that refuses
    const char* password;  // a wrong password instead of a bad port
    const char* text;    // what the report must hold
};

void PrintTo(const start_case& c, std::ostream* os) { *os << c.label; }

class faults_start : public ::testing::TestWithParam<start_case> {};

// Nothing is converted and, in mode 0, the destination is not dropped.
TEST_P(faults_start, ends_at_once_and_leaves_the_destination) {
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

INSTANTIATE_TEST_SUITE_P(
    faults_servers, faults_start,
    ::testing::Values(start_case{"mysql_down", "--myport=", false, nullptr, "Can't connect"},
                      start_case{"pg_down", "--pgport=", false, nullptr, "Connection refused"},
                      start_case{"mysql_silent", "--myport=", true, nullptr, "Lost connection"},
                      start_case{"pg_silent", "--pgport=", true, nullptr, "timeout"},
                      start_case{"mysql_password", "--mysqlp=", false, "wrong", "Access denied"},
                      start_case{"pg_password", "--posgsp=", false, "wrong", "password authentication failed"}),
    [](const ::testing::TestParamInfo<start_case>& i) { return std::string(i.param.label); });

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

class faults_refused : public ::testing::TestWithParam<refused_case> {};

TEST_P(faults_refused, ends_the_run_with_the_servers_text) {
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
    faults_servers, faults_refused,
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
