// An index series as the chronology and signal statistics take it: a first
// year and one value per year from it on, NaN where the year has no value.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>

namespace detrend::numeric {

struct IndexSeries {
    int first = 0;  // the year of values[0]
    std::span<const double> values;
};

// The first and last year with a value in any series; false for none.
inline bool yearsWithValues(std::span<const IndexSeries> series, long& first, long& last) {
    bool any = false;
    for (const IndexSeries& s : series)
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            if (std::isnan(s.values[i])) continue;
            const long year = static_cast<long>(s.first) + static_cast<long>(i);
            first = any ? std::min(first, year) : year;
            last = any ? std::max(last, year) : year;
            any = true;
        }
    return any;
}

}  // namespace detrend::numeric
