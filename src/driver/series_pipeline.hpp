// The ordered pipeline over the series of a run: the series are detrended on
// several threads, and whatever a series shows (console text, listing block,
// plot, CSV column) is delivered strictly in series order, one at a time.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "numeric/detrend_series.hpp"

namespace detrend {

// The values of series `index` (0-based), valid until its delivery returns.
using SeriesValues = std::function<std::span<const double>(int index)>;
// Runs on the worker threads right after series `index` is detrended, for
// work that depends on nothing but the fit and data that stay unchanged (the
// layout of its listing block); `text`, which goes to the delivery, holds
// what an earlier preparation left there (its storage is reused): replace or
// clear it.
using SeriesPreparation = std::function<void(int index, const numeric::SeriesFit& fit, std::string& text)>;
// Receives series `index`, its fit and what preparation made of it, in order
// 0, 1, 2, ...; it may write, wait for the user or throw (which ends the
// pipeline and is rethrown).
using SeriesDelivery = std::function<void(int index, const numeric::SeriesFit& fit, const std::string& text)>;

// Detrends `count` series with `cutoff(index)` and `capacity` (see
// detrendSeries) on at most `workers` threads (0: one per core) and hands each
// fit, with what `prepare` (if given) made of it, to `deliver` in order.
// Results never depend on `workers`.
void detrendInOrder(int count, int workers, int capacity, const std::function<int(int index)>& cutoff,
                    const SeriesValues& values, const SeriesDelivery& deliver, const SeriesPreparation& prepare = {});

// Whether the fit gave a spline of numbers for every value.
bool hasSpline(const numeric::SeriesFit& fit);

// Why a fit of the series `values` with `cutoff` gave no spline, as words
// for a message: a cutoff that is not a period or not below the length,
// values that overflow single precision, or an undefined filter.
std::string noSplineReason(int cutoff, std::span<const double> values, const numeric::SeriesFit& fit);

}  // namespace detrend
