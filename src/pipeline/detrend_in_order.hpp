// The ordered pipeline over the series of a run: the series are detrended on
// several threads, and whatever a series shows (console text, listing block,
// plot, CSV column) is delivered strictly in series order, one at a time.
// What a series yields is the caller's: the pipeline only hands each one
// the slot for it.
#pragma once

#include <functional>
#include <span>
#include <cstddef>

#include "numeric/detrending.hpp"
#include "base/result.hpp"

namespace detrend::pipeline {

// The values of series `index` (0-based), valid until its delivery returns.
using SeriesValues = std::function<std::span<const double>(int index)>;
// Runs on the worker threads right after series `index` is detrended, for
// work that depends on nothing but the fit and data that stay unchanged (the
// layout of its listing block, its index, its picture). What it makes goes
// into the caller's slot `slot`, handed to the delivery of the same series;
// slots are reused from series to series, so a preparation replaces or
// clears what it makes.
using SeriesPreparation = std::function<void(int index, const numeric::SeriesFit& fit, std::size_t slot)>;
// Receives series `index`, its fit and the slot its preparation filled, in
// order 0, 1, 2, ...; it may write or wait for the user, and take what the
// slot holds. It returns whether to go on: after false no further series is
// delivered. An exception it throws ends the pipeline the same way and is
// rethrown.
using SeriesDelivery = std::function<bool(int index, const numeric::SeriesFit& fit, std::size_t slot)>;

struct OrderedWork {
    int count = 0;  // series 0 .. count - 1
    int workers = 0;  // the most threads (0: one per core); results never depend on it
    // The method that fits each series; consecutive series with the same
    // cutoff are fitted together, up to its group size.
    const numeric::Detrending* method = nullptr;
    std::function<int(int index)> cutoff;
    SeriesValues values;
    SeriesPreparation prepare;  // may be empty
    // Called once before the first preparation with the number of slots
    // the preparations and deliveries use (0 .. slots - 1); may be empty.
    std::function<void(std::size_t slots)> reserveSlots;
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
