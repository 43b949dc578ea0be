// Runs a command as a child process and measures it: wall time and the
// child's peak memory (maximum resident set size).
#pragma once

#include <algorithm>
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

// The best (shortest) of a number of runs, its peak memory with it, and the
// median time (the mean of the middle two for an even number of runs).
struct Repeated {
    Measured best;
    double median = 0;
};

// `runs` runs of a measurement returning Measured.
template <class Measure>
Repeated repeat(int runs, Measure&& measure) {
    Repeated r;
    r.best.seconds = 1e300;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Measured m = measure();
        times.push_back(m.seconds);
        if (m.seconds < r.best.seconds) r.best = m;
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    if (n > 0) r.median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    return r;
}

inline Repeated repeatRuns(int runs, const std::vector<std::string>& argv, const std::string& dir,
                           const std::string& input = "", const std::string& output = "") {
    return repeat(runs, [&] { return runCommand(argv, dir, input, output); });
}

// The best (shortest) of `runs` runs; its peak memory with it.
inline Measured bestOf(int runs, const std::vector<std::string>& argv, const std::string& dir,
                       const std::string& input = "", const std::string& output = "") {
    return repeatRuns(runs, argv, dir, input, output).best;
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
