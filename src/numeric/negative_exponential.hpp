// The modified negative exponential growth curve f(t) = a e^(b t) + k on
// t = 1..n (Fritts, H. C., Mosimann, J. E. and Bottorff, C. P. (1969), A
// revised computer program for standardizing tree-ring series, Tree-Ring
// Bulletin 29, 15-20; Fritts (1976), Tree Rings and Climate, section 6.2),
// fitted by least squares with gauss_newton.hpp from a = the mean of the
// first max(1, floor(n / 10)) values, b = -0.01, k = the mean of values
// floor(0.9 n)..n (1-based).
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"
#include "numeric/gauss_newton.hpp"

namespace detrend::numeric {

// Fits the curve to the values (zero rings raised); parameters "a", "b",
// "k". A fit fails when Gauss-Newton does not converge (at most 50
// increments, step factor down to 1/1024, relative offset 1e-5), when a <= 0
// or b >= 0, or when its last value is not positive; then lineOrMean
// (linear_curve.hpp) takes over. `constrain` keeps a >= 0, b <= 0, k >= 0:
// never, in a second fit after an unconstrained one failed, or always.
void fitNegativeExponential(std::span<const double> values, Constrain constrain, bool posSlope, CurveFit& fit);

// The curve's shape and its derivatives, as the fit gives them to gaussNewton.
const NonlinearModel& negativeExponentialModel();

}  // namespace detrend::numeric
