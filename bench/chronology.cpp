// Times of a site's signal statistics and chronology: the dialogue's largest
// table, 699 series of 9940 years each, and a common site, 100 series of 1000
// years, and 699 staggered series within 1000 years; and the pair
// correlations alone of 10^5 and 10^6 one-decade series spread over 10000
// years, of which no pair shares 30 years.
// Usage: bench_chronology [series years [staggered]] | bench_chronology short COUNT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "synthetic_site.hpp"
#include "numeric/chronology.hpp"
#include "numeric/signal_statistics.hpp"

using namespace detrend::numeric;

namespace {

using detrend::bench::syntheticSite;

// Wall-clock seconds, and processor seconds over all threads.
struct Times {
    double wall, processor;
};

template <class F>
Times seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t processor = std::clock();
    f();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC};
}

void run(int count, int years, bool staggered) {
    const auto values = syntheticSite(count, years, staggered);
    std::vector<IndexSeries> series;
    for (const auto& v : values) series.push_back({1, v});
    for (auto method : {CorrelationMethod::pearson, CorrelationMethod::spearman}) {
        SignalStatistics s;
        const Times t = seconds([&] { s = signalStatistics(series, method); });
        std::printf("%d x %d%s %s: %.3f s (processor %.3f s; rbar %.6f, %zu pairs)\n", count, years,
                    staggered ? " staggered" : "", method == CorrelationMethod::pearson ? "pearson" : "spearman",
                    t.wall, t.processor, s.rbar, s.pairs);
    }
    const Times t = seconds([&] { buildChronology(series, ChronologyMean::biweight); });
    std::printf("%d x %d%s chronology (biweight): %.3f s (processor %.3f s)\n", count, years,
                staggered ? " staggered" : "", t.wall, t.processor);
}

// count series of 10 years each, starting anywhere in 10000 years.
void runShort(int count) {
    unsigned long state = 1;
    auto next = [&] { return state = state * 16807 % 2147483647; };
    std::vector<std::vector<double>> values(static_cast<std::size_t>(count));
    std::vector<IndexSeries> series;
    for (auto& v : values) {
        for (int t = 0; t < 10; ++t) v.push_back(0.5 + static_cast<double>(next()) / 2147483647.0);
        series.push_back({static_cast<int>(next() % 10000), v});
    }
    std::size_t pairs = 0;
    const Times t = seconds([&] { pairs = pairCorrelations(series, CorrelationMethod::spearman).size(); });
    std::printf("%d x 10 short spearman pairs: %.3f s (processor %.3f s; %zu pairs)\n", count, t.wall, t.processor,
                pairs);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "short") {
        runShort(std::atoi(argv[2]));
        return 0;
    }
    if (argc >= 3) {
        run(std::atoi(argv[1]), std::atoi(argv[2]), argc > 3);
        return 0;
    }
    run(100, 1000, false);
    run(699, 9940, false);
    run(699, 1000, true);
    runShort(100000);
    runShort(1000000);
}
