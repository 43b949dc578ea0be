// The crossdating report and tables of a small made-up result, to the byte.
#include "output/xdate_report.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "output/xdate_tables.hpp"

namespace detrend::output {
namespace {

using numeric::CorrelationTest;

const double nan = std::nan("");

// Three series, two segments: A agrees everywhere; B is flagged in its
// first segment, best one year earlier, and does not cover the second; the
// third covers no segment.
struct Made {
    std::vector<std::string> names{"A", "B",
                                   "C\x1b\x5b"
                                   "2J"};
    std::vector<numeric::SeriesStatistics> statistics;
    numeric::CrossdatingResult result;
    Made() {
        for (const auto& [first, last, zeros] : {std::tuple{1890, 1980, 0}, {1900, 1960, 2}, {1950, 1970, 1}}) {
            numeric::SeriesStatistics& s = statistics.emplace_back();
            s.first = first, s.last = last, s.length = static_cast<std::size_t>(last - first + 1), s.zeros = zeros;
            s.mean = 1.25, s.median = 1, s.stdev = 0.5, s.skewness = 0.125, s.gini = 0.25, s.ar1 = 0.5;
            s.sens1 = 0.2, s.sens2 = 0.1;
        }
        statistics[2].skewness = nan;
        result.segmentLength = 50;
        result.segments = {1900, 1925};
        result.seriesStatus = {numeric::SeriesStatus::ok, numeric::SeriesStatus::ok, numeric::SeriesStatus::noSegment};
        result.overall = {{0.625, 0.0001, 91, false}, {0.25, 0.02, 61, false}, {0.5, 0.01, 21, true}};
        result.segment = {
            {0.5, 0.0002, 50, false}, {0.4375, 0.001, 50, false}, {0.0625, 0.3125, 50, false}, {}, {}, {}};
        result.flagged = {0, 0, 1, 0, 0, 0};
        result.lags.push_back({1, 1900, {0.375, 0.125, -0.5}, -1, true});
        result.firstYear = {1890, 1900, 1950};
    }
    CrossdatingReport report() const {
        return {"a/site.rwl", numeric::CrossdatingOptions{}, names, &result, statistics, {{"D", "it has no values"}}};
    }
};

TEST(CrossdatingReport, TheTextOfAMadeUpResult) {
    const Made made;
    EXPECT_EQ(crossdatingReport(made.report()),
              "Crossdating of a/site.rwl\n"
              "\n"
              "Settings\n"
              "  correlation       Spearman's rho; p from a one-sided test (of r > 0)\n"
              "  segments          50 years, lagged by 25; the first starts at a multiple of 100\n"
              "  flagged           a segment whose p exceeds 0.05\n"
              "  lags              -5 to +5 years, for each flagged segment\n"
              "  high-pass filter  none\n"
              "\n"
              "Summary\n"
              "  series            4: 3 crossdated, 1 left out\n"
              "  years             1890 to 1980, 173 rings (57.7 a series), 3 absent rings (0)\n"
              "  intercorrelation  0.458 (sd 0.191), the mean correlation of the series with their masters\n"
              "  mean sensitivity  0.200 (sens1), 0.100 (sens2)\n"
              "  flagged           1 of 3 segments, in 1 series\n"
              "\n"
              "Series (r, p: the correlation with the master over all the years they share)\n"
              "  series    first   last  years       r       p  flagged\n"
              "  A          1890   1980     91   0.625   0.000  0 of 2\n"
              "  B          1900   1960     61   0.250   0.020  1 of 1\n"
              "  C\\x1B[2J   1950   1970     21   0.500   0.010  no segment\n"
              "\n"
              "Flagged segments (r, p: the segment's; r(lag): Pearson's r with the master lag years later,\n"
              "at the best lag and at 0; +k: the series is dated k years too early there, as when it\n"
              "misses k rings before the segment)\n"
              "  series    segment          r       p   lag  r(lag)    r(0)\n"
              "  B         1900-1949     0.062   0.312    -1   0.375   0.125\n"
              "\n"
              "Left out\n"
              "  D: it has no values\n");
    const CrossdatingSummary s = summarize(made.result);
    EXPECT_EQ(s.series, 3u);
    EXPECT_EQ(s.flaggedSegments, 1u);
    EXPECT_EQ(s.flaggedSeries, 1u);
}

// Long names are cut, every line stays within 100 characters, and what is
// not defined shows as NA, never as a number.
TEST(CrossdatingReport, LongNamesTooFewSeriesAndNothingDefined) {
    Made made;
    made.names[0] = std::string(70, 'x');
    made.result.status = numeric::CrossdatingStatus::tooFewSeries;
    made.result.segments.clear();
    made.result.segment.clear();
    made.result.flagged.clear();
    made.result.lags.clear();
    for (CorrelationTest& t : made.result.overall) t = {};
    const std::string text = crossdatingReport(made.report());
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 100u) << line;
    EXPECT_NE(text.find("\n  " + std::string(21, 'x') + "...   1890   1980     91      NA      NA\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  not crossdated    at least 3 series are needed"), std::string::npos);
    EXPECT_EQ(text.find("intercorrelation"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("Flagged segments"), std::string::npos);
    EXPECT_EQ(decimals3(-0.0001), "0.000");
    EXPECT_EQ(decimals3(nan), "NA");
}

TEST(CrossdatingTables, LongRowsOfTheMadeUpResult) {
    const Made made;
    EXPECT_EQ(seriesStatisticsCsv(made.names, made.statistics),
              "series,first,last,year,mean,median,stdev,skew,gini,ar1,sens1,sens2,zeros\n"
              "A,1890,1980,91,1.25,1,0.5,0.125,0.25,0.5,0.2,0.1,0\n"
              "B,1900,1960,61,1.25,1,0.5,0.125,0.25,0.5,0.2,0.1,2\n"
              "C\x1b[2J,1950,1970,21,1.25,1,0.5,NA,0.25,0.5,0.2,0.1,1\n");
    EXPECT_EQ(overallCsv(made.names, made.result), "series,r,p\nA,0.625,1e-04\nB,0.25,0.02\nC\x1b[2J,0.5,0.01\n");
    EXPECT_EQ(segmentsCsv(made.names, made.result),
              "series,first,last,r,p,flagged\n"
              "A,1900,1949,0.5,2e-04,FALSE\n"
              "A,1925,1974,0.4375,0.001,FALSE\n"
              "B,1900,1949,0.0625,0.3125,TRUE\n");
    EXPECT_EQ(lagsCsv(made.names, made.result), "series,first,lag,r\nB,1900,-1,0.375\nB,1900,0,0.125\nB,1900,1,-0.5\n");
    // Names that CSV must quote.
    const std::vector<std::string> quoted{"a,b", "say \"x\"", "c"};
    EXPECT_EQ(overallCsv(quoted, made.result),
              "series,r,p\n\"a,b\",0.625,1e-04\n\"say \"\"x\"\"\",0.25,0.02\nc,0.5,0.01\n");
}

}  // namespace
}  // namespace detrend::output
