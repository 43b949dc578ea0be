// Biweight and arithmetic means; see biweight.hpp for the sources.
#include "numeric/biweight.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::numeric {
namespace {

// The median of v[0..n), which it reorders.
double median(double* v, std::size_t n) {
    const std::size_t half = n / 2;
    std::nth_element(v, v + half, v + n);
    if (n % 2 == 1) return v[half];
    const double below = *std::max_element(v, v + half);
    return (below + v[half]) / 2.0;
}

}  // namespace

double biweightMean(std::span<const double> x, std::vector<double>& scratch) {
    const std::size_t n = x.size();
    if (n == 0) return std::numeric_limits<double>::quiet_NaN();
    scratch.resize(2 * n);
    double* const sorted = scratch.data();
    double* const deviation = sorted + n;
    std::copy(x.begin(), x.end(), sorted);
    std::sort(sorted, sorted + n);
    const double m = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
    for (std::size_t i = 0; i < n; ++i) deviation[i] = std::fabs(sorted[i] - m);
    const double scale = 9.0 * median(deviation, n) + 1e-6;

    double weights = 0.0;
    double weighted = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double u = (sorted[i] - m) / scale;
        if (!(std::fabs(u) <= 1.0)) continue;
        double w = 1.0 - u * u;
        w = w * w;
        weights = weights + w;
        weighted = weighted + w * sorted[i];
    }
    return weighted / weights;
}

double arithmeticMean(std::span<const double> x, std::vector<double>& scratch) {
    const std::size_t n = x.size();
    if (n == 0) return std::numeric_limits<double>::quiet_NaN();
    scratch.assign(x.begin(), x.end());
    std::sort(scratch.begin(), scratch.end());
    double sum = 0.0;
    for (double v : scratch) sum = sum + v;
    return sum / static_cast<double>(n);
}

}  // namespace detrend::numeric
