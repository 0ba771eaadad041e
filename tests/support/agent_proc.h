#pragma once
// Runs the built vekagent binary as a child process and collects its exit
// status and both output streams.

#include <sys/types.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/bounded_wait.h"

struct agent_result {
    int status = -1;  // exit status (255 for -1); -1 when it did not exit normally
    std::string out;
    std::string err;
};

// The arguments follow the program path. A run that takes longer than
// `timeout_seconds` is killed and reported with status -1.
agent_result run_agent(const std::vector<std::string>& args, int timeout_seconds = 600);

// The same under another user and group (the caller must be root); status 126
// when the identity could not be taken.
agent_result run_agent_as(unsigned uid, unsigned gid, const std::vector<std::string>& args, int timeout_seconds = 600);

// A vekagent running in the background, its output collected while it runs,
// so that a test can act on it in the middle (stop it with SIGSTOP, say).
class agent_process {
public:
    explicit agent_process(const std::vector<std::string>& args, int timeout_seconds = 600);
    // Kills the process when nobody waited for it.
    ~agent_process();
    agent_process(const agent_process&) = delete;
    agent_process& operator=(const agent_process&) = delete;

    pid_t pid() const { return m_pid; }
    bool finished() const { return m_result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
    // Waits for the end; once.
    agent_result wait() { return m_result.get(); }

private:
    pid_t m_pid = -1;
    std::future<agent_result> m_result;
};
