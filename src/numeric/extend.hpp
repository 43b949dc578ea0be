// Extension of a series at its ends by recursive linear prediction.
#pragma once

#include <span>

namespace detrend::numeric {

// Fills x[0..k) and x[k+n..k+n+k) by predicting outwards, one new value at
// each end per step, from the series standing at x[k..k+n) and the filter
// coefficients d[0..m): forwards d[0] x(t-1) + ... + d[m-1] x(t-m),
// backwards d[0] x(t+1) + ... + d[m-1] x(t+m), each sum in double precision
// stored in single precision. Both sums of a step are complete before either
// value is stored, so where the reads reach the other end they see what was
// there before the step.
//
// direction: 0 both ends, 1 only the end after the series, -1 only the end
// before it; a position not selected (or any position, for another flag)
// receives 0.0.
//
// Requires d.size() >= m. Writes only inside x: when k+n+k exceeds x.size()
// nothing is written; a prediction term whose position lies outside x
// contributes nothing. k <= 0 writes nothing.
void extend(std::span<float> x, int n, int k, std::span<const double> d, int m, int direction);

}  // namespace detrend::numeric
