// Descriptive statistics of one series; see series_statistics.hpp for the
// sources.
#include "numeric/series_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Sums over the adjacent years that both have a value.
struct Adjacent {
    double lagProducts = 0.0, sensitivity = 0.0, change = 0.0;
    std::size_t pairs = 0;
};

Adjacent adjacentSums(std::span<const double> v, double mean) {
    Adjacent a;
    for (std::size_t t = 1; t < v.size(); ++t) {
        if (std::isnan(v[t]) || std::isnan(v[t - 1])) continue;
        const double difference = std::fabs(v[t] - v[t - 1]);
        const double middle = (v[t] + v[t - 1]) / 2.0;
        a.lagProducts = a.lagProducts + (v[t - 1] - mean) * (v[t] - mean);
        a.sensitivity = a.sensitivity + (middle == 0.0 ? 0.0 : difference / middle);
        a.change = a.change + difference;
        ++a.pairs;
    }
    return a;
}

}  // namespace

SeriesStatistics seriesStatistics(const IndexSeries& s, std::vector<double>& scratch) {
    SeriesStatistics out;
    std::size_t begin = 0, end = s.values.size();
    while (begin < end && std::isnan(s.values[begin])) ++begin;
    while (end > begin && std::isnan(s.values[end - 1])) --end;
    const std::span<const double> v = s.values.subspan(begin, end - begin);
    scratch.clear();
    for (double x : v)
        if (!std::isnan(x)) scratch.push_back(x);
    const std::size_t n = scratch.size();
    out.length = n;
    if (n == 0) {
        out.mean = out.median = out.stdev = out.skewness = out.gini = out.ar1 = out.sens1 = out.sens2 = notANumber;
        return out;
    }
    out.first = s.first + static_cast<int>(begin);
    out.last = s.first + static_cast<int>(end) - 1;

    const double count = static_cast<double>(n);
    double sum = 0.0;
    for (double x : scratch) sum = sum + x;
    out.mean = sum / count;
    double squares = 0.0, cubes = 0.0;
    for (double x : scratch) {
        const double d = x - out.mean;
        squares = squares + d * d;
        cubes = cubes + d * d * d;
        out.zeros += x == 0.0 ? 1 : 0;
    }
    out.stdev = n < 2 ? notANumber : std::sqrt(squares / (count - 1.0));
    out.skewness = cubes / count / (out.stdev * out.stdev * out.stdev);

    std::sort(scratch.begin(), scratch.end());
    out.median = n % 2 == 1 ? scratch[n / 2] : (scratch[n / 2 - 1] + scratch[n / 2]) / 2.0;
    double ordered = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        ordered = ordered + (2.0 * static_cast<double>(i + 1) - count - 1.0) * scratch[i];
    out.gini = ordered / (count * count * out.mean);

    const Adjacent a = adjacentSums(v, out.mean);
    out.ar1 = a.lagProducts / squares;
    const double pairs = a.pairs == 0 ? notANumber : static_cast<double>(a.pairs);
    out.sens1 = a.sensitivity / pairs;
    out.sens2 = a.change / pairs / out.mean;
    return out;
}

}  // namespace detrend::numeric
