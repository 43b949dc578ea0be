// Prediction-error filter of a series by Burg's maximum-entropy method.
#pragma once

#include <span>

namespace detrend::numeric {

// Computes the m coefficients d[0..m) of the prediction-error filter of
// x[0..n): the value at t is predicted forwards as d[0] x(t-1) + ... +
// d[m-1] x(t-m), and backwards likewise from the values after it. P receives
// the mean square of x reduced by every stage, the prediction-error power.
//
// Requires: x.size() >= n; d.size() >= m; f.size() and b.size() >= n - 1;
// w.size() >= m - 1 (f, b, w are scratch). x is not modified.
// A zero denominator is not tested: when m >= n, or when the errors of a
// stage are all zero (a constant series), that stage's coefficient is NaN and
// so, from there on, are every coefficient and P.
// Returns false, with d untouched and only P computed, when m <= 0: there is
// no filter to compute.
bool pefilter(std::span<const float> x, int n, int m, double& P, std::span<double> d, std::span<double> f,
              std::span<double> b, std::span<double> w);

}  // namespace detrend::numeric
