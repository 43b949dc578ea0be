// Large tables through the whole program, each timed against `wc -w` of
// the same file in the same run:
// - the largest table the dialogue accepts (699 series x 9940 years, 42 MB):
//   its read alone, the whole dialogue run, batch runs with 1, 2 and the
//   default number of workers;
// - 699 series x 9000 years, some starting late, written both as a
//   free-layout table (-999) and as a CSV (NA) from the same values: the
//   listing, and the listing with the index CSV, from each;
// - what the chronology and the statistics add to a batch run, for a typical
//   site (100 series x 1000 years) and for the 699 x 9940 table.
// Prints the best and the median time of each, their ratios to the best and
// the median of `wc -w` (or of the run without the addition), and the peak
// memory.
//
//   bench_throughput path/to/detrend [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <utility>
#include <vector>
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
            if (detrend::dialogue::askColumnsAndFlag(console, columns, flag).ok())
                (void)detrend::dialogue::readSeriesTable(file, columns, flag, console, table);
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

// Table and CSV in, listing and index CSV out, on the same values.
void tableAndCsv(const std::string& program, const std::string& d, int runs) {
    const Repeated wc = repeatRuns(runs, {"wc", "-w", "t9000.txt"}, d);
    std::printf("\n699 series x 9000 years, as a table and as a CSV\n");
    report("wc -w of the table", wc, wc);
    const Repeated table = repeatRuns(runs, {program, "-q", "-c", "30", "-o", "l.txt", "t9000.txt"}, d);
    report("table in, listing out", table, wc);
    report("CSV in, listing out", repeatRuns(runs, {program, "-q", "-c", "30", "-o", "l.txt", "t9000.csv"}, d), wc);
    report("table in, listing + --csv out",
           repeatRuns(runs, {program, "-q", "-c", "30", "-o", "l.txt", "--csv", "i.csv", "t9000.txt"}, d), wc);
    const Repeated csv = repeatRuns(runs, {program, "-q", "-c", "30", "-o", "l.txt", "--csv", "i.csv", "t9000.csv"}, d);
    report("CSV in, listing + --csv out", csv, wc);
    report("  the same with -j 1",
           repeatRuns(runs, {program, "-q", "-c", "30", "-j", "1", "-o", "l.txt", "--csv", "i.csv", "t9000.csv"}, d),
           wc);
    std::printf("CSV in, listing + --csv out / table in, listing out: best %.2f, median %.2f (aim: 1.5)\n",
                csv.best.seconds / table.best.seconds, csv.median / table.median);
}

// What --chron and --stats add to a batch run of `table`.
void chronologyAdds(const std::string& program, const std::string& d, const std::string& table, int runs) {
    const std::vector<std::string> base = {program, "-q", "-c", "30", "-o", "l.txt"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> command = base;
        command.insert(command.end(), extra.begin(), extra.end());
        command.push_back(table);
        return repeatRuns(runs, command, d);
    };
    const Repeated plain = with({});
    report("  listing", plain, plain);
    for (const auto& [what, extra] :
         {std::pair<const char*, std::vector<std::string>>{"  + --chron", {"--chron=c.csv"}},
          {"  + --stats", {"--stats=s.csv"}},
          {"  + --chron --stats", {"--chron=c.csv", "--stats=s.csv"}}}) {
        const Repeated r = with(extra);
        std::printf("%-34s %7.3f s (+%.3f s)  median %7.3f s (+%.3f s)  peak %6.1f MB  status %d\n", what,
                    r.best.seconds, r.best.seconds - plain.best.seconds, r.median, r.median - plain.median,
                    r.best.peakMB, r.best.status);
    }
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
    // The tables are made by a child process: a command's peak memory counts
    // from the highest resident size of this process.
    detrend::bench::inChild([&] {
        using detrend::bench::ringWidthTable;
        std::ofstream(d + "/table.txt") << ringWidthTable(699, 9940);
        std::ofstream(d + "/t9000.txt") << ringWidthTable(699, 9000, 1000, ' ', "-999", 3);
        std::ofstream(d + "/t9000.csv") << ringWidthTable(699, 9000, 1000, ',', "NA", 3);
        std::ofstream(d + "/site.txt") << ringWidthTable(100, 1000);
    });
    const auto tableBytes = static_cast<std::size_t>(std::ifstream(d + "/table.txt", std::ios::ate).tellg());
    std::ofstream(d + "/replies.txt") << "table.txt\nlisting.txt\n700\n-999\n30\n";
    std::printf("table: 699 series x 9940 years, %.1f MB; %d runs each; %ld cores\n",
                static_cast<double>(tableBytes) / 1e6, runs, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-34s %17s  %17s\n", "", "best, x wc -w", "median, x wc -w");

    const Repeated wc = repeatRuns(runs, {"wc", "-w", "table.txt"}, d);
    report("wc -w", wc, wc);
    report("dialogue, whole run", repeatRuns(runs, {program}, d, d + "/replies.txt"), wc);
    for (const char* jobs : {"1", "2"}) {
        const std::string what = std::string("batch -o listing, -j ") + jobs;
        report(what.c_str(),
               repeatRuns(runs, {program, "-q", "-c", "30", "-j", jobs, "-o", "listing.txt", "table.txt"}, d), wc);
    }
    report("batch -o listing, default jobs",
           repeatRuns(runs, {program, "-q", "-c", "30", "-o", "listing.txt", "table.txt"}, d), wc);

    tableAndCsv(program, d, runs);
    std::printf("\nchronology and statistics, 100 series x 1000 years\n");
    chronologyAdds(program, d, "site.txt", runs);
    std::printf("chronology and statistics, 699 series x 9940 years\n");
    chronologyAdds(program, d, "table.txt", std::max(1, runs / 2));
    // Last: the table it reads stays in this process, and a child's peak
    // memory would count it.
    std::printf("\n");
    report("table read alone (in process)", readAlone(d + "/table.txt", runs), wc);
    std::system(("rm -rf " + d).c_str());
    std::free(program);
    return 0;
}
