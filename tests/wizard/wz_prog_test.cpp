// The dravik program itself: where no display can be opened it says so and
// ends with -1 instead of letting the window framework abort.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

struct run_result {
    int status = -1;
    std::string err;
};

// Runs dravik with the environment changed: `unset` removed, `set` added.
run_result run_dravik(const std::vector<std::string>& unset, const std::vector<std::string>& set) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        bool drop = false;
        for (const std::string& name : unset)
            if (var.rfind(name + "=", 0) == 0) drop = true;
        for (const std::string& s : set)
            if (var.rfind(s.substr(0, s.find('=') + 1), 0) == 0) drop = true;
        if (!drop) env.push_back(var);
    }
    env.insert(env.end(), set.begin(), set.end());
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = VEK_DRAVIK_PATH;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    run_result r;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) r.err.append(buffer, static_cast<std::size_t>(n));
    close(pipe_fds[0]);
    if (spawned != 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Dravik, without_a_display_says_so_and_ends_with_minus_one) {
    const struct {
        std::vector<std::string> unset;
        std::vector<std::string> set;
    } cases[] = {
        // Nothing names a display.
        {{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {}},
        // The X platform is asked for without a display.
        {{"DISPLAY"}, {"QT_QPA_PLATFORM=xcb"}},
        // A display is named but no server answers there: Qt fails inside.
        {{"WAYLAND_DISPLAY"}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:97"}},
    };
    for (const auto& c : cases) {
        const run_result r = run_dravik(c.unset, c.set);
        EXPECT_EQ(r.status, 255) << r.err;
        EXPECT_NE(r.err.find("Failed to initialize GUI library\n"), std::string::npos) << r.err;
    }
}

}  // namespace
