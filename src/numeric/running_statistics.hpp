// The site statistics of siteStatistics in running windows of years, to
// follow how the common signal changes through time: Briffa, K. R. and
// Jones, P. D. (1990), in Cook and Kairiukstis (1990), Methods of
// Dendrochronology, section 3.3; Wigley, Briffa and Jones (1984), J. Clim.
// Appl. Meteorol. 23, 201-213.
#pragma once

#include <span>
#include <vector>

#include "numeric/signal_statistics.hpp"

namespace detrend::numeric {

struct RunningOptions {
    int window = 50;  // years of a window, at least 2
    int overlap = 25;  // years two neighbouring windows share, 0 <= overlap < window
};

struct RunningWindow {
    int start = 0, mid = 0, end = 0;  // the first, middle and last year of the window
    SiteStatistics statistics;
};

// The windows lie within the years from the first to the last value of any
// series, `window` years each (all the years when there are fewer), one
// every window - overlap years; the last ends in the last year, and the
// first is the earliest that starts no earlier than the first year. mid is
// (start + end) / 2 rounded down. In each window, siteStatistics of the
// series' values in its years, a pair entering with at least
// min(options.minimumOverlap, window) years in common. In ascending order of
// start; none when no series has a value, and none for a window below 2 or
// an overlap outside [0, window), whose windows would never advance.
std::vector<RunningWindow> runningStatistics(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                                             const StatisticsOptions& options, const RunningOptions& running);

}  // namespace detrend::numeric
