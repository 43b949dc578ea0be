// The cubic smoothing spline of the series alone, without extension: the
// spline of spline.hpp (Reinsch, C. H. (1967), Smoothing by spline
// functions, Numer. Math. 10, 177-183), its 50% response at the cutoff
// period as Cook, E. R. and Peters, K. (1981), The smoothing spline: a new
// approach to standardizing forest interior tree-ring width series for
// dendroclimatic studies, Tree-Ring Bulletin 41, 45-53, choose it.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// The cutoff used for n values when none is asked: floor(0.67 n).
int defaultSplineCutoff(std::size_t n);

// The spline of the values (zero rings raised), fitted in single precision
// by spline(), with its 50% response at `cutoff` years (0: the default
// above); parameter "cutoff". A curve with a value <= 0, or no curve (fewer
// than 4 values, a cutoff of 0), falls back to the mean.
void fitSmoothingSpline(std::span<const double> values, int cutoff, CurveFit& fit);

}  // namespace detrend::numeric
