// What every detrending method of one series fills: the fitted growth curve,
// the method that produced it after any fallback, why it fell back, and the
// fit's parameters. The index of a series is its values divided by the curve
// (ratio) or minus it (difference), with zero rings raised to zeroRingWidth
// as for the fit (after a fit, scratch.values holds them); only
// prewhitening (Method::ar) makes the index directly.
#pragma once

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "numeric/spline.hpp"

namespace detrend::numeric {

enum class Method { burgSpline, spline, negexp, hugershoff, mean, ar, friedman, ageSpline, line };
// When the nonlinear fits keep a >= 0, b <= 0, k >= 0 (negexp) or a, b, g,
// d >= 0 (Hugershoff): never, only after an unconstrained fit failed, always.
enum class Constrain { never, whenFail, always };

struct MethodOptions {
    int cutoff = 0;  // spline: the 50% response period; 0: floor(0.67 n)
    Constrain constrain = Constrain::never;
    bool posSlope = false;  // the line fallback may rise
    int nyrs0 = 50;  // age-dependent spline: the stiffness of the first ring
    int bass = 0;  // super smoother: 0..10, the higher the smoother
    double span = 0.0;  // super smoother: a fixed span (fraction of n); 0: by cross-validation
};

struct FitParameter {
    std::string_view name;  // as a fits file prints it: a, b, k, intercept, slope, ar1, ...
    double value;
};

// Storage every method reuses from call to call (one per thread).
struct FitScratch {
    std::vector<double> values;  // the series as fitted: zero rings raised
    std::vector<double> a, b, c, d, e;  // per method
    std::vector<double> shape;  // the nonlinear fits' shape
    std::vector<double> columns;  // the nonlinear fits' gradient, column by column
    std::vector<double> logs;  // ln t for t = 1..logs.size(), kept for the series that follow
    std::vector<float> single, smoothed;  // the single-precision spline's data and result
    SplineBand band;
};

struct CurveFit {
    std::vector<double> curve;  // one per value of the series
    std::vector<double> index;  // Method::ar only: the index itself; otherwise empty
    Method used = Method::mean;  // the method of `curve` after any fallback
    // Why `used` differs from the method asked for, a fixed phrase; "" when
    // it does not.
    std::string_view fallback;
    std::vector<FitParameter> parameters;  // of `used`
    FitScratch scratch;
};

// Zero rings are taken as this width before any fit.
inline constexpr double zeroRingWidth = 0.001;

// The fixed phrases of CurveFit::fallback.
namespace fallbackReason {
inline constexpr std::string_view notConverged = "the nonlinear fit did not converge";
inline constexpr std::string_view outOfRange = "the nonlinear fit's parameters are outside their range";
inline constexpr std::string_view endNotPositive = "the nonlinear fit is not positive at the end";
inline constexpr std::string_view risingLine = "the line's slope is positive";
inline constexpr std::string_view lineNotPositive = "the line is not positive at both ends";
inline constexpr std::string_view notPositive = "the curve is not positive everywhere";
inline constexpr std::string_view tooShort = "the series is too short for the method";
}  // namespace fallbackReason

// Copies the values into `out` with every zero ring raised to zeroRingWidth.
inline void raiseZeroRings(std::span<const double> values, std::vector<double>& out) {
    out.resize(values.size());
    std::transform(values.begin(), values.end(), out.begin(), [](double v) { return v == 0.0 ? zeroRingWidth : v; });
}

// Starts a fit of `used` over n values: the curve resized, the index, the
// fallback and the parameters emptied (their storage kept).
inline void beginFit(CurveFit& fit, Method used, std::size_t n) {
    fit.curve.resize(n);
    fit.index.clear();
    fit.used = used;
    fit.fallback = {};
    fit.parameters.clear();
}

// True when every value of the curve is above zero (NaN is not).
inline bool positiveEverywhere(std::span<const double> curve) {
    return std::all_of(curve.begin(), curve.end(), [](double v) { return v > 0.0; });
}

}  // namespace detrend::numeric
