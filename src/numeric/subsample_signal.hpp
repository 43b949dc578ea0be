// The subsample signal strength, SSS: how much of the signal of a site's
// chronology a year keeps with the fewer trees it has: Wigley, T. M. L.,
// Briffa, K. R. and Jones, P. D. (1984), On the average value of correlated
// time series, with applications in dendroclimatology and
// hydrometeorology, J. Clim. Appl. Meteorol. 23, 201-213; with trees of
// several cores counted as trees and rbar the effective rbar of the cores:
// Buras, A. (2017), A comment on the expressed population signal,
// Dendrochronologia 44, 130-132.
#pragma once

#include <span>
#include <vector>

#include "numeric/index_series.hpp"

namespace detrend::numeric {

struct SubsampleSignal {
    int first = 0;  // the year of sss[0]
    std::vector<double> sss;  // one per year from the first to the last value of any series
    std::vector<double> trees;  // the trees with a value that year
    double allTrees = 0.0;  // the trees with a value in any year
};

// With N the trees that have a value in any year and n the trees with a
// value (0 included) in the year, SSS = n (1 + (N - 1) rbar) / (N (1 + (n - 1)
// rbar)); NaN where the denominator is 0. rbar is the site's rbar.eff, as
// given (the field's published tables round it to 3 decimals first). `tree`
// as for siteStatistics: a label per series, or empty for one tree per series.
SubsampleSignal subsampleSignalStrength(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                                        double rbar);

}  // namespace detrend::numeric
