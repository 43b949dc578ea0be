// The Hugershoff growth curve with an asymptote, f(t) = a t^b e^(-g t) + d
// on t = 1..n (Hugershoff, R. (1936), Die mathematischen Hilfsmittel des
// Kultur- und Forstingenieurs; Warren, W. G. (1980), On removing the growth
// trend from dendrochronological data, Tree-Ring Bulletin 40, 35-44),
// fitted by least squares with gauss_newton.hpp from a = d = the mean of
// values floor(0.9 n)..n (1-based), b = 1, g = 0.1.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"
#include "numeric/gauss_newton.hpp"

namespace detrend::numeric {

// Fits the curve to the values (zero rings raised); parameters "a", "b",
// "g", "d". A fit fails when Gauss-Newton does not converge, when a <= 0 or
// b <= 0, or when its last value is not positive; then lineOrMean takes
// over. `constrain` keeps a, b, g, d >= 0 as for the negative exponential.
void fitHugershoff(std::span<const double> values, Constrain constrain, bool posSlope, CurveFit& fit);

// The curve's shape and its derivatives, as the fit gives them to gaussNewton.
const NonlinearModel& hugershoffModel();

}  // namespace detrend::numeric
