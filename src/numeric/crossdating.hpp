// Crossdating quality control: each series is correlated with a master of
// the other series, over all the years they share and segment by segment,
// and the segments whose correlation is not significant are flagged and
// correlated again at neighbouring lags to show whether the series fits the
// master better shifted. The checks of the COFECHA program (Holmes, R. L.
// (1983), Computer-assisted quality control in tree-ring dating and
// measurement, Tree-Ring Bulletin 43, 69-78) with the rank correlations and
// the robust master of Bunn, A. G. (2008), A dendrochronology program
// library in R (dplR), Dendrochronologia 26, 115-124.
//
// Each series is divided by its own mean and prewhitened (numeric/
// autoregression.hpp: the residuals of its Yule-Walker autoregression, the
// order by AIC up to min(n - 1, floor(10 log10 n)), plus the mean; a series
// of 3 values or fewer is only divided by its mean). Its master is, year by
// year, the biweight mean of the other series' prewhitened values
// (numeric/leave_one_out_master.hpp). Correlations and their one-sided p
// values come from numeric/spearman_test.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "numeric/correlation.hpp"
#include "numeric/index_series.hpp"
#include "numeric/spearman_test.hpp"

namespace detrend::numeric {

struct CrossdatingOptions {
    int segmentLength = 50;  // L: even, at least 10
    // The first segment starts at the earliest year rounded up to a multiple
    // of binFloor; 0 starts it at the earliest year itself. At least 0.
    int binFloor = 100;
    int lagMax = 5;  // the lags of flagged segments: -lagMax .. lagMax; 0 <= lagMax < L
    double pcrit = 0.05;  // a segment is flagged when its p value exceeds this; in (0, 1)
    CorrelationMethod method = CorrelationMethod::spearman;
    // 0: off. Otherwise a high-pass filter before everything else: each
    // series is divided by a cubic smoothing spline (numeric/spline.hpp,
    // single precision) with its 50% response at this period (32 is usual),
    // fitted to the series alone.
    int highPassCutoff = 0;
};

enum class CrossdatingStatus {
    ok,
    invalidOptions,  // nothing computed
    tooFewSeries,  // fewer than 3 usable series: nothing computed
    noSegment,  // no segment fits between the first and the last year: only the overall correlations
};

enum class SeriesStatus {
    ok,
    noValues,  // left out of everything, as are the next three
    gapInside,  // a NaN between its first and last value
    meanNotPositive,  // a mean of 0 (all rings absent), negative or not finite
    highPassFailed,  // no spline fitted, or one not positive somewhere
    noSegment,  // used, but covers no segment completely with its master
};

// The correlations of a series with its master at lags -lagMax .. lagMax
// over the years of one segment: with x the series and y the master there,
// their means and sums of squares over the whole segment, r(k) = the sum
// over the years t with t and t + k in the segment of
// (x_t - mean x)(y_{t+k} - mean y), divided by sqrt(s_xx s_yy) (the
// Box-Jenkins cross-correlation). A positive best lag k means the series
// matches the master k years later: a series whose values are dated k years
// too early. Pearson's form whatever the method.
struct LagCorrelations {
    std::size_t series = 0;
    int segment = 0;  // the first year of the segment
    std::vector<double> r;  // lags -lagMax .. lagMax; all NaN where the segment is not covered
    int bestLag = 0;  // the lag of the highest r; lag 0, then the smaller |lag|, then the negative one win ties
    bool higherAtOtherLag = false;  // bestLag != 0: the flag "B"
};

struct CrossdatingResult {
    CrossdatingStatus status = CrossdatingStatus::ok;
    std::vector<int> segments;  // the first year of each segment
    int segmentLength = 0;
    std::vector<SeriesStatus> seriesStatus;  // per series
    // Per series, the correlation with its master over the years where both
    // have a value (at least 3, else NaN r and p).
    std::vector<CorrelationTest> overall;
    // Series-major, segments.size() per series: NaN r and p where the
    // series and its master do not both have every year of the segment.
    std::vector<CorrelationTest> segment;
    std::vector<std::uint8_t> flagged;  // the same layout: 1 where p > pcrit
    std::vector<LagCorrelations> lags;  // per flagged segment, by series, then segment
    // Per series from the year of its first value (firstYear): the
    // prewhitened values (NaN for the autoregression's first p years) and
    // the master; empty for a series left out.
    std::vector<int> firstYear;
    std::vector<std::vector<double>> prewhitened, master;

    const CorrelationTest& at(std::size_t series, std::size_t seg) const {
        return segment[series * segments.size() + seg];
    }
};

// The analysis of the series (first year and values, NaN for no value) with
// the options. Runs on the threads of the current oneTBB arena; the result
// does not depend on their number.
CrossdatingResult crossdate(std::span<const IndexSeries> series, const CrossdatingOptions& options);

// The first years of the segments between the years first and last: from
// first rounded up to a multiple of binFloor (first itself for 0), by L / 2,
// the last starting at or before last - L + 1. Empty when none fits.
std::vector<int> segmentStarts(int first, int last, const CrossdatingOptions& options);

// LagCorrelations of one series of a result over the L years from `segment`
// (any first year, such as those of segmentStarts over the series' own
// years).
LagCorrelations lagCorrelations(const CrossdatingResult& result, std::size_t series, int segment, int lagMax);

}  // namespace detrend::numeric
