// Descriptive statistics of one ring-width series, as crossdating reports
// print them beside each series.
//
// Skewness in the moment form with the sample standard deviation; the Gini
// coefficient (Gini, C. (1912), Variabilita e mutabilita, Bologna) from the
// values in ascending order; the first-order autocorrelation as Box, G. E. P.
// and Jenkins, G. M. (1970), Time Series Analysis, section 2.1.5, define the
// sample autocorrelation; mean sensitivity after Douglass, A. E. (1936),
// Climatic cycles and tree growth III, Carnegie Inst. Washington Publ. 289,
// and Fritts, H. C. (1976), Tree Rings and Climate, Academic Press, p. 258.
#pragma once

#include <cstddef>
#include <vector>

#include "numeric/index_series.hpp"

namespace detrend::numeric {

struct SeriesStatistics {
    int first = 0, last = 0;  // the years of the first and last value; 0 for none
    std::size_t length = 0;  // the values from first to last (NaN inside not counted)
    double mean = 0.0;  // summed in year order, divided by the length
    double median = 0.0;
    double stdev = 0.0;  // sqrt(sum (x - mean)^2 / (n - 1)); NaN for n < 2
    double skewness = 0.0;  // (sum (x - mean)^3 / n) / stdev^3
    // sum over i of (2 i - n - 1) x_(i) / (n^2 mean), x_(1) <= ... <= x_(n):
    // the mean absolute difference of all pairs over twice the mean.
    double gini = 0.0;
    // sum over adjacent years of (x_t - mean)(x_{t+1} - mean) / sum (x - mean)^2.
    double ar1 = 0.0;
    // The mean over the n - 1 adjacent pairs of |x_t - x_{t-1}| /
    // ((x_t + x_{t-1}) / 2); a pair of two zero rings counts as no change (0)
    // instead of 0 / 0.
    double sens1 = 0.0;
    // The mean of |x_t - x_{t-1}| over the n - 1 adjacent pairs divided by
    // the mean of the series: a mean sensitivity that zero rings do not
    // disturb, as no ratio of single rings is formed.
    double sens2 = 0.0;
    std::size_t zeros = 0;  // values equal to 0 (absent rings)
};

// The statistics of s over its values from the first to the last present
// one. A NaN inside leaves its year out: the length and the sums count the
// present values, and the adjacent pairs of ar1, sens1 and sens2 only years
// that both have a value (n - 1 still counts the pairs used). Statistics
// that are not defined (no value; n < 2; a constant series' skewness and
// ar1; a zero mean) are NaN. `scratch` is working storage, reused.
SeriesStatistics seriesStatistics(const IndexSeries& s, std::vector<double>& scratch);

}  // namespace detrend::numeric
