#include "support/own_servers.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef VEK_SOURCE_ROOT
#error "VEK_SOURCE_ROOT must name the source tree"
#endif

namespace {

// Named by the build: __FILE__ may be relative (ccache's base folder).
const std::filesystem::path source_root = VEK_SOURCE_ROOT;
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

}  // namespace

#ifndef VEK_OWN_SERVERS_LOCK
#error "VEK_OWN_SERVERS_LOCK must name the lock file of the build's own server pairs"
#endif

own_servers::own_servers(const std::string& mysqld_options, const std::string& mysql_login_options) {
    // One pair at a time: tests that start servers (and kill them) must not
    // run beside each other.
    m_lock_fd = open(VEK_OWN_SERVERS_LOCK, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_lock_fd < 0) throw std::runtime_error("cannot open " + std::string(VEK_OWN_SERVERS_LOCK));
    while (flock(m_lock_fd, LOCK_EX) != 0)
        if (errno != EINTR) {
            close(m_lock_fd);
            throw std::runtime_error("cannot lock " + std::string(VEK_OWN_SERVERS_LOCK));
        }
    try {
        start(mysqld_options, mysql_login_options);
    } catch (...) {
        close(m_lock_fd);
        throw;
    }
}

void own_servers::start(const std::string& mysqld_options, const std::string& mysql_login_options) {
    char tmpl[] = "/tmp/vek-own-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    m_dir = tmpl;
    m_env = m_dir + "/env";
    const std::string log = m_dir + "/start.log";
    // Durable commits: what was committed before a kill is there after it.
    std::string command = "VEK_TESTSERVERS_DURABLE=1 " + testservers + " start " + m_env + " >" + log + " 2>&1";
    if (!mysqld_options.empty()) command = "VEK_TESTSERVERS_MYSQLD_OPTIONS='" + mysqld_options + "' " + command;
    if (!mysql_login_options.empty())
        command = "VEK_TESTSERVERS_MYSQL_LOGIN_OPTIONS='" + mysql_login_options + "' " + command;
    if (std::system(command.c_str()) != 0)
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

own_servers::~own_servers() {
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
    close(m_lock_fd);  // the next pair may start
}

pid_t own_servers::mysql_pid() const { return std::stoi(m_vars.at("VEK_MYSQL_PID")); }
pid_t own_servers::pg_pid() const { return std::stoi(m_vars.at("VEK_PG_PID")); }

void own_servers::restart_pg() {
    const std::string data = m_vars.at("VEK_TESTSERVERS_DIR") + "/pg/data";
    const std::string pg_ctl = m_vars.at("VEK_PG_BIN") + "/pg_ctl -D " + data + " -l " +
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
