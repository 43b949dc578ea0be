// Series statistics and the one-sided correlation tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/series_statistics.hpp"
#include "numeric/spearman_test.hpp"
#include "numeric/student_t.hpp"

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// 1, 2, 0, 0, 3 from 1900, worked by hand: mean 1.2, deviations -0.2, 0.8,
// -1.2, -1.2, 1.8 (squares 6.8, cubes 2.88); sorted 0 0 1 2 3, so the Gini
// sum is 0 + 0 + 0 + 2 * 2 + 4 * 3 = 16; lag products -0.16 - 0.96 + 1.44
// - 2.16 = -1.84; sensitivities 1/1.5, 2/1, 0 (two zero rings), 3/1.5;
// changes 1 + 2 + 0 + 3.
TEST(SeriesStatistics, HandWorkedSeriesWithZeroRings) {
    const std::vector<double> v{NaN, 1, 2, 0, 0, 3, NaN};
    std::vector<double> scratch;
    const SeriesStatistics s = seriesStatistics({1899, v}, scratch);
    EXPECT_EQ(s.first, 1900);
    EXPECT_EQ(s.last, 1904);
    EXPECT_EQ(s.length, 5u);
    EXPECT_EQ(s.zeros, 2u);
    EXPECT_DOUBLE_EQ(s.mean, 1.2);
    EXPECT_DOUBLE_EQ(s.median, 1.0);
    EXPECT_DOUBLE_EQ(s.stdev, std::sqrt(1.7));
    EXPECT_DOUBLE_EQ(s.skewness, 0.576 / std::pow(1.7, 1.5));
    EXPECT_DOUBLE_EQ(s.gini, 16.0 / 30.0);
    EXPECT_DOUBLE_EQ(s.ar1, -1.84 / 6.8);
    EXPECT_DOUBLE_EQ(s.sens1, (2.0 / 3.0 + 2.0 + 0.0 + 2.0) / 4.0);
    EXPECT_DOUBLE_EQ(s.sens2, 6.0 / 4.0 / 1.2);
}

TEST(SeriesStatistics, UndefinedStatisticsAreNaN) {
    std::vector<double> scratch;
    const std::vector<double> none{NaN, NaN}, one{2.0}, constant{1, 1, 1}, zeros{0, 0, 0};
    const SeriesStatistics empty = seriesStatistics({1, none}, scratch);
    EXPECT_EQ(empty.length, 0u);
    EXPECT_TRUE(std::isnan(empty.mean));
    const SeriesStatistics single = seriesStatistics({1, one}, scratch);
    EXPECT_EQ(single.mean, 2.0);
    EXPECT_TRUE(std::isnan(single.stdev));
    EXPECT_TRUE(std::isnan(single.sens1));  // no pair of years
    const SeriesStatistics flat = seriesStatistics({1, constant}, scratch);
    EXPECT_EQ(flat.stdev, 0.0);
    EXPECT_TRUE(std::isnan(flat.skewness));
    EXPECT_TRUE(std::isnan(flat.ar1));
    EXPECT_EQ(flat.gini, 0.0);
    EXPECT_EQ(flat.sens1, 0.0);
    const SeriesStatistics absent = seriesStatistics({1, zeros}, scratch);
    EXPECT_EQ(absent.sens1, 0.0);  // pairs of zero rings are no change, not 0 / 0
    EXPECT_TRUE(std::isnan(absent.gini));
    EXPECT_TRUE(std::isnan(absent.sens2));
}

// Exact tails by enumeration of all permutations (itertools.permutations in
// Python, counting S = sum (rank difference)^2).
TEST(SpearmanTest, ExactProbabilitiesForSmallN) {
    struct Case {
        std::vector<double> y;  // against x = 1 .. n
        double p;  // P(S <= s)
    };
    const Case cases[] = {
        {{2, 1}, 2.0 / 2.0},
        {{1, 2}, 1.0 / 2.0},
        {{1, 3, 2, 4}, 4.0 / 24.0},
        {{2, 1, 4, 3, 5}, 8.0 / 120.0},
        {{3, 1, 2, 5, 4, 7, 6}, 86.0 / 5040.0},
        {{2, 1, 3, 5, 4, 6, 9, 7, 8}, 238.0 / 362880.0},
        {{9, 8, 7, 6, 5, 4, 3, 2, 1}, 1.0},
    };
    RankScratch scratch;
    for (const Case& c : cases) {
        std::vector<double> x(c.y.size());
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = 10.0 * static_cast<double>(i + 1);
        const CorrelationTest t = spearmanTest(x, c.y, scratch);
        EXPECT_FALSE(t.ties);
        EXPECT_NEAR(t.p, c.p, 1e-15) << c.y.size();
    }
    // Upper tails P(S >= s), by the same enumeration; an odd s counts as the next even one.
    EXPECT_NEAR(spearmanUpperTail(6, 10), 683.0 / 720.0, 1e-15);
    EXPECT_NEAR(spearmanUpperTail(9, 100), 246098.0 / 362880.0, 1e-15);
    EXPECT_NEAR(spearmanUpperTail(3, 1), 5.0 / 6.0, 1e-15);
    EXPECT_EQ(spearmanUpperTail(5, 41), 0.0);  // beyond n (n^2 - 1) / 3 = 40
    EXPECT_EQ(spearmanUpperTail(1, 0), 1.0);
}

// The Edgeworth series beyond n = 9, clipped to exactly 0 for strong
// correlations, and the t approximation with ties.
TEST(SpearmanTest, LargeSamplesMatchReferenceProbabilities) {
    struct Case {
        double r;
        std::size_t n;
        double p;
    };
    // from reference xdate/chin008/seg-cor.csv and seg-p.csv (WUY18B 1950,
    // WUY25A 1725 and 1750; 50 years without ties)
    const Case edgeworth[] = {{0.1983673469387755, 50, 0.083433544407062452},
                              {0.52288115246098443, 50, 6.1681503668210879e-05},
                              {0.76057623049219691, 50, 0.0}};
    for (const Case& c : edgeworth) EXPECT_NEAR(spearmanGreaterP(c.r, c.n), c.p, 1e-12) << c.r;
    // from reference xdate/az081/interseries.csv, 083062: 294 years with
    // ties (its zero rings), the t approximation
    EXPECT_NEAR(tGreaterP(0.75375158090385552, 294) / 1.7756841314362281e-55, 1.0, 1e-11);
    EXPECT_EQ(tGreaterP(1.0, 10), 0.0);
    EXPECT_EQ(tGreaterP(-1.0, 10), 1.0);
    EXPECT_TRUE(std::isnan(tGreaterP(0.5, 2)));
}

TEST(SpearmanTest, TiesTakeTheTApproximationAndPearsonItsOwn) {
    const std::vector<double> x{1, 2, 2, 3, 4, 5}, y{1, 3, 2, 4, 6, 5};
    RankScratch scratch;
    const CorrelationTest s = spearmanTest(x, y, scratch);
    EXPECT_TRUE(s.ties);
    // ranks of x: 1, 2.5, 2.5, 4, 5, 6; of y: 1, 3, 2, 4, 6, 5
    EXPECT_NEAR(s.r, 16.0 / std::sqrt(17.0 * 17.5), 1e-15);
    EXPECT_DOUBLE_EQ(s.p, tGreaterP(s.r, 6));
    const CorrelationTest p = pearsonTest(x, y);
    EXPECT_FALSE(p.ties);
    EXPECT_DOUBLE_EQ(p.p, tGreaterP(p.r, 6));
}

// Student's t against its closed forms for 1 and 2 degrees of freedom.
TEST(StudentT, ClosedForms) {
    const double pi = std::acos(-1.0);
    for (double t : {-3.0, -0.5, 0.0, 0.25, 1.0, 4.0, 50.0}) {
        EXPECT_NEAR(studentTUpper(t, 1.0), 0.5 - std::atan(t) / pi, 1e-14) << t;
        EXPECT_NEAR(studentTUpper(t, 2.0), 0.5 - t / (2.0 * std::sqrt(t * t + 2.0)), 1e-14) << t;
    }
    EXPECT_NEAR(std::exp(logGamma(0.5)), std::sqrt(pi), 1e-14);
    EXPECT_NEAR(logGamma(101.0), std::lgamma(101.0), 1e-12);
    EXPECT_EQ(studentTUpper(std::numeric_limits<double>::infinity(), 3.0), 0.0);
    EXPECT_TRUE(std::isnan(studentTUpper(1.0, 0.0)));
}

}  // namespace
}  // namespace detrend::numeric
