#pragma once
// Runs the built vekagent binary as a child process and collects its exit
// status and both output streams.

#include <string>
#include <vector>

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
agent_result run_agent_as(unsigned uid, unsigned gid, const std::vector<std::string>& args,
                          int timeout_seconds = 600);
