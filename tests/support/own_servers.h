#pragma once
// A server pair of a test's own (scripts/testservers), for a test that kills a
// server or needs one set up otherwise than the shared pair. While it lives,
// the VEK_* variables name it, so mysql_test_server() and the other helpers
// reach it. Its commits are durable (a server killed after a commit keeps
// it), and no two such pairs of one build's tests live at the same time: the
// constructor waits for the one before to be gone.
#include <sys/types.h>

#include <map>
#include <string>

class own_servers {
public:
    // mysqld_options: further mariadbd options ("--max-allowed-packet=1M");
    // mysql_login_options: what the start-up's own TCP login then needs
    // ("--ssl-ca=..." for a server that takes secure connections only).
    explicit own_servers(const std::string& mysqld_options = "", const std::string& mysql_login_options = "");
    ~own_servers();
    own_servers(const own_servers&) = delete;
    own_servers& operator=(const own_servers&) = delete;

    pid_t mysql_pid() const;
    pid_t pg_pid() const;

    // Starts the killed PostgreSQL again on its data directory and port, so
    // that the test can read what the destination kept; the stop at the end
    // then finds the new postmaster.
    void restart_pg();

private:
    void start(const std::string& mysqld_options, const std::string& mysql_login_options);

    int m_lock_fd = -1;
    std::string m_dir, m_env;
    std::map<std::string, std::string> m_vars, m_saved;
};
