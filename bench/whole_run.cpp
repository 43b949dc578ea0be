// The whole program with no display: 699 series of 9940 years each at cutoff
// 30, the console replies scripted. Runs the built binary and reports wall
// time and peak memory (maximum resident set size) of each run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "table_text.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_whole_run path/to/detrend [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    char* program = ::realpath(argv[1], nullptr);
    if (program == nullptr) return 1;
    char dir[] = "/tmp/detrend-run-XXXXXX";
    if (::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;
    std::ofstream(d + "/table.txt") << detrend::bench::ringWidthTable(699, 9940);
    std::ofstream(d + "/replies.txt") << "table.txt\nlisting.txt\n700\n-999\n30\n";

    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(dir) != 0) ::_exit(127);
            const int in = ::open("replies.txt", O_RDONLY), out = ::open("/dev/null", O_WRONLY);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::unsetenv("DISPLAY");
            ::execl(program, "detrend", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(child, &status, 0, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("run %d: status %d, wall %.3f s, user %.3f s, system %.3f s, peak memory %.1f MB\n", r + 1,
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds,
                    static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6,
                    static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    std::ifstream listing(d + "/listing.txt", std::ios::binary | std::ios::ate);
    std::printf("listing: %.1f MB\n", static_cast<double>(listing.tellg()) / 1e6);
    std::system(("rm -rf " + d).c_str());
    return 0;
}
