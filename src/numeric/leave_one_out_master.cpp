// Leave-one-out biweight masters; see leave_one_out_master.hpp for the
// sources.
#include "numeric/leave_one_out_master.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace detrend::numeric {
namespace {

// The remaining values of an ascending column without one of them.
struct Remaining {
    std::span<const double> v;
    std::size_t skip;
    std::size_t size() const { return skip < v.size() ? v.size() - 1 : v.size(); }
    double operator[](std::size_t k) const { return v[k < skip ? k : k + 1]; }
};

double medianOf(const Remaining& r) {
    const std::size_t n = r.size(), half = n / 2;
    return n % 2 == 1 ? r[half] : (r[half - 1] + r[half]) / 2.0;
}

// The median of |r[k] - m| over k, m the median of r: the deviations are
// merged in ascending order from the middle of the column outward, the
// values left of it below m and those right of it above.
double medianDeviation(const Remaining& r, double m) {
    const std::size_t n = r.size(), half = n / 2;
    std::ptrdiff_t left = static_cast<std::ptrdiff_t>((n - 1) / 2);
    std::size_t right = static_cast<std::size_t>(left) + 1;
    double previous = 0.0, current = 0.0;
    for (std::size_t k = 0; k <= half; ++k) {
        previous = current;
        const double fromLeft =
            left >= 0 ? std::fabs(r[static_cast<std::size_t>(left)] - m) : std::numeric_limits<double>::infinity();
        const double fromRight = right < n ? std::fabs(r[right] - m) : std::numeric_limits<double>::infinity();
        if (fromLeft <= fromRight) {
            current = fromLeft;
            --left;
        } else {
            current = fromRight;
            ++right;
        }
    }
    return n % 2 == 1 ? current : (previous + current) / 2.0;
}

// Working storage of one thread: a year's values with their series, and
// each series' place among them.
struct Column {
    std::vector<std::pair<double, std::uint32_t>> entries;
    std::vector<double> values;
    std::vector<std::uint32_t> place;
};

// The index of year in s.values, or -1 outside them.
long indexOf(const IndexSeries& s, long year) {
    const long at = year - s.first;
    return at >= 0 && at < static_cast<long>(s.values.size()) ? at : -1;
}

void masterYear(std::span<const IndexSeries> series, long year, Column& column,
                std::vector<std::vector<double>>& masters) {
    column.entries.clear();
    for (std::size_t i = 0; i < series.size(); ++i) {
        const long at = indexOf(series[i], year);
        if (at < 0) continue;
        const double v = series[i].values[static_cast<std::size_t>(at)];
        if (!std::isnan(v)) column.entries.push_back({v, static_cast<std::uint32_t>(i)});
    }
    std::sort(column.entries.begin(), column.entries.end());
    column.values.clear();
    for (std::size_t k = 0; k < column.entries.size(); ++k) {
        column.values.push_back(column.entries[k].first);
        column.place[column.entries[k].second] = static_cast<std::uint32_t>(k);
    }
    for (std::size_t i = 0; i < series.size(); ++i) {
        const long at = indexOf(series[i], year);
        if (at < 0) continue;
        // A series without a value that year skips nothing.
        const bool member = !std::isnan(series[i].values[static_cast<std::size_t>(at)]);
        const std::size_t skip = member ? column.place[i] : column.values.size();
        masters[i][static_cast<std::size_t>(at)] = biweightWithout(column.values, skip);
    }
}

}  // namespace

std::vector<std::vector<double>> leaveOneOutMasters(std::span<const IndexSeries> series) {
    std::vector<std::vector<double>> masters(series.size());
    long from = std::numeric_limits<long>::max(), to = std::numeric_limits<long>::min();
    for (std::size_t i = 0; i < series.size(); ++i) {
        masters[i].assign(series[i].values.size(), std::numeric_limits<double>::quiet_NaN());
        if (series[i].values.empty()) continue;
        from = std::min(from, static_cast<long>(series[i].first));
        to = std::max(to, static_cast<long>(series[i].first) + static_cast<long>(series[i].values.size()));
    }
    if (from >= to) return masters;
    tbb::parallel_for(tbb::blocked_range<long>(from, to, 16), [&](const tbb::blocked_range<long>& years) {
        Column column;
        column.place.resize(series.size());
        for (long year = years.begin(); year < years.end(); ++year) masterYear(series, year, column, masters);
    });
    return masters;
}

double biweightWithout(std::span<const double> v, std::size_t skip) {
    const Remaining r{v, skip};
    if (r.size() == 0) return std::numeric_limits<double>::quiet_NaN();
    const double m = medianOf(r);
    const double scale = 9.0 * medianDeviation(r, m) + 1e-6;
    double weights = 0.0;
    double weighted = 0.0;
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (k == skip) continue;
        const double u = (v[k] - m) / scale;
        if (!(std::fabs(u) <= 1.0)) continue;
        double w = 1.0 - u * u;
        w = w * w;
        weights = weights + w;
        weighted = weighted + w * v[k];
    }
    return weighted / weights;
}

}  // namespace detrend::numeric
