// The common signal of the index series of a site: the mean correlation
// between series, rbar, the expressed population signal, EPS, and the
// signal-to-noise ratio, SNR: Wigley, T. M. L., Briffa, K. R. and Jones,
// P. D. (1984), On the average value of correlated time series, with
// applications in dendroclimatology and hydrometeorology, J. Clim. Appl.
// Meteorol. 23, 201-213; Briffa, K. R. and Jones, P. D. (1990), in Cook and
// Kairiukstis (1990), section 3.3.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "numeric/correlation.hpp"
#include "numeric/index_series.hpp"

namespace detrend::numeric {

struct SignalStatistics {
    std::size_t series = 0;  // n: the series with at least one value
    std::optional<int> first, last;  // the first and last year with a value in any series
    std::size_t pairs = 0;  // the pair correlations averaged into rbar
    double rbar = 0.0, eps = 0.0, snr = 0.0;  // NaN where not defined
};

// rbar = the mean of pairCorrelations(series, method) over the pairs with a
// correlation (a series constant over a pair's common years gives none);
// the correlations are summed in ascending order, so rbar does not depend on
// the order of the series. eps = n rbar / ((n - 1) rbar + 1) and
// snr = n rbar / (1 - rbar), +Inf where rbar is 1. All three are NaN with
// fewer than two series or no pair, eps also where its denominator is zero.
// Series without a value are not counted.
SignalStatistics signalStatistics(std::span<const IndexSeries> series, CorrelationMethod method);

}  // namespace detrend::numeric
