// The age-dependent spline: a smoothing spline whose stiffness grows with
// the age of the ring, the period nyrs0 + i - 1 at ring i, so that it
// follows the fast early growth of a young tree and stiffens as the tree
// ages (Melvin, T. M. (2004), Historical growth rates and changing climatic
// sensitivity of boreal conifers, PhD thesis, University of East Anglia,
// section 4.2; Melvin, T. M., Briffa, K. R., Nicolussi, K. and Grabner, M.
// (2007), Time-varying-response smoothing, Dendrochronologia 25, 65-69).
// The spline is that of variable_spline.hpp.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// Fits the spline to the values (zero rings raised); parameter "nyrs0".
// Unless posSlope, the curve may not rise at the end: from the last year
// whose first difference is <= 0 (the first year's counting as 0) on, it is
// held at that year's value, and the spline is fitted again to the curve so
// held (always, even when nothing was held). A curve with a value <= 0, or
// none (fewer than 4 values), falls back to the mean.
void fitAgeDependentSpline(std::span<const double> values, int nyrs0, bool posSlope, CurveFit& fit);

}  // namespace detrend::numeric
