// Runs the built detrend binary in a fresh temporary directory with a scripted
// console and collects everything it left behind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace detrend::e2e {

struct Outcome {
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal number
    // The run directory afterwards: regular files with their contents;
    // directories appear with a trailing "/" and no contents, and so do the
    // files and directories inside them, as "dir/name".
    std::map<std::string, std::string> files;

    std::vector<std::string> fileNames() const;
};

struct RunOptions {
    std::vector<std::string> arguments;  // command-line arguments after the program name
    std::optional<std::string> display;  // DISPLAY for the run; unset by default
    int timeoutSeconds = 120;
    // Run as the unprivileged user "nobody" when the tests run as root, so
    // that file permissions apply (root ignores them).
    bool unprivileged = false;
    // The run's address-space limit in KiB, as `ulimit -v` sets it; 0: none.
    unsigned long memoryLimitKiB = 0;
    // The largest file the run may write, as `ulimit -f` sets it, with
    // SIGXFSZ ignored so that a longer write fails (EFBIG); 0: no limit.
    unsigned long fileSizeLimitBytes = 0;
    // A signal sent to the run once the file `signalWhen` (relative to the
    // run directory) exists; none when 0.
    int signal = 0;
    std::string signalWhen;
    // Standard input from this file of the run directory instead of the
    // console text.
    std::string stdinFile;
    // Standard output to this file (/dev/full) instead of Outcome::out.
    std::string stdoutFile;
};

class Scenario {
public:
    Scenario();
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // Puts a file into the run directory.
    void write(const std::string& name, const std::string& bytes) const;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

    // Runs detrend in the run directory with `console` as its standard input.
    Outcome run(const std::string& console, const RunOptions& options = {}) const;

private:
    std::string root_;  // holds the run directory and the captured streams
    std::string dir_;
};

// The fenced block that follows the line `marker` in the README; empty when
// there is none.
std::string readmeBlock(const std::string& marker);

// A batch run: the program with `arguments` (and `options`), `input` on
// its standard input.
Outcome batch(const Scenario& s, std::vector<std::string> arguments, RunOptions options = {},
              const std::string& input = "");

// Reads a whole file.
std::string readFile(const std::string& path);

}  // namespace detrend::e2e
