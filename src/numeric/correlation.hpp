// Correlations between the index series of a site over the years they share:
// Pearson's product-moment correlation, and Spearman's rank correlation as
// Pearson's of the ranks, ties given their mean rank (Spearman, C. (1904),
// The proof and measurement of association between two things, Am. J.
// Psychol. 15, 72-101; Kendall, M. G. (1948), Rank Correlation Methods,
// chapter 3), as R's cor(x, y, method = "pearson" / "spearman") computes them.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "numeric/index_series.hpp"

namespace detrend::numeric {

enum class CorrelationMethod { pearson, spearman };

// Pairs sharing fewer years with a value in both have no correlation.
constexpr std::size_t leastCommonYears = 30;

// Pearson's correlation of x and y (equally long, no NaN): with the means
// summed in index order, s_xy = the sum in index order of
// (x - mean x)(y - mean y), likewise s_xx and s_yy, r = s_xy / sqrt(s_xx s_yy)
// held to [-1, 1]. Symmetric in x and y to the bit; NaN where x or y is
// constant.
double pearson(std::span<const double> x, std::span<const double> y);

// The correlation of a and b over the years where both have a value, in year
// order; the ranks for Spearman's are taken over those years only. NaN when
// they share fewer than `least` years.
double pairCorrelation(const IndexSeries& a, const IndexSeries& b, CorrelationMethod method,
                       std::size_t least = leastCommonYears);

struct PairCorrelation {
    std::size_t first, second;  // indices into the series, first < second
    double r;  // NaN where a series is constant over the common years
};

// pairCorrelation of every pair of the series sharing at least `least`
// years, to the bit, ordered by first, then second. Only pairs whose spans
// (first to last value) overlap by `least` years are visited: a sweep over
// the series in order of their first value stops at the first series
// starting too late, so series that cannot pair cost nothing beyond the sort
// (Shamos, M. I. and Hoey, D. (1976), Geometric intersection problems, 17th
// Annual Symposium on Foundations of Computer Science, 208-215). Series
// covering exactly the same years (the same first and last value, the same
// gaps) are correlated in one block as dot products of their centred values
// or ranks (crossProducts), each series' ranks taken once. Each series'
// values are sorted once for Spearman's; a pair's ranks are read off them.
// Runs on the threads of the current oneTBB arena; the result does not
// depend on their number. `least` must be at least 2.
std::vector<PairCorrelation> pairCorrelations(std::span<const IndexSeries> series, CorrelationMethod method,
                                              std::size_t least = leastCommonYears);

}  // namespace detrend::numeric
