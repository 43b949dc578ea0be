// The simplest growth curve: a horizontal line at the series' mean, which
// keeps every variation of the series in its index (Cook, E. R. and
// Kairiukstis, L. A., eds. (1990), Methods of Dendrochronology, Kluwer,
// section 3.2). Also the last fallback of every other method.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// The mean of the values, zero rings taken as zeroRingWidth, summed in year
// order; parameter "mean". Requires at least one value.
void fitMean(std::span<const double> values, CurveFit& fit);

// The same for values whose zero rings are already raised; leaves
// fit.fallback as it finds it, so that a method falling back can set it.
void meanCurve(std::span<const double> raised, CurveFit& fit);

}  // namespace detrend::numeric
