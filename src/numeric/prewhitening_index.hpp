// The prewhitened index (Method::ar): the residuals of an autoregressive
// model of the series, fitted by Yule-Walker with the order chosen by
// Akaike's information criterion (autoregression.hpp), plus the series'
// mean, with negative values set to 0 and the whole divided by its own mean
// (Cook, E. R. (1985), A time series analysis approach to tree ring
// standardization, PhD dissertation, University of Arizona, chapter 3; Cook
// and Kairiukstis (1990), section 2.6).
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// Fills fit.index with the index of the values (zero rings raised): NaN for
// the first p values, which the order-p model cannot predict. fit.curve
// holds, in every year, the mean the residuals were divided by, so that
// index times curve is the clipped residual series. Parameters "order",
// "ar1".."arp".
void fitPrewhitening(std::span<const double> values, CurveFit& fit);

}  // namespace detrend::numeric
