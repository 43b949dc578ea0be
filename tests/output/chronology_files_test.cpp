#include "output/chronology_files.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/text.hpp"

namespace detrend::output {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
using numeric::Chronology;

TEST(ChronologyFiles, Csv) {
    const Chronology c{1999, {1.5, NaN, 0.1}, {NaN, NaN, 1e-7}, {2, 0, 1}, {}};
    EXPECT_EQ(chronologyCsv(c), "year,std,res,samp.depth\n1999,1.5,NA,2\n2000,NA,NA,0\n2001,0.1,1e-07,1\n");
    // With the subsample signal strength, the years a cut keeps.
    const double sss[] = {0.5, NaN, 1.0};
    const char keep[] = {1, 0, 1};
    EXPECT_EQ(chronologyCsv(c, sss, keep), "year,std,res,samp.depth,sss\n1999,1.5,NA,2,0.5\n2001,0.1,1e-07,1,1\n");
    EXPECT_EQ(statisticsCsvHeader(),
              "file,series,first,last,rbar,eps,snr,n.cores,n.trees,n,n.tot,n.wt,n.bt,rbar.wt,rbar.bt,c.eff,rbar.eff,"
              "cutoff,index\n");
    numeric::SiteStatistics s;
    s.cores = 4, s.trees = 2, s.n = 2, s.pairs = 6, s.pairsWithin = 2, s.pairsBetween = 4;
    s.rbarTotal = 0.5, s.rbarWithin = 0.75, s.rbarBetween = 0.25, s.coresPerTree = 2, s.rbarEffective = 0.3;
    s.eps = 0.8, s.snr = std::numeric_limits<double>::infinity(), s.first = 1601, s.last = 1719;
    EXPECT_EQ(statisticsCsvRow("a,\"b\".rwl", 4, s, "67%", "ratio"),
              "\"a,\"\"b\"\".rwl\",4,1601,1719,0.5,0.8,Inf,4,2,2,6,2,4,0.75,0.25,2,0.3,67%,ratio\n");
    numeric::SiteStatistics none;
    none.rbarTotal = none.eps = none.snr = none.rbarWithin = none.rbarBetween = none.coresPerTree = none.rbarEffective =
        NaN;
    EXPECT_EQ(statisticsCsvRow("site.rwl", 0, none, "32", "difference"),
              "site.rwl,0,NA,NA,NA,NA,NA,0,0,0,0,0,0,NA,NA,NA,NA,32,difference\n");
    numeric::RunningWindow w{1600, 1624, 1649, s};
    EXPECT_EQ(runningCsvRows("x", std::span(&w, 1)), "x,1600,1624,1649,4,2,2,6,2,4,0.5,0.75,0.25,2,0.3,0.8,Inf\n");
}

// 1996-2012: decades cut on both sides, 1998 without an index, depths of
// one and two digits, halves rounded away from zero (1.0625 and -0.0625),
// a negative index. -12 .. 3: the decades of negative years, which start at
// 10 floor(year / 10): -20 and -10.
TEST(ChronologyFiles, TucsonGolden) {
    const Chronology a{1996,
                       {1.0625, 0.5, NaN, 1.2, -0.0625, 0.9, 1.1, 0.95, 1.0, 1.05, 0.8, 1.3, 0.7, 1.0, 0.99, 1.01, 2.5},
                       {},
                       {3, 5, 0, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 11, 9},
                       {}};
    EXPECT_EQ(tucsonChronology("SITE0123", a).value(),
              "SITE0119969990  09990  09990  09990  09990  09990  01063  3 500  59990  01200 12\n"
              "SITE012000 -63 12 900 121100 12 950 121000 121050 12 800 121300 12 700 121000 12\n"
              "SITE012010 990 121010 112500  99990  09990  09990  09990  09990  09990  09990  0\n");
    const Chronology b{-12, std::vector<double>(16, 1.0), {}, std::vector<int>(16, 1), {}};
    EXPECT_EQ(tucsonChronology("NEG", b).value(),
              "NEG    -129990  09990  09990  09990  09990  09990  09990  09990  01000  11000  1\n"
              "NEG    -101000  11000  11000  11000  11000  11000  11000  11000  11000  11000  1\n"
              "NEG      01000  11000  11000  11000  19990  09990  09990  09990  09990  09990  0\n");
    EXPECT_TRUE(tucsonChronology("X", Chronology{}).value().empty());
}

// What four columns of thousandths, three of depth and four of year hold;
// errors name the year.
TEST(ChronologyFiles, TucsonLimits) {
    const std::tuple<int, double, int, bool> cases[] = {
        {1950, 9.9894, 999, true}, {1950, 9.99, 5, false},   {1950, -0.999, 5, true},
        {1950, -1.0, 5, false},    {1950, 1.0, 1000, false}, {-999, 1.0, 1, true},
        {9999, 1.0, 1, true},      {-1000, 1.0, 1, false},   {10000, 1.0, 1, false},
    };
    for (const auto& [year, index, depth, ok] : cases) {
        const base::Result<std::string> r = tucsonChronology("X", Chronology{year, {index}, {}, {depth}, {}});
        ASSERT_EQ(r.ok(), ok) << year << " " << index << " " << depth;
        if (!ok) {
            EXPECT_EQ(r.why().find("year " + std::to_string(year)), 0u) << r.why();
        }
    }
}

// A .crn as the format defines it, read back: three header lines (code in
// columns 1-6, the line's number in column 8), then decade lines of the code,
// a four-column year and ten fields of a four-column value in thousandths
// and a three-column depth; 9990 marks a year without a value.
struct CrnRead {
    std::string code, name, species;
    long first = 0, last = 0;
    std::vector<std::pair<long, double>> values;  // year, index
};

CrnRead readCrn(const std::string& text) {
    CrnRead r;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    r.code = std::string(base::trimmed(lines[0].substr(0, 6)));
    EXPECT_EQ(lines[0][7], '1');
    EXPECT_EQ(lines[1][7], '2');
    EXPECT_EQ(lines[2][7], '3');
    r.name = std::string(base::trimmed(lines[0].substr(9, 52)));
    if (lines[0].size() > 61) r.species = std::string(base::trimmed(lines[0].substr(61, 4)));
    r.first = std::stol(lines[1].substr(67, 4));
    r.last = std::stol(lines[1].substr(72, 4));
    for (std::size_t k = 3; k < lines.size(); ++k) {
        EXPECT_EQ(std::string(base::trimmed(lines[k].substr(0, 6))), r.code);
        const long start = std::stol(lines[k].substr(6, 4));
        const long decade = start >= 0 ? start / 10 * 10 : -((-start + 9) / 10 * 10);
        for (int f = 0; f < 10; ++f) {
            const long year = decade + f;
            const long value = std::stol(lines[k].substr(10 + 7 * static_cast<std::size_t>(f), 4));
            if (value != 9990) r.values.push_back({year, static_cast<double>(value) / 1000.0});
        }
    }
    return r;
}

// The header lines in the archive's columns, each chronology kind in its
// own file, read back by a reader written from the format.
TEST(ChronologyFiles, CrnRoundTrip) {
    const Chronology c{1995,
                       {1.0625, 0.5, NaN, 1.2, 0.9, 1.1, 0.95, 1.0, 1.05, 0.8, 1.3, 0.7},
                       {0.98, 0.51, NaN, 1.21, 0.88, 1.12, 0.93, 1.01, 1.04, 0.79, 1.31, 0.69},
                       {3, 5, 0, 12, 12, 12, 12, 12, 12, 12, 12, 11},
                       {}};
    const auto header = crnHeaderLines("SCBIQU", "Smithsonian Conservation Biology Inst.", "QURU", 1995, 2006);
    ASSERT_TRUE(header.ok()) << header.why();
    // The species in columns 62-65, the years in 68-71 and 73-76.
    const std::string one = "SCBIQU 1 Smithsonian Conservation Biology Inst.";
    EXPECT_EQ(*header, one + std::string(61 - one.size(), ' ') + "QURU\nSCBIQU 2" + std::string(59, ' ') +
                           "1995 2006\nSCBIQU 3\n");
    for (const bool residual : {false, true}) {
        const auto decades = tucsonChronology("SCBIQU", c, {}, residual);
        ASSERT_TRUE(decades.ok());
        const CrnRead back = readCrn(*header + *decades);
        EXPECT_EQ(back.code, "SCBIQU");
        EXPECT_EQ(back.species, "QURU");
        EXPECT_EQ(back.first, 1995);
        EXPECT_EQ(back.last, 2006);
        const std::vector<double>& values = residual ? c.residual : c.standard;
        std::vector<std::pair<long, double>> expected;
        for (std::size_t y = 0; y < values.size(); ++y)
            if (!std::isnan(values[y]))
                expected.push_back({1995 + static_cast<long>(y), std::round(values[y] * 1000) / 1000});
        EXPECT_EQ(back.values, expected) << residual;
    }
    const struct {
        const char *code, *name, *species, *why;
    } refused[] = {
        {"", "", "", "the site code \"\" must be 1 to 6 characters without a blank"},
        {"SEVENCH", "", "", "the site code \"SEVENCH\" must be 1 to 6 characters without a blank"},
        {"A B", "", "", "the site code \"A B\" must be 1 to 6 characters without a blank"},
        {"A", "", "QU RU", "the species code \"QU RU\" must be at most 4 characters without a blank"},
    };
    for (const auto& r : refused) EXPECT_EQ(crnHeaderLines(r.code, r.name, r.species, 1, 2).why(), r.why);
}

}  // namespace
}  // namespace detrend::output
