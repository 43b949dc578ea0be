// The batch readers alone on the same numbers, 699 series x 9000 years, some
// series starting late: as a free-layout table (-999 before a series' first
// value) and as a CSV (NA there). Each read runs in a child process of its
// own, so that its peak memory is its own; prints the best time of the runs
// and the peak memory (the file's bytes included).
//
//   bench_readers [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <tuple>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/read_series.hpp"
#include "table_text.hpp"

namespace {

struct Measured {
    double seconds = 1e300, peakMB = 0;
    bool ok = true;
};

// Reads `path` as `format` in a child process: the read's time (file bytes
// to series), whether it succeeded, and the child's peak memory.
Measured readInChild(const std::string& path, detrend::formats::FormatChoice format) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        detrend::formats::ReadOptions options;
        options.format = format;
        const auto start = std::chrono::steady_clock::now();
        const auto bytes = detrend::formats::readInputFile(path);
        const bool ok = bytes.result && detrend::formats::readSeries(bytes.result.value(), options).result.ok();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) seconds = -1;
        (void)!::write(pipeEnds[1], &seconds, sizeof seconds);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    double seconds = -1;
    (void)!::read(pipeEnds[0], &seconds, sizeof seconds);
    ::close(pipeEnds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0, seconds >= 0};
}

Measured bestOf(int runs, const std::string& path, detrend::formats::FormatChoice format) {
    Measured best;
    for (int r = 0; r < runs; ++r) {
        const Measured m = readInChild(path, format);
        best.ok = best.ok && m.ok;
        if (m.seconds < best.seconds) best.seconds = m.seconds;
        if (m.peakMB > best.peakMB) best.peakMB = m.peakMB;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    char dir[] = "/tmp/detrend-readers-XXXXXX";
    if (::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;
    const pid_t writer = ::fork();  // keeps this process small: children inherit its pages
    if (writer == 0) {
        std::ofstream(d + "/table.txt") << detrend::bench::ringWidthTable(699, 9000, 1000, ' ', "-999", 7);
        std::ofstream(d + "/table.csv") << detrend::bench::ringWidthTable(699, 9000, 1000, ',', "NA", 7);
        ::_exit(0);
    }
    ::waitpid(writer, nullptr, 0);
    std::printf("699 series x 9000 years; best of %d runs, peak memory of the reading process\n", runs);
    using detrend::formats::FormatChoice;
    for (const auto& [what, file, format] : {std::tuple{"free-layout table", "/table.txt", FormatChoice::table},
                                             {"CSV", "/table.csv", FormatChoice::csv},
                                             {"CSV, format detected", "/table.csv", FormatChoice::automatic}}) {
        const Measured m = bestOf(runs, d + file, format);
        const auto bytes = static_cast<double>(std::ifstream(d + file, std::ios::ate).tellg());
        std::printf("%-22s %6.1f MB  read %6.3f s  peak %6.1f MB%s\n", what, bytes / 1e6, m.seconds, m.peakMB,
                    m.ok ? "" : "  (FAILED)");
    }
    std::system(("rm -rf " + d).c_str());
    return 0;
}
