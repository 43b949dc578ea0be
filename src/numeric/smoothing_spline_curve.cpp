#include "numeric/smoothing_spline_curve.hpp"

#include <cmath>

#include "numeric/mean_curve.hpp"

namespace detrend::numeric {

int defaultSplineCutoff(std::size_t n) { return static_cast<int>(std::floor(0.67 * static_cast<double>(n))); }

void fitSmoothingSpline(std::span<const double> values, int cutoff, CurveFit& fit) {
    FitScratch& scratch = fit.scratch;
    raiseZeroRings(values, scratch.values);
    const std::size_t n = values.size();
    if (cutoff == 0) cutoff = defaultSplineCutoff(n);
    scratch.single.resize(n);
    scratch.smoothed.resize(std::max<std::size_t>(n, 1));
    for (std::size_t i = 0; i < n; ++i) scratch.single[i] = static_cast<float>(scratch.values[i]);
    float p;
    const SplineResult result =
        cutoff > 0 ? spline(static_cast<int>(n), scratch.single, scratch.smoothed, p, cutoff, scratch.band)
                   : SplineResult::notPositiveDefinite;
    beginFit(fit, Method::spline, n);
    if (result != SplineResult::fitted) {
        fit.fallback = fallbackReason::tooShort;
        meanCurve(scratch.values, fit);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) fit.curve[i] = static_cast<double>(scratch.smoothed[i]);
    if (!positiveEverywhere(fit.curve)) {
        fit.fallback = fallbackReason::notPositive;
        meanCurve(scratch.values, fit);
        return;
    }
    fit.parameters.push_back({"cutoff", static_cast<double>(cutoff)});
}

}  // namespace detrend::numeric
