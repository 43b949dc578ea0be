#include "pipeline/series_outcome.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::pipeline {

int Cutoff::forLength(long long n) const {
    if (years > 0) return years;
    const long long share = n * percent / 100;
    return static_cast<int>(std::max<long long>(1, std::min<long long>(share, std::numeric_limits<int>::max())));
}

std::optional<std::string> skipReason(const formats::Series& s, int cutoff) {
    if (s.problem) return *s.problem;
    if (s.values.empty()) return "it has no values";
    const auto gap = std::find_if(s.values.begin(), s.values.end(), [](double v) { return std::isnan(v); });
    if (gap != s.values.end())
        return "it has no value for " + std::to_string(s.firstYear + (gap - s.values.begin())) + ", inside the series";
    const long long n = static_cast<long long>(s.values.size());
    // A response of one half at a period of one year would make the spline
    // a straight line, the stiffest curve rather than the closest.
    if (cutoff == 1) return "its cutoff of 1 year is below 2 years, the shortest period annual values have";
    if (cutoff >= n)
        return "the cutoff " + std::to_string(cutoff) + " is not below its length of " + std::to_string(n) +
               (n == 1 ? " year" : " years");
    return std::nullopt;
}

bool hasSpline(const numeric::SeriesFit& fit) {
    return fit.outcome == numeric::SeriesOutcome::fitted &&
           std::all_of(fit.spline.begin(), fit.spline.end(), [](float v) { return std::isfinite(v); });
}

// A series gets no spline when the cutoff is not a period or no shorter than
// the series, when its values overflow single precision, or when its filter
// is undefined because the series is predicted exactly by a shorter one.
std::string noSplineReason(int cutoff, std::span<const double> values, const numeric::SeriesFit& fit) {
    const std::size_t n = values.size();
    if (cutoff == 0) return "the cutoff 0 is not a period";
    if (static_cast<std::size_t>(cutoff) >= n)
        return "the cutoff " + std::to_string(cutoff) + " is not below the series' length " + std::to_string(n);
    constexpr double largest = std::numeric_limits<float>::max();
    if (std::any_of(values.begin(), values.end(), [](double v) { return std::fabs(v) > largest; }))
        return "a value is too large for single precision";
    // The mean is the sum rounded to single precision.
    double sum = 0.0;
    for (double v : values) sum += static_cast<double>(static_cast<float>(v));
    if (std::fabs(sum) > largest) return "the sum of its values is too large for single precision";
    if (std::any_of(fit.coefficients.begin(), fit.coefficients.end(), [](double d) { return std::isnan(d); }))
        return "the prediction-error filter of length " + std::to_string(cutoff) +
               " is undefined: the series is constant or repeats an exact pattern";
    return "the spline could not be computed";
}

}  // namespace detrend::pipeline
