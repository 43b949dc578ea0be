// Means of the values of one year across the series of a site.
//
// Tukey's biweight robust mean in the one-step form used for tree-ring
// chronologies: Cook, E. R. and Kairiukstis, L. A. (eds.) (1990), Methods of
// Dendrochronology, Kluwer, section 2.6; after Mosteller, F. and Tukey, J. W.
// (1977), Data Analysis and Regression, Addison-Wesley, chapter 10.
#pragma once

#include <span>
#include <vector>

namespace detrend::numeric {

// The biweight mean of x: M = the median of x, S = the median of |x - M|,
// u = (x - M) / (9 S + 1e-6), weight (1 - u^2)^2 where |u| <= 1 and 0
// elsewhere, mean = sum(w x) / sum(w), in one pass. The sums run over the
// values sorted in ascending order, so the result does not depend on the
// order of x, to the bit. One value is its own mean; no value gives NaN.
// x must hold no NaN. `scratch` is working storage, reused from call to call.
double biweightMean(std::span<const double> x, std::vector<double>& scratch);

// The arithmetic mean of x, summed in ascending order and divided by the
// count; NaN for no value. x must hold no NaN.
double arithmeticMean(std::span<const double> x, std::vector<double>& scratch);

}  // namespace detrend::numeric
