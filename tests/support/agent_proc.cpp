#include "support/agent_proc.h"

#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#ifndef VEKAGENT_PATH
#error "VEKAGENT_PATH must name the built vekagent binary"
#endif

namespace {

struct identity {
    unsigned uid, gid;
};

struct child {
    pid_t pid;
    int out_fd, err_fd;
};

child spawn(const std::vector<std::string>& args, const identity* as) {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> store{VEKAGENT_PATH};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : store) argv.push_back(s.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]), close(out_pipe[1]), close(err_pipe[0]), close(err_pipe[1]);
        if (as && (setgroups(0, nullptr) != 0 || setgid(as->gid) != 0 || setuid(as->uid) != 0)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    return {pid, out_pipe[0], err_pipe[0]};
}

agent_result collect(child c, int timeout_seconds) {
    const pid_t pid = c.pid;
    agent_result r;
    pollfd fds[2] = {{c.out_fd, POLLIN, 0}, {c.err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open_count = 2;
    const time_t deadline = time(nullptr) + timeout_seconds;
    bool killed = false;
    char buf[65536];
    while (open_count > 0) {
        if (time(nullptr) > deadline) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        const int n = poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {}
    if (!killed && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    return r;
}

}  // namespace

agent_result run_agent(const std::vector<std::string>& args, int timeout_seconds) {
    return collect(spawn(args, nullptr), timeout_seconds);
}

agent_result run_agent_as(unsigned uid, unsigned gid, const std::vector<std::string>& args, int timeout_seconds) {
    const identity who{uid, gid};
    return collect(spawn(args, &who), timeout_seconds);
}

agent_process::agent_process(const std::vector<std::string>& args, int timeout_seconds) {
    const child c = spawn(args, nullptr);
    m_pid = c.pid;
    m_result = std::async(std::launch::async, [c, timeout_seconds] { return collect(c, timeout_seconds); });
}

agent_process::~agent_process() {
    if (!m_result.valid()) return;
    // A test that gave up on it (stopped, perhaps): it must not outlive the test.
    if (!finished()) kill(m_pid, SIGKILL);
    m_result.wait();
}
