// The Burg-extended spline of detrend_series.hpp with the length of the
// prediction-error filter chosen apart from the cutoff: the series is still
// extended by `cutoff` values at each end and smoothed with the 50% response
// at `cutoff`, but predicted with a filter of `filterOrder` coefficients.
#pragma once

#include <span>

#include "numeric/detrend_series.hpp"
#include "numeric/filter_order.hpp"

namespace detrend::numeric {

// What detrendSeries(values, cutoff, capacity, scratch, fit) does, with a
// filter of filterOrder coefficients (fit.coefficients has that many); with
// filterOrder == cutoff the same bits. Outcomes as detrendSeries's, the
// filter-length bound applied to filterOrder. filterOrder <= 0 computes no
// filter: the extension is zeros (the centred series' mean).
void detrendSeriesWithFilter(std::span<const double> values, int cutoff, int filterOrder, int capacity,
                             SeriesScratch& scratch, SeriesFit& fit);

// The same with the filter's order chosen by filterOrderByFpe on the centred
// series (1..min(cutoff, n / 3)); returns the order used. The filter is the
// one the search computed on its way, so the fit is the bits of
// detrendSeriesWithFilter at the order returned.
int detrendSeriesAutoFilter(std::span<const double> values, int cutoff, int capacity, SeriesScratch& scratch,
                            FilterOrderScratch& orderScratch, SeriesFit& fit);

}  // namespace detrend::numeric
