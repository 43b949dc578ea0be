// A collection the size of a field archive's: 5000 Tucson files of 30 series
// of 300 years each, in the layouts the archive holds (headers numbered in
// other columns, comments, words after the value fields, ids filling columns
// 1-8, stop markers inside a series and repeated at its end, decades given
// twice, a missing decade, thousandths, CR LF, Ctrl-Z), made from a fixed
// seed in a temporary directory. One run of the program over all of them
// with --chron --stats -d OUT, on every core and on one (-j 1); then, in
// this process on one thread, the reading alone (file bytes to series) and
// the fits alone (every usable series, cutoff 30): the one-job run less
// both is the writing (listings, CSVs, chronologies and statistics).
//
//   bench_archive path/to/detrend [files] [series] [years] [plain]
//
// `plain` (any fifth argument) writes every file in the archive's usual
// layout only, for programs that read nothing else.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

#include "formats/read_series.hpp"
#include "numeric/detrending.hpp"
#include "run_command.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(0x9E3779B97F4A7C15ull ^ (seed * 0xBF58476D1CE4E5B9ull)) {}
    unsigned below(unsigned n) {
        state_ ^= state_ >> 12, state_ ^= state_ << 25, state_ ^= state_ >> 27;
        return static_cast<unsigned>(((state_ * 2685821657736338717ull) >> 33) % n);
    }
    bool oneIn(unsigned n) { return below(n) == 0; }

private:
    std::uint64_t state_;
};

// What a file's lines look like.
struct Layout {
    bool crlf = false, comments = false, looseHeader = false, noHeader = false;
    bool words = false, eightColumnIds = false, thousandths = false, endMark = false;
};

Layout layoutOf(Random& random, bool plain) {
    Layout l;
    if (plain) return l;
    l.crlf = random.oneIn(5);
    l.comments = random.oneIn(10);
    l.looseHeader = random.oneIn(10);
    l.noHeader = !l.looseHeader && random.oneIn(10);
    l.words = random.oneIn(10);
    l.eightColumnIds = random.oneIn(10);
    l.thousandths = random.oneIn(5);
    l.endMark = random.oneIn(10);
    return l;
}

std::string header(const Layout& l, int file) {
    std::string text;
    if (l.comments) text += "#--------------------------------\n# Site " + std::to_string(file) + ", made by hand\n";
    if (l.noHeader) return text;
    if (l.looseHeader)
        return text + "BZ  1 Generated site " + std::to_string(file) + "                          PCAB\n" +
               "BZ  2 Nowhere  Spruce\nBZ  3 Bench mark\n";
    return text +
           "SITE  1 Generated site                                        PCAB\n"
           "SITE  2 Nowhere          Spruce     1000M  0000-00000  1600 2000\n"
           "SITE  3 Bench mark\n";
}

// The lines of one series of `years` years from 1600 + a shift.
void appendSeries(std::string& text, Random& random, const Layout& l, int file, int s, int years, bool plain) {
    char id[16], line[128];
    if (l.eightColumnIds)
        std::snprintf(id, sizeof id, "W%05d %d", (file * 31 + s / 10) % 100000, s % 10);
    else
        std::snprintf(id, sizeof id, "G%03d%04d", file % 1000, s);
    const int first = 1600 + static_cast<int>(random.below(100)), last = first + years - 1;
    const bool inner = !plain && random.oneIn(20), repeated = !plain && random.oneIn(10);
    const bool twice = !plain && random.oneIn(50), gap = !plain && random.oneIn(500);
    const int scale = l.thousandths ? 10 : 1;
    for (int year = first; year <= last + 1;) {
        const int start = year;
        int n = std::snprintf(line, sizeof line, "%-8s%4d", id, year);
        do {
            int value = (50 + static_cast<int>(random.below(250))) * scale;
            if (year > last) value = l.thousandths ? -9999 : 999;
            if (inner && !l.thousandths && year == first + 25) value = 999;
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%6d", value);
            ++year;
        } while (year % 10 != 0 && year <= last + 1);
        if (year > last + 1 && repeated && year % 10 != 0)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%6d", l.thousandths ? -9999 : 999);
        if (l.words && year - start == 10) std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "  gap");
        const bool missing = gap && start > first + 100 && start <= first + 110;
        if (!missing) text += std::string(line) + "\n";
        if (twice && start == first + 50) text += std::string(line) + "\n";
    }
}

std::string tucsonFile(int file, int series, int years, bool plain) {
    Random random(static_cast<std::uint64_t>(file) + 1);
    const Layout l = layoutOf(random, plain);
    std::string text = header(l, file);
    for (int s = 0; s < series; ++s) appendSeries(text, random, l, file, s, years, plain);
    if (l.crlf) {
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        text = crlf;
    }
    return l.endMark ? text + "\x1A" : text;
}

// Reading and fitting in this process, on one thread.
struct InProcess {
    double reading = 0, fitting = 0;
    long files = 0, refused = 0, series = 0, usable = 0;
};

InProcess inProcess(const std::vector<std::string>& paths) {
    InProcess r;
    std::vector<detrend::formats::SeriesSet> sets;
    sets.reserve(paths.size());
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) {
        detrend::formats::ReadOptions options;
        options.fileName = path;
        const auto bytes = detrend::formats::readInputFile(path);
        auto read = detrend::formats::readSeries(bytes.result.value(), options);
        ++r.files;
        if (!read.result) {
            ++r.refused;
            continue;
        }
        sets.push_back(std::move(read.result).value());
    }
    r.reading = since(start);
    const detrend::numeric::BurgSpline method;
    detrend::numeric::SeriesScratch scratch;
    detrend::numeric::SeriesFit fit;
    const Clock::time_point fits = Clock::now();
    for (const detrend::formats::SeriesSet& set : sets) {
        for (const detrend::formats::Series& s : set.series) {
            ++r.series;
            if (s.problem || s.values.size() <= 30) continue;
            const std::span<const double> values(s.values);
            method.fit(std::span(&values, 1), 30, scratch, std::span(&fit, 1));
            ++r.usable;
        }
    }
    r.fitting = since(fits);
    return r;
}

// The run of `command` in `dir`, its standard error to `errors`.
detrend::bench::Measured run(const std::vector<std::string>& command, const std::string& dir,
                             const std::string& errors) {
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, STDERR_FILENO);
    const detrend::bench::Measured m = detrend::bench::runCommand(command, dir);
    ::dup2(saved, STDERR_FILENO);
    ::close(file);
    ::close(saved);
    return m;
}

// The lines of a file.
long lineCount(const std::string& path) {
    std::ifstream in(path);
    long n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_archive path/to/detrend [files] [series] [years] [plain]\n");
        return 2;
    }
    const int files = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int series = argc > 3 ? std::atoi(argv[3]) : 30;
    const int years = argc > 4 ? std::atoi(argv[4]) : 300;
    const bool plain = argc > 5;
    char* program = ::realpath(argv[1], nullptr);
    char dir[] = "/tmp/detrend-archive-XXXXXX";
    if (program == nullptr || ::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;
    std::vector<std::string> paths, command = {program, "-q", "-c", "30", "--chron", "--stats", "-d", "out"};
    for (int f = 0; f < files; ++f) paths.push_back(d + "/site" + std::to_string(f) + ".rwl");
    command.insert(command.end(), paths.begin(), paths.end());
    // Made in a child: the runs' peak memory is their own.
    detrend::bench::inChild([&] {
        for (int f = 0; f < files; ++f)
            std::ofstream(paths[static_cast<std::size_t>(f)]) << tucsonFile(f, series, years, plain);
    });
    std::printf("%d Tucson files of %d series x %d years (%s layouts)\n", files, series, years,
                plain ? "the usual" : "mixed");
    const detrend::bench::Measured all = run(command, d, d + "/errors.txt");
    command.insert(command.begin() + 1, {"-j", "1"});
    const detrend::bench::Measured one = run(command, d, d + "/errors.txt");
    const InProcess r = inProcess(paths);
    const double total = static_cast<double>(files) * series;
    std::printf("every core: %.2f s, %.0f files/s, %.0f series/s, peak %.1f MB, status %d\n", all.seconds,
                files / all.seconds, total / all.seconds, all.peakMB, all.status);
    std::printf("-j 1:       %.2f s, %.0f files/s, %.0f series/s, status %d\n", one.seconds, files / one.seconds,
                total / one.seconds, one.status);
    std::printf("in process: %ld files read (%ld refused), %ld series, %ld fitted; %ld lines on standard error\n",
                r.files, r.refused, r.series, r.usable, lineCount(d + "/errors.txt"));
    std::printf("split of -j 1: reading %.2f s (%.0f%%), fits %.2f s (%.0f%%), writing and the rest %.2f s (%.0f%%)\n",
                r.reading, 100 * r.reading / one.seconds, r.fitting, 100 * r.fitting / one.seconds,
                one.seconds - r.reading - r.fitting, 100 * (one.seconds - r.reading - r.fitting) / one.seconds);
    if (std::getenv("BENCH_KEEP") == nullptr) std::system(("rm -rf " + d).c_str());
    std::free(program);
    return 0;
}
