// rbar, EPS and SNR of a set of index series; see signal_statistics.hpp for
// the sources.
#include "numeric/signal_statistics.hpp"

#include <tbb/parallel_sort.h>

#include <cmath>
#include <limits>
#include <vector>

namespace detrend::numeric {

SignalStatistics signalStatistics(std::span<const IndexSeries> series, CorrelationMethod method) {
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    SignalStatistics s;
    s.rbar = s.eps = s.snr = notANumber;
    for (const IndexSeries& one : series) {
        bool any = false;
        for (std::size_t i = 0; i < one.values.size(); ++i) {
            if (std::isnan(one.values[i])) continue;
            const int year = one.first + static_cast<int>(i);
            if (!s.first || year < *s.first) s.first = year;
            if (!s.last || year > *s.last) s.last = year;
            any = true;
        }
        s.series += any ? 1 : 0;
    }
    if (s.series < 2) return s;

    std::vector<double> r;
    for (const PairCorrelation& p : pairCorrelations(series, method))
        if (!std::isnan(p.r)) r.push_back(p.r);
    s.pairs = r.size();
    if (r.empty()) return s;
    tbb::parallel_sort(r.begin(), r.end());
    double sum = 0.0;
    for (double v : r) sum = sum + v;
    const double rbar = sum / static_cast<double>(r.size());
    const double n = static_cast<double>(s.series);
    const double epsDenominator = (n - 1.0) * rbar + 1.0;
    s.rbar = rbar;
    s.eps = epsDenominator == 0.0 ? notANumber : n * rbar / epsDenominator;
    s.snr = rbar == 1.0 ? std::numeric_limits<double>::infinity() : n * rbar / (1.0 - rbar);
    return s;
}

}  // namespace detrend::numeric
