// Friedman's super smoother: running lines (local least-squares lines over a
// window of a fixed fraction of the points) at three spans, tweeter 0.05,
// midrange 0.2 and woofer 0.5 of n; at each point the span whose
// cross-validated absolute residuals, smoothed with the midrange span, are
// least, optionally pushed towards the woofer by the bass control; the
// spans smoothed with the midrange span; the smooth interpolated between the
// two spans' smooths around it, and smoothed with the tweeter span.
// Friedman, J. H. (1984), A variable span smoother, Technical Report 5,
// Laboratory for Computational Statistics, Stanford University (SLAC PUB-3477).
// Here x = 1..n, unit weights, not periodic.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// The super smoother of y into out[0..n) (out.size() >= y.size(), distinct
// from y), with bass 0..10 (0: none; 10: the woofer wherever cross-validation
// allows), or one running-lines smooth of the fixed span `span` (fraction of
// n) when span > 0. `work` is scratch.
void superSmoother(std::span<const double> y, double span, int bass, std::span<double> out, std::vector<double>& work);

// The super smoother of the values (zero rings raised) as the curve;
// parameters "span" (0: by cross-validation) and "bass". A curve with a
// value <= 0 falls back to the mean.
void fitSuperSmoother(std::span<const double> values, double span, int bass, CurveFit& fit);

}  // namespace detrend::numeric
