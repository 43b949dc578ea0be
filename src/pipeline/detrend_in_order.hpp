// The ordered pipeline over the series of a run: the series are detrended on
// several threads, and whatever a series shows (console text, listing block,
// plot, CSV column) is delivered strictly in series order, one at a time.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "numeric/detrend_series.hpp"
#include "base/result.hpp"

namespace detrend::pipeline {

// The values of series `index` (0-based), valid until its delivery returns.
using SeriesValues = std::function<std::span<const double>(int index)>;
// What the worker threads make of a series for its delivery. Its storage is
// reused from series to series: a preparation replaces or clears every part.
struct Prepared {
    std::string listing;  // the series' listing block
    std::vector<float> index;  // its index, one value a year
    std::string picture;  // the bytes of its plot file
    std::string pictureError;  // why there is no picture
};
// Runs on the worker threads right after series `index` is detrended, for
// work that depends on nothing but the fit and data that stay unchanged (the
// layout of its listing block, its index, its picture).
using SeriesPreparation = std::function<void(int index, const numeric::SeriesFit& fit, Prepared& prepared)>;
// Receives series `index`, its fit and what preparation made of it, in order
// 0, 1, 2, ...; it may write or wait for the user, and take the prepared
// parts. It returns whether to go on: after false no further series is
// delivered. An exception it throws ends the pipeline the same way and is
// rethrown.
using SeriesDelivery = std::function<bool(int index, const numeric::SeriesFit& fit, Prepared& prepared)>;

struct OrderedWork {
    int count = 0;  // series 0 .. count - 1
    int workers = 0;  // the most threads (0: one per core); results never depend on it
    int capacity = 0;  // see detrendSeries
    std::function<int(int index)> cutoff;
    SeriesValues values;
    SeriesPreparation prepare;  // may be empty
};

// Runs `work` on a oneTBB arena of `workers` threads (0: one per core), the
// library's global limit raised to match when more are asked than there are
// cores. Parallel algorithms called inside use those threads.
void onWorkers(int workers, const std::function<void()>& work);

// Detrends the series of `work` and hands each fit, with what `prepare` made
// of it, to `deliver` in order. Fails only when the worker threads cannot be
// started.
base::Status detrendInOrder(const OrderedWork& work, const SeriesDelivery& deliver);

}  // namespace detrend::pipeline
