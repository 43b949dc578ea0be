// The time of a picture of a 300-year series: the renderer on one and on two
// threads, for PNG, SVG and PDF (the aim: at most 15 ms of one core for a
// 1200 x 700 PNG). Every picture is written to a file in a temporary directory,
// as the program would. Prints, per picture, the wall time and the processor
// time of all threads.
//
//   bench_plot_pictures [pictures [DIR]]
//
// With DIR, one picture of each kind and format is kept there as well.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "plot/files/picture.hpp"

namespace fs = std::filesystem;
using namespace detrend::plot;

namespace {

constexpr int years = 300, firstYear = 1712;

// A ring-width series: an age trend, a slow wave and noise; a running mean
// stands in for the spline.
struct Series {
    std::vector<float> values, spline, index;
    std::vector<double> chronology;
    std::vector<int> depths;
};

Series makeSeries() {
    Series s;
    unsigned state = 12345;
    for (int i = 0; i < years; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 8) / double(1 << 24) - 0.5;
        s.values.push_back(
            static_cast<float>((0.6 + 2.2 * std::exp(-i / 80.0) + 0.2 * std::sin(i / 9.0)) * (1 + 0.6 * noise)));
    }
    for (int i = 0; i < years; ++i) {
        double sum = 0;
        int count = 0;
        for (int k = std::max(0, i - 15); k <= std::min(years - 1, i + 15); ++k, ++count)
            sum += static_cast<double>(s.values[static_cast<std::size_t>(k)]);
        s.spline.push_back(static_cast<float>(sum / count));
        s.index.push_back(s.values[static_cast<std::size_t>(i)] / s.spline.back());
        s.chronology.push_back(static_cast<double>(s.index.back()));
        s.depths.push_back(std::min(1 + i / 12, 18));
    }
    return s;
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
    double wallMs, cpuMs;  // per picture
};

// Runs draw(i) for i in [0, n) on `threads` threads.
Timing timed(int n, int threads, const std::function<void(int)>& draw) {
    const double cpu0 = cpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = t; i < n; i += threads) draw(i);
        });
    for (auto& w : workers) w.join();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    return {wall * 1e3 / n, (cpuSeconds() - cpu0) * 1e3 / n};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    const fs::path keep = argc > 2 ? fs::path(argv[2]) : fs::path();
    std::string pattern = (fs::temp_directory_path() / "plot-pictures-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path dir = pattern;

    const Series s = makeSeries();
    const SeriesPicture series{firstYear,    s.values,         s.spline,     s.index, "OAK01 - spline, 50% at 32 years",
                               "ring width", IndexKind::ratio, "ratio index"};
    const ChronologyPicture chronology{firstYear,        s.chronology, s.depths, "site - chronology of 18 series",
                                       IndexKind::ratio, "ratio index"};

    std::printf("%d pictures of %d years, ms per picture (wall / processor time of all threads)\n", n, years);
    std::printf("%-6s %-16s %-16s %-16s\n", "format", "series 1 thread", "series 2 threads", "chronology 1 t.");
    for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf}) {
        const std::string ext(plotFormatExtension(format));
        const auto cairo = [&](int i) {
            const auto p = renderSeriesPicture(series, format);
            if (!p.ok()) std::abort();
            writeFile(dir / ("cairo" + std::to_string(i % 4) + "." + ext), *p);
        };
        const Timing one = timed(n, 1, cairo), two = timed(n, 2, cairo);
        const Timing chron = timed(n, 1, [&](int i) {
            const auto p = renderChronologyPicture(chronology, format);
            if (!p.ok()) std::abort();
            writeFile(dir / ("chronology" + std::to_string(i % 4) + "." + ext), *p);
        });
        std::printf("%-6s %6.2f / %6.2f  %6.2f / %6.2f  %6.2f / %6.2f\n", ext.c_str(), one.wallMs, one.cpuMs,
                    two.wallMs, two.cpuMs, chron.wallMs, chron.cpuMs);
        if (!keep.empty()) {
            fs::create_directories(keep);
            for (const char* what : {"cairo0.", "chronology0."})
                fs::copy_file(dir / (what + ext), keep / (what + ext), fs::copy_options::overwrite_existing);
        }
    }
    fs::remove_all(dir);
    return 0;
}
