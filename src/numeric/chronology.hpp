// The chronology of a site: the mean of its index series year by year, from
// the series as they are (the standard chronology) and from the series
// prewhitened (the residual chronology), with the number of series behind
// each year: Cook, E. R. (1985), A time series analysis approach to tree ring
// standardization, PhD thesis, University of Arizona; Cook and Kairiukstis
// (1990), section 2.6.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "numeric/index_series.hpp"

namespace detrend::numeric {

enum class ChronologyMean { biweight, arithmetic };

struct Chronology {
    int first = 0;  // the year of element 0
    // One element per year from the earliest to the latest value of any
    // series; all empty when no series has a value. NaN where no series has
    // a value that year.
    std::vector<double> standard, residual;
    std::vector<int> depth;  // the series with a value that year
    // The series with a gap between their first and last value, in index
    // order: they enter the standard chronology but not the residual one.
    std::vector<std::size_t> leftOutOfResidual;
};

// standard: for each year, the mean (biweightMean or arithmeticMean) of the
// values of the series that have one; residual: the same mean of the
// series' values from their first to their last, prewhitened (prewhiten),
// where they have a residual. Each year's mean sorts its values, so the
// chronology does not depend on the order of the series. Runs on the
// threads of the current oneTBB arena.
Chronology buildChronology(std::span<const IndexSeries> series, ChronologyMean mean);

}  // namespace detrend::numeric
