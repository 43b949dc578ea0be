#include "harness.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef DETREND_BINARY
#error "DETREND_BINARY must name the built program"
#endif

namespace detrend::e2e {

std::vector<std::string> Outcome::fileNames() const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) names.push_back(name);
    return names;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Scenario::Scenario() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/detrend-e2e-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    dir_ = root_ + "/run";
    std::filesystem::create_directory(dir_);
}

Scenario::~Scenario() {
    std::error_code ignored;
    // A test may have taken permissions away; give them back before removing.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root_, ignored);
}

void Scenario::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path(name), std::ios::binary);
    out << bytes;
}

Outcome Scenario::run(const std::string& console, const RunOptions& options) const {
    const std::string in = root_ + "/stdin", out = root_ + "/stdout", err = root_ + "/stderr";
    {
        std::ofstream f(in, std::ios::binary);
        f << console;
    }
    std::string binary = DETREND_BINARY;
    const bool dropPrivileges = options.unprivileged && ::getuid() == 0;
    if (dropPrivileges) {
        // The unprivileged user must reach the run directory and the program,
        // wherever the build lives (a checkout under /root, a private
        // temporary directory): it runs a copy kept next to the run directory.
        namespace fs = std::filesystem;
        fs::permissions(root_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        binary = root_ + "/detrend";
        fs::copy_file(DETREND_BINARY, binary, fs::copy_options::overwrite_existing);
        fs::permissions(binary, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    }
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const std::string input = options.stdinFile.empty() ? in : dir_ + "/" + options.stdinFile;
        const int fdIn = ::open(input.c_str(), O_RDONLY);
        const std::string output = options.stdoutFile.empty() ? out : options.stdoutFile;
        const int fdOut = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fdErr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fdIn < 0 || fdOut < 0 || fdErr < 0 || ::chdir(dir_.c_str()) != 0) ::_exit(127);
        ::dup2(fdIn, 0);
        ::dup2(fdOut, 1);
        ::dup2(fdErr, 2);
        if (dropPrivileges) {
            constexpr uid_t nobody = 65534;
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(126);
        }
        if (options.fileSizeLimitBytes > 0) {
            const rlim_t bytes = static_cast<rlim_t>(options.fileSizeLimitBytes);
            const struct rlimit limit = {bytes, bytes};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        if (options.memoryLimitKiB > 0) {
            const rlim_t bytes = static_cast<rlim_t>(options.memoryLimitKiB) * 1024;
            const struct rlimit limit = {bytes, bytes};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
        }
        if (options.display) {
            ::setenv("DISPLAY", options.display->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
        std::vector<char*> argv{const_cast<char*>("detrend")};
        for (const std::string& a : options.arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }

    Outcome outcome;
    int raw = 0;
    bool signalled = options.signal == 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    for (;;) {
        const pid_t done = ::waitpid(child, &raw, WNOHANG);
        if (done == child) break;
        if (!signalled && std::filesystem::exists(dir_ + "/" + options.signalWhen)) {
            ::kill(child, options.signal);
            signalled = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    outcome.out = readFile(out);
    outcome.err = readFile(err);
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory()) {
            outcome.files[name] = readFile(entry.path().string());
            continue;
        }
        outcome.files[name + "/"] = "";
        std::error_code unreadable;
        for (const auto& inner : std::filesystem::directory_iterator(entry.path(), unreadable))
            outcome.files[name + "/" + inner.path().filename().string() + (inner.is_directory() ? "/" : "")] = "";
    }
    return outcome;
}

Outcome batch(const Scenario& s, std::vector<std::string> arguments, RunOptions options, const std::string& input) {
    options.arguments = std::move(arguments);
    return s.run(input, options);
}

// The fenced block that follows the line `marker` in the README.
std::string readmeBlock(const std::string& marker) {
    const std::string readme = readFile(std::string(DETREND_SOURCE_DIR) + "/README.md");
    const std::size_t at = readme.find(marker + "\n```\n");
    if (at == std::string::npos) return "";
    const std::size_t start = at + marker.size() + 5;
    return readme.substr(start, readme.find("```\n", start) - start);
}

}  // namespace detrend::e2e
