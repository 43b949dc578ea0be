// The crossdating report: a plain-text summary of how well each series of
// an input agrees with the master of the others, for a person to read. Its
// figures come with the tables of output/xdate_tables.hpp.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/crossdating.hpp"
#include "numeric/series_statistics.hpp"

namespace detrend::output {

// A series of the input that was not crossdated, and why.
struct LeftOutSeries {
    std::string name;
    std::string reason;  // e.g. "a missing value inside it (1850)"
};

// What the report is made from.
struct CrossdatingReport {
    std::string_view input;  // how messages name the input
    numeric::CrossdatingOptions options;
    std::span<const std::string> names;  // the series handed to the analysis, one per series of the result
    const numeric::CrossdatingResult* result = nullptr;
    std::span<const numeric::SeriesStatistics> statistics;  // of the same series, in the same order
    std::vector<LeftOutSeries> leftOut;  // of the input's other series
};

// The figures of the summary line and the report's summary.
struct CrossdatingSummary {
    std::size_t series = 0;  // crossdated: given a master
    // The mean (and standard deviation) of the series' overall correlations
    // with their masters, over the series that have one; NaN for none.
    double intercorrelation = 0, deviation = 0;
    std::size_t flaggedSegments = 0, flaggedSeries = 0;
};
CrossdatingSummary summarize(const numeric::CrossdatingResult& result);

// The report as text, lines ended by LF, none over 100 characters: the
// settings, the series and years, the intercorrelation and the mean
// sensitivity; a table of the series (years, correlation with the master,
// segments flagged); the flagged segments with their best lag; the series
// left out. Names are shown with control characters escaped, long ones cut.
std::string crossdatingReport(const CrossdatingReport& report);

// "0.603": three decimals, NA for NaN, without the sign of a negative zero.
std::string decimals3(double value);

}  // namespace detrend::output
