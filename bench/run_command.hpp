// Runs a command as a child process and measures it: wall time and the
// child's peak memory (maximum resident set size).
#pragma once

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace detrend::bench {

struct Measured {
    int status = -1;
    double seconds = 0, peakMB = 0;
};

// Runs `argv` in `dir` with standard input from `input` (or /dev/null) and
// standard output to `output` (or /dev/null); DISPLAY is unset.
inline Measured runCommand(const std::vector<std::string>& argv, const std::string& dir, const std::string& input = "",
                           const std::string& output = "") {
    // posix_spawn, not fork: a forked child would count this process's
    // memory in its peak until it executes the command.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    ::posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, output.empty() ? "/dev/null" : output.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string_view(*e).substr(0, 8) != "DISPLAY=") env.push_back(*e);
    env.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    if (::posix_spawnp(&child, args[0], &actions, nullptr, args.data(), env.data()) != 0) return {};
    ::posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return m;
}

// The best (shortest) of `runs` runs; its peak memory with it.
inline Measured bestOf(int runs, const std::vector<std::string>& argv, const std::string& dir,
                       const std::string& input = "", const std::string& output = "") {
    Measured best;
    best.seconds = 1e300;
    for (int r = 0; r < runs; ++r) {
        const Measured m = runCommand(argv, dir, input, output);
        if (m.seconds < best.seconds) best = m;
    }
    return best;
}

// Runs `work` in a child process and waits for it.
template <class Work>
void inChild(Work&& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

}  // namespace detrend::bench
