#include "output/chronology_files.hpp"

#include <gtest/gtest.h>

#include <limits>

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

}  // namespace
}  // namespace detrend::output
