// The master series of crossdating: for each series, year by year, Tukey's
// biweight robust mean (numeric/biweight.hpp: Cook and Kairiukstis 1990,
// section 2.6; Mosteller and Tukey 1977, chapter 10) of the other series'
// values that year, so that a series is compared with a master it is not
// part of.
#pragma once

#include <span>
#include <vector>

#include "numeric/index_series.hpp"

namespace detrend::numeric {

// For each series i, a vector as long as series[i].values: at each of its
// years, biweightMean of the values the other series have that year (NaN
// where none has one), equal to it to the bit. Whether series i itself has
// a value that year does not matter.
//
// Each year's values are sorted once; the mean without one of them reads the
// median and the median absolute deviation of the others off the sorted
// column (the deviations, in ascending order, run outward from the median),
// then sums the weights over the column in ascending order, skipping that
// value, as biweightMean sums them. O(d^2) a year of depth d; the years run
// on the threads of the current oneTBB arena, the result does not depend on
// their number.
std::vector<std::vector<double>> leaveOneOutMasters(std::span<const IndexSeries> series);

// The biweight mean of the ascending values v without v[skip] (nothing is
// skipped when skip >= v.size()), as biweightMean of the remaining values
// computes it, to the bit; NaN when none remains.
double biweightWithout(std::span<const double> v, std::size_t skip);

}  // namespace detrend::numeric
