// Standard and residual chronologies; see chronology.hpp for the sources.
#include "numeric/chronology.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/autoregression.hpp"
#include "numeric/biweight.hpp"

namespace detrend::numeric {

Chronology buildChronology(std::span<const IndexSeries> series, ChronologyMean mean) {
    Chronology chronology;
    const std::size_t n = series.size();
    // Each series' values from the first to the last, and their years.
    std::vector<std::span<const double>> span(n);
    std::vector<long> from(n);
    long first = 0, last = -1;
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto& v = series[i].values;
        std::size_t begin = 0, end = v.size();
        while (begin < end && std::isnan(v[begin])) ++begin;
        while (end > begin && std::isnan(v[end - 1])) --end;
        span[i] = v.subspan(begin, end - begin);
        from[i] = static_cast<long>(series[i].first) + static_cast<long>(begin);
        if (span[i].empty()) continue;
        const long to = from[i] + static_cast<long>(span[i].size()) - 1;
        first = any ? std::min(first, from[i]) : from[i];
        last = any ? std::max(last, to) : to;
        any = true;
        if (std::any_of(span[i].begin(), span[i].end(), [](double x) { return std::isnan(x); }))
            chronology.leftOutOfResidual.push_back(i);
    }
    if (!any) return chronology;

    std::vector<std::vector<double>> residual(n);
    tbb::parallel_for(std::size_t{0}, n, [&](std::size_t i) {
        if (std::binary_search(chronology.leftOutOfResidual.begin(), chronology.leftOutOfResidual.end(), i)) return;
        residual[i].resize(span[i].size());
        prewhiten(span[i], residual[i]);
    });

    const auto years = static_cast<std::size_t>(last - first + 1);
    chronology.first = static_cast<int>(first);
    chronology.standard.resize(years);
    chronology.residual.resize(years);
    chronology.depth.resize(years);
    const auto average = mean == ChronologyMean::biweight ? biweightMean : arithmeticMean;
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, years), [&](const tbb::blocked_range<std::size_t>& range) {
        std::vector<double> values, residuals, scratch;
        for (std::size_t y = range.begin(); y < range.end(); ++y) {
            const long year = first + static_cast<long>(y);
            values.clear();
            residuals.clear();
            for (std::size_t i = 0; i < n; ++i) {
                if (year < from[i] || year - from[i] >= static_cast<long>(span[i].size())) continue;
                const auto t = static_cast<std::size_t>(year - from[i]);
                if (!std::isnan(span[i][t])) values.push_back(span[i][t]);
                if (!residual[i].empty() && !std::isnan(residual[i][t])) residuals.push_back(residual[i][t]);
            }
            chronology.standard[y] = average(values, scratch);
            chronology.residual[y] = average(residuals, scratch);
            chronology.depth[y] = static_cast<int>(values.size());
        }
    });
    return chronology;
}

}  // namespace detrend::numeric
