// The least-squares straight line on the ring numbers t = 1..n, the first
// fallback of the nonlinear growth curves (Fritts, H. C. (1976), Tree Rings
// and Climate, Academic Press, section 6.2: lines of negative or zero slope
// where no negative exponential fits).
#pragma once

#include <span>
#include <string_view>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

struct Line {
    double intercept = 0.0;  // the line's value at t = 0
    double slope = 0.0;
};

// The line minimising the squared distances to y at t = 1..n: slope
// sum (t - tm)(y - ym) / sum (t - tm)^2, intercept ym - slope tm. One value
// gives the flat line through it.
Line leastSquaresLine(std::span<const double> y);

// The line of the values (zero rings raised), whatever its slope or sign;
// parameters "intercept" and "slope".
void fitLine(std::span<const double> values, CurveFit& fit);

// The fallback of a nonlinear fit that failed for `reason`, on values whose
// zero rings are raised: the line when its slope is <= 0 (any slope with
// posSlope) and its first and last values are positive, with fallback =
// reason; otherwise the mean, with fallback naming the line's fault.
void lineOrMean(std::span<const double> raised, bool posSlope, std::string_view reason, CurveFit& fit);

}  // namespace detrend::numeric
