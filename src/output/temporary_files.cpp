#include "output/temporary_files.hpp"

#include <pthread.h>
#include <cerrno>
#include <cstdio>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "base/text.hpp"

namespace detrend::output::temporaries {
namespace {

// The registry is taken under its lock both by the writers and by the
// thread that ends the run: once that thread has it, no writer can create
// another temporary.
struct Registry {
    std::mutex lock;
    std::set<std::string> paths;
    bool interrupted = false;
    std::optional<std::string> input;  // the input being worked on
    std::vector<std::string> replaced;  // its outputs replaced so far
    Messages* messages = nullptr;
};

Registry& registry() {
    static Registry* const instance = new Registry;  // never destroyed: in use until _exit
    return *instance;
}

sigset_t interruptions() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// What became of the input being worked on.
std::string interruptionLine(const Registry& r) {
    if (!r.input) return "interrupted: the outputs of the inputs done before are complete";
    std::string line = "interrupted while working on " + *r.input + ": ";
    if (r.replaced.empty()) return line + "none of its outputs was replaced";
    for (std::size_t i = 0; i < r.replaced.size(); ++i) line += (i == 0 ? "" : ", ") + base::quoted(r.replaced[i]);
    return line + (r.replaced.size() == 1 ? " was" : " were") +
           " complete and replaced; its other outputs were left as they were";
}

[[noreturn]] void endRun(int signal) {
    Registry& r = registry();
    r.lock.lock();  // held until the process ends
    r.interrupted = true;
    for (const std::string& path : r.paths) ::unlink(path.c_str());
    if (r.messages != nullptr) {
        try {
            r.messages->error(interruptionLine(r));
        } catch (const std::bad_alloc&) {
            r.messages->error("interrupted");
        }
    }
    ::_exit(128 + signal);
}

}  // namespace

bool add(const std::string& path) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    if (r.interrupted) return false;
    r.paths.insert(path);
    return true;
}

void remove(const std::string& path) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    r.paths.erase(path);
}

void beginInput(const std::string& label) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    r.input = label;
    r.replaced.clear();
}

int commit(const std::string& path, const std::string& target) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    if (::rename(path.c_str(), target.c_str()) != 0) return errno;
    r.paths.erase(path);
    if (r.input) r.replaced.push_back(target);
    return 0;
}

void endInput() {
    Registry& r = registry();
    const std::lock_guard<std::mutex> guard(r.lock);
    r.input.reset();
    r.replaced.clear();
}

void watchInterruptions(Messages& messages) {
    registry().messages = &messages;
    const sigset_t set = interruptions();
    sigset_t previous;
    if (::pthread_sigmask(SIG_BLOCK, &set, &previous) != 0) return;
    try {
        std::thread([set] {
            int signal = 0;
            while (::sigwait(&set, &signal) != 0) {
            }
            endRun(signal);
        }).detach();
    } catch (const std::system_error&) {
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    } catch (const std::bad_alloc&) {
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
}

}  // namespace detrend::output::temporaries
