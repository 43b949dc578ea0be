// The largest table the dialogue accepts (699 series x 9940 years, 42 MB),
// timed against `wc -w` of the same file in the same run: the table read
// alone, the whole dialogue run, and whole batch runs with 1, 2 and the
// default number of workers. Prints the best and the median time of each, their
// ratios to the best and the median of `wc -w`, and the peak memory.
//
//   bench_throughput path/to/detrend [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

#include "dialogue/console.hpp"
#include "dialogue/series_table.hpp"
#include "output/messages.hpp"
#include "run_command.hpp"
#include "table_text.hpp"

using detrend::bench::Measured;
using detrend::bench::repeat;
using detrend::bench::Repeated;
using detrend::bench::repeatRuns;

namespace {

// The table read alone, in this process, through the dialogue's reader.
Repeated readAlone(const std::string& path, int runs) {
    static detrend::dialogue::SeriesTable table;
    std::FILE* devnull = std::fopen("/dev/null", "w");
    const Repeated r = repeat(runs, [&] {
        const std::string replies = "700\n-999\n";
        detrend::formats::LineReader consoleLines(replies, "console");
        detrend::output::Messages messages(devnull, devnull);
        detrend::dialogue::Console console(consoleLines, devnull, messages);
        const auto start = std::chrono::steady_clock::now();
        const int in = ::open(path.c_str(), O_RDONLY);
        {
            detrend::formats::LineReader lines(in, "input file");
            detrend::formats::FreeReader file(lines);
            int columns = 0;
            float flag = 0.0f;
            detrend::dialogue::askColumnsAndFlag(console, columns, flag);
            detrend::dialogue::readSeriesTable(file, columns, flag, console, table);
        }
        ::close(in);
        Measured m;
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        m.status = 0;
        return m;
    });
    std::fclose(devnull);
    return r;
}

void report(const char* what, const Repeated& r, const Repeated& base) {
    std::printf("%-34s %7.3f s %5.2f x  %7.3f s %5.2f x  peak %6.1f MB  status %d\n", what, r.best.seconds,
                r.best.seconds / base.best.seconds, r.median, r.median / base.median, r.best.peakMB, r.best.status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_throughput path/to/detrend [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char* program = ::realpath(argv[1], nullptr);
    char dir[] = "/tmp/detrend-throughput-XXXXXX";
    if (program == nullptr || ::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;
    // The table is made by a child process: a command's peak memory counts
    // from the highest resident size of this process.
    detrend::bench::inChild([&] { std::ofstream(d + "/table.txt") << detrend::bench::ringWidthTable(699, 9940); });
    const auto tableBytes = static_cast<std::size_t>(std::ifstream(d + "/table.txt", std::ios::ate).tellg());
    std::ofstream(d + "/replies.txt") << "table.txt\nlisting.txt\n700\n-999\n30\n";
    std::printf("table: 699 series x 9940 years, %.1f MB; %d runs each; %ld cores\n",
                static_cast<double>(tableBytes) / 1e6, runs, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-34s %17s  %17s\n", "", "best, x wc -w", "median, x wc -w");

    const Repeated wc = repeatRuns(runs, {"wc", "-w", "table.txt"}, d);
    report("wc -w", wc, wc);
    report("table read alone (in process)", readAlone(d + "/table.txt", runs), wc);
    report("dialogue, whole run", repeatRuns(runs, {program}, d, d + "/replies.txt"), wc);
    for (const char* jobs : {"1", "2"}) {
        const std::string what = std::string("batch -o listing, -j ") + jobs;
        report(what.c_str(),
               repeatRuns(runs, {program, "-q", "-c", "30", "-j", jobs, "-o", "listing.txt", "table.txt"}, d), wc);
    }
    report("batch -o listing, default jobs",
           repeatRuns(runs, {program, "-q", "-c", "30", "-o", "listing.txt", "table.txt"}, d), wc);
    std::system(("rm -rf " + d).c_str());
    std::free(program);
    return 0;
}
