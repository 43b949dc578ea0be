// The tables of a crossdating run as long CSV (RFC 4180), one row per
// series, per segment or per lag: the series statistics with the columns
// named as the field's R library names them, the correlations of each
// series with its master overall and by segment, and the correlations of
// the flagged segments at neighbouring lags.
#pragma once

#include <span>
#include <string>

#include "numeric/crossdating.hpp"
#include "numeric/series_statistics.hpp"

namespace detrend::output {

// "series,first,last,year,mean,median,stdev,skew,gini,ar1,sens1,sens2,zeros",
// then one row per series; year is the length. Numbers unrounded, in their
// shortest form that reads back to the same double; NA where not defined.
std::string seriesStatisticsCsv(std::span<const std::string> names,
                                std::span<const numeric::SeriesStatistics> statistics);

// The tables of a crossdating result over the series `names` (one per
// series of the result), numbers as above:
// "series,r,p": each series' correlation with its master over all the
// years they share;
std::string overallCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result);
// "series,first,last,r,p,flagged": a row for each segment a series covers
// (first and last: the segment's years), flagged TRUE or FALSE;
std::string segmentsCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result);
// "series,first,lag,r": for each flagged segment (first: its first year)
// the correlation at each lag.
std::string lagsCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result);

}  // namespace detrend::output
