#include "output/temporary_files.hpp"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace detrend::output::temporaries {
namespace {

// The registry is taken under its lock both by the writers and by the
// thread that ends the run: once that thread has it, no writer can create
// another temporary.
struct Registry {
    std::mutex lock;
    std::set<std::string> paths;
    bool interrupted = false;
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

[[noreturn]] void endRun(int signal) {
    Registry& r = registry();
    r.lock.lock();  // held until the process ends
    r.interrupted = true;
    for (const std::string& path : r.paths) ::unlink(path.c_str());
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

void watchInterruptions() {
    registry();
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
