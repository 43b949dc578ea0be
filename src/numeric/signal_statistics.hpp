// The common signal of the index series of a site: the mean correlation
// between series, rbar, the expressed population signal, EPS, and the
// signal-to-noise ratio, SNR: Wigley, T. M. L., Briffa, K. R. and Jones,
// P. D. (1984), On the average value of correlated time series, with
// applications in dendroclimatology and hydrometeorology, J. Clim. Appl.
// Meteorol. 23, 201-213; Briffa, K. R. and Jones, P. D. (1990), in Cook and
// Kairiukstis (1990), section 3.3. With several cores per tree, rbar is split
// into the correlations within trees and between trees and combined into an
// effective rbar for the number of cores per tree (Briffa and Jones 1990).
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <span>

#include "numeric/correlation.hpp"
#include "numeric/index_series.hpp"

namespace detrend::numeric {

// How an index of exactly 0 (an absent ring) enters the pair correlations:
// as a missing value, or as a value like any other.
enum class Zeros { missing, counted };

struct StatisticsOptions {
    CorrelationMethod method = CorrelationMethod::spearman;  // reproduces the field's reference tables
    Zeros zeros = Zeros::missing;
    std::size_t minimumOverlap = leastCommonYears;  // the years a pair shares at least; >= 2
};

// The statistics of a site whose series come from trees, one or more cores
// (series) per tree. NaN where not defined.
struct SiteStatistics {
    std::size_t cores = 0;  // n.cores: the series with at least one value (0 included)
    std::size_t trees = 0;  // n.trees: the trees of those series
    std::size_t n = 0;  // the trees in at least one pair of cores of different trees
    std::size_t pairs = 0, pairsWithin = 0, pairsBetween = 0;  // n.tot, n.wt, n.bt
    // NaN where not defined, as for a site without any series.
    static constexpr double undefined = std::numeric_limits<double>::quiet_NaN();
    double rbarTotal = undefined, rbarWithin = undefined, rbarBetween = undefined;  // rbar.tot, rbar.wt, rbar.bt
    double coresPerTree = undefined;  // c.eff
    double rbarEffective = undefined;  // rbar.eff
    double eps = undefined, snr = undefined;
    std::optional<int> first, last;  // the first and last year with a value in any series
};

// A pair of cores enters when pairCorrelations(series with zeros as chosen,
// method, minimumOverlap) gives it a correlation. rbar.tot, rbar.wt and
// rbar.bt are the means of the correlations of all pairs, of the pairs of
// the same tree and of the pairs of different trees, each summed in
// ascending order, so that none depends on the order of the series. A tree
// counted in n has c = 0.5 + sqrt(0.25 + 2 m) cores for its m pairs within it
// (1 without). Over the n trees: where all have the same c, c.eff = c and
// rbar.eff = rbar.bt / (rbar.wt + (1 - rbar.wt) / c); otherwise c.eff is the
// harmonic mean of their c and rbar.eff = rbar.bt / (rbar.wt + (1 - rbar.wt)
// / c.eff), with 1 / c.eff the mean of 1 / c summed in ascending order.
// Without pairs within trees rbar.eff = rbar.bt (and c.eff = 1). Then
// EPS = n rbar.eff / ((n - 1) rbar.eff + 1), NaN where the denominator is 0,
// and SNR = n rbar.eff / (1 - rbar.eff), +Inf where rbar.eff is 1.
// `tree` holds a tree label per series (equal labels, the same tree); empty,
// each series is a tree of its own. Requires tree.size() == series.size()
// when not empty. Runs on the threads of the current oneTBB arena; the
// result does not depend on their number.
SiteStatistics siteStatistics(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                              const StatisticsOptions& options);

struct SignalStatistics {
    std::size_t series = 0;  // the series with at least one value
    std::optional<int> first, last;  // the first and last year with a value in any series
    std::size_t pairs = 0;  // the pair correlations averaged into rbar
    double rbar = SiteStatistics::undefined, eps = SiteStatistics::undefined,
           snr = SiteStatistics::undefined;  // NaN where not defined
    std::size_t n = 0;  // the series in at least one pair, the n of EPS and SNR
};

// siteStatistics with each series a tree of its own: rbar = rbar.tot
// (= rbar.bt = rbar.eff), with the bits of the mean of the sorted
// correlations. All of rbar, eps and snr are NaN with no pair.
SignalStatistics signalStatistics(std::span<const IndexSeries> series, const StatisticsOptions& options);
SignalStatistics signalStatistics(std::span<const IndexSeries> series, CorrelationMethod method);

}  // namespace detrend::numeric
