// Times of the crossdating analysis: 699 series of 2000 years, full depth
// and staggered (each series a tenth to a half of the years), generated as
// bench_chronology generates its sites, and the three reference files when
// their directory is given.
// Usage: bench_xdate [REFERENCE_DIR]
//
// Complexity, for Y years, N series of n years each and depth d (series with
// a value) in a year: prewhitening O(N n p) (p <= 10 log10 n, the AR order
// search); the masters O(sum over the years of d^2) (each year sorted once,
// O(d log d), then O(d) per series left out); the overall and segment
// correlations O(N n log n) (ranks); lag correlations O(L lagMax) per
// flagged segment.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "synthetic_site.hpp"
#include "numeric/crossdating.hpp"

using namespace detrend::numeric;

namespace {

using detrend::bench::syntheticSite;

// Ring widths of a Tucson file: ID in columns 1-8, year in 9-12, integer
// values after; other lines skipped; 999 and -9999 end a series (hundredths
// and thousandths); years missing inside a series read as 0.
std::vector<std::vector<double>> readTucson(const std::string& path, std::vector<int>& first) {
    std::map<std::string, std::map<int, double>> rings;
    std::vector<std::string> order;
    std::map<std::string, double> divisor;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 13) continue;
        std::istringstream year(line.substr(8, 4)), rest(line.substr(12));
        int y = 0;
        if (!(year >> y)) continue;
        std::vector<int> v;
        for (int x = 0; rest >> x;) v.push_back(x);
        if (v.empty()) continue;
        std::string id = line.substr(0, 8);
        if (!rings.count(id)) order.push_back(id);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == 999 || v[i] == -9999) {
                divisor[id] = v[i] == 999 ? 100.0 : 1000.0;
                break;
            }
            rings[id][y + static_cast<int>(i)] = v[i];
        }
    }
    std::vector<std::vector<double>> out;
    for (const auto& id : order) {
        const auto& r = rings[id];
        first.push_back(r.begin()->first);
        out.emplace_back();
        const double d = divisor.count(id) ? divisor[id] : 100.0;
        for (int y = r.begin()->first; y <= r.rbegin()->first; ++y)
            out.back().push_back(r.count(y) ? r.at(y) / d : 0.0);
    }
    return out;
}

void time(const char* what, const std::vector<std::vector<double>>& values, const std::vector<int>& first) {
    std::vector<IndexSeries> series;
    for (std::size_t i = 0; i < values.size(); ++i) series.push_back({first[i], values[i]});
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t processor = std::clock();
    const CrossdatingResult r = crossdate(series, {});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-28s %zu series: %.3f s (processor %.3f s; %zu segments, %zu flagged)\n", what, series.size(), wall,
                static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC, r.segments.size(), r.lags.size());
}

}  // namespace

int main(int argc, char** argv) {
    for (const bool staggered : {false, true}) {
        const auto values = syntheticSite(699, 2000, staggered);
        time(staggered ? "699 x 2000 staggered" : "699 x 2000", values, std::vector<int>(values.size(), 1001));
    }
    if (argc < 2) return 0;
    for (const char* name : {"az081", "chin008", "newz003"}) {
        std::vector<int> first;
        const auto values = readTucson(std::string(argv[1]) + "/data/" + name + ".rwl", first);
        time(name, values, first);
    }
}
