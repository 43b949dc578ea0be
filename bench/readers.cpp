// The batch readers alone on the same numbers, 699 series x 9000 years, some
// series starting late: as a free-layout table (-999 before a series' first
// value) and as a CSV (NA there). Each read runs in a child process of its
// own, so that its peak memory is its own; prints the best time of the runs
// and the peak memory (the file's bytes included). Then a site of 250 series
// of 300 years as a Heidelberg and as a TRiDaS file, read in this process
// (bytes in memory to series; best of the runs).
//
//   bench_readers [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <tuple>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/read_heidelberg.hpp"
#include "formats/read_series.hpp"
#include "formats/read_tridas.hpp"
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

// 250 series of 300 ring widths (hundredths of a millimetre), each starting
// in its own year, as a Heidelberg file and as a TRiDaS file.
constexpr int siteSeries = 250, siteYears = 300;

long long width(int s, int k) { return 50 + (s * 37 + k * 11) % 400; }

std::string heidelbergSite() {
    std::string text;
    for (int s = 0; s < siteSeries; ++s) {
        text += "HEADER:\nKeyCode=S" + std::to_string(s) + "\nDateBegin=" + std::to_string(1700 + s % 50) +
                "\nLength=" + std::to_string(siteYears) + "\nUnit=1/100 mm\nTreeNo=" + std::to_string(s / 2) +
                "\nDATA:Tree\n";
        for (int k = 0; k < siteYears; ++k) {
            const std::string value = std::to_string(width(s, k));
            text += std::string(6 - value.size(), ' ') + value;
            if (k % 10 == 9 || k + 1 == siteYears) text += '\n';
        }
    }
    return text;
}

std::string tridasSite() {
    std::string text =
        "<?xml version=\"1.0\"?>\n<tridas xmlns=\"http://www.tridas.org/1.2.2\"><project><title>B</title>\n";
    for (int s = 0; s < siteSeries; ++s) {
        text += "<object><title>SITE</title><element><title>T" + std::to_string(s / 2) +
                "</title><sample><title>A</title><radius><title>1</title><measurementSeries><title>S" +
                std::to_string(s) + "</title><interpretation><firstYear suffix=\"AD\">" +
                std::to_string(1700 + s % 50) +
                "</firstYear></interpretation><values><variable normalTridas=\"ring width\"/>"
                "<unit normalTridas=\"1/100th millimetres\"/>\n";
        for (int k = 0; k < siteYears; ++k) text += "<value value=\"" + std::to_string(width(s, k)) + "\"/>\n";
        text += "</values></measurementSeries></radius></sample></element></object>\n";
    }
    return text + "</project></tridas>\n";
}

template <class Read>
void timeSite(const char* what, const std::string& text, int runs, Read read) {
    double best = 1e300;
    bool ok = true;
    for (int r = 0; r < std::max(runs, 5); ++r) {
        const auto start = std::chrono::steady_clock::now();
        const auto set = read(text);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ok = ok && set.ok() && set->series.size() == static_cast<std::size_t>(siteSeries);
        best = std::min(best, seconds);
    }
    std::printf("%-22s %6.2f MB  read %6.1f ms%s\n", what, static_cast<double>(text.size()) / 1e6, best * 1e3,
                ok ? "" : "  (FAILED)");
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
    std::printf("%d series x %d years, best of %d runs\n", siteSeries, siteYears, std::max(runs, 5));
    timeSite("Heidelberg", heidelbergSite(), runs,
             [](const std::string& t) { return detrend::formats::readHeidelberg(t); });
    timeSite("TRiDaS", tridasSite(), runs, [](const std::string& t) { return detrend::formats::readTridas(t); });
    return 0;
}
