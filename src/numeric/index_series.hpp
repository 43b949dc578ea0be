// An index series as the chronology and signal statistics take it: a first
// year and one value per year from it on, NaN where the year has no value.
#pragma once

#include <span>

namespace detrend::numeric {

struct IndexSeries {
    int first = 0;  // the year of values[0]
    std::span<const double> values;
};

}  // namespace detrend::numeric
