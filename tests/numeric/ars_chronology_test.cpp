// The ARSTAN chronology: the pooled autocorrelation, the pooled model and
// its order, the residual chronology and the persistence put back into it.
#include "numeric/ars_chronology.hpp"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool same(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) {
        return std::isnan(x) ? std::isnan(y) : std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
    });
}

// Park and Miller's minimal standard generator; red noise around 1.
struct MinimalStandard {
    std::uint64_t state = 1;
    std::uint64_t next() { return state = state * 16807 % 2147483647; }
    double uniform() { return static_cast<double>(next()) / 2147483647.0 - 0.5; }
};
std::vector<double> noise(MinimalStandard& draw, std::size_t n, double phi) {
    std::vector<double> x(n);
    for (std::size_t t = 0; t < n; ++t) x[t] = 1.0 + draw.uniform() + (t > 0 ? phi * (x[t - 1] - 1.0) : 0.0);
    return x;
}

// A = 1 2 3 in years 1-3 (deviations -1 0 1), B = 5 6 2 3 in years 2-5
// (1 2 -2 -1). Lag 1, the series with values in both t and t + 1:
// year 1 only A, (-1)(0); year 2 both, (0 + 1)(1 + 2) = 3; years 3 and 4
// only B, (2)(-2) and (-2)(-1): C_1 = 1. C_0 = 1 + 1 + 9 + 4 + 1 = 16,
// C_2 = (-1)(1) + (1)(-2) + (2)(-1) = -5, C_3 = (1)(-1), C_4 = 0; lags up to
// 5 - 1. (The sum of all deviations of each year would give C_1 = -2.)
// AIC(0) = 5 log 16 + 2 < AIC(1) = 5 log(16 (1 - 1/256)) + 4: order 0, so
// both chronologies are the yearly means of the series themselves.
TEST(ArsChronology, PooledAutocorrelationOverTheSeriesInBothYears) {
    const std::vector<double> a{1, 2, 3}, b{5, 6, 2, 3};
    const ArsChronology c = buildArsChronology(std::vector<IndexSeries>{{2, b}, {1, a}}, ChronologyMean::arithmetic);
    EXPECT_EQ(c.model.autocorrelation, (std::vector<double>{1, 0.0625, -0.3125, -0.0625, 0}));
    ASSERT_EQ(c.model.aic.size(), 5u);
    EXPECT_NEAR(c.model.aic[0], 5 * std::log(16.0) + 2, 1e-12);
    EXPECT_NEAR(c.model.aic[1], 5 * std::log(16.0 * 255 / 256) + 4, 1e-12);
    EXPECT_EQ(c.model.order, 0);
    EXPECT_EQ(c.first, 1);
    const double expected[] = {1, 3.5, 4.5, 2, 3};
    for (std::size_t t = 0; t < 5; ++t) {
        EXPECT_NEAR(c.residual[t], expected[t], 1e-15) << t;
        EXPECT_NEAR(c.ars[t], expected[t], 1e-15) << t;
    }
}

// The pooled autocorrelations of two sites (r_0 .. r_10), the AIC of
// orders 0 .. 10, phi of order 2 and the first and last of order 10, from
// reference site/{az081,chin008}/chron-ars.txt (its coefficients
// are -phi). c0 is our lag-0 sum for the site's rwi.csv; every value in
// 69884-69902 and 2852.8-2854.1 rounds to those AICs. The order is the
// first minimum of the AIC, not its least (order 9 in both).
TEST(ArsChronology, ModelOfReferenceSites) {
    struct Site {
        std::array<double, 11> r, aic;
        double c0;
        std::size_t years;
        std::array<double, 4> phi;  // phi_21, phi_22, phi_10,1, phi_10,10
    };
    const Site sites[] = {
        {{1, 0.092027368, 0.006755100, -0.008869946, -0.140278613, -0.130383149, -0.145795967, -0.148750418,
          -0.083862473, -0.053620680, -0.009391971},
         {4140, 4139, 4141, 4143, 4138, 4136, 4131, 4126, 4125, 4123, 4124},
         69896.31931771866,
         371,
         {0.09218644, -0.0017285754, 0.01499724, -0.07146959}},
        {{1, 0.175108245, 0.028678226, -0.066790945, 0.031727650, -0.048661859, -0.243746931, -0.272638957,
          -0.144450889, -0.071224571, 0.002598823},
         {2508, 2500, 2502, 2503, 2504, 2504, 2487, 2477, 2476, 2476, 2478},
         2852.926454373773,
         315,
         {0.17546677, -2.047453e-03, 0.09589778, 0.0003625418}},
    };
    for (const Site& s : sites) {
        const PooledAutoregression m = pooledModel(s.r, s.c0, s.years);
        EXPECT_EQ(m.order, 1);
        ASSERT_EQ(m.coefficients.size(), 10u);
        ASSERT_EQ(m.aic.size(), 11u);
        for (std::size_t p = 0; p <= 10; ++p) EXPECT_EQ(std::round(m.aic[p]), s.aic[p]) << s.years << " " << p;
        EXPECT_EQ(m.coefficients[0][0], s.r[1]);
        const double got[] = {m.coefficients[1][0], m.coefficients[1][1], m.coefficients[9][0], m.coefficients[9][9]};
        for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], s.phi[k], 1e-7) << k;
    }
}

// One series: the model put back is the one taken out, so the ARSTAN
// chronology returns the series itself, but for the start (the years before
// count as the mean) and the small difference between the series' mean and
// its residuals'.
TEST(ArsChronology, OneSeriesGetsItsOwnPersistenceBack) {
    MinimalStandard draw;
    const std::vector<double> x = noise(draw, 300, 0.6);
    const ArsChronology c = buildArsChronology(std::vector<IndexSeries>{{1700, x}}, ChronologyMean::biweight);
    ASSERT_GE(c.model.order, 1);
    const auto p = static_cast<std::size_t>(c.model.order);
    EXPECT_GT(c.model.coefficients[p - 1][0], 0.4);
    for (std::size_t t = 0; t < x.size(); ++t) {
        EXPECT_EQ(std::isnan(c.ars[t]), t < p);
        EXPECT_EQ(std::isnan(c.residual[t]), t < 2 * p);
        if (t >= p + 10) {
            EXPECT_NEAR(c.ars[t], x[t], 5e-3) << t;
        }
    }
}

// Two series a decade apart: no pooled sum spans the decade; the
// chronologies have no value there, the residual one none either until the
// second series has p values of residuals before; the ARSTAN one restarts.
// A series with a gap is left out of all: the same as without it, while it
// still widens the years.
TEST(ArsChronology, YearsWithoutSeriesAndSeriesWithAGap) {
    MinimalStandard draw;
    const std::vector<double> a = noise(draw, 50, 0.7), b = noise(draw, 50, 0.7);
    std::vector<double> gapped = noise(draw, 20, 0.7);
    gapped[5] = NaN;
    const std::vector<IndexSeries> two{{1900, a}, {1960, b}}, three{{1900, a}, {2005, gapped}, {1960, b}};
    const ArsChronology c = buildArsChronology(two, ChronologyMean::biweight);
    ASSERT_GE(c.model.order, 1);
    const auto p = static_cast<std::size_t>(c.model.order);
    ASSERT_EQ(c.ars.size(), 110u);
    for (std::size_t t = 0; t < 110; ++t) {
        const bool none = t < p || (t >= 50 && t < 60 + p);
        EXPECT_EQ(std::isnan(c.ars[t]), none) << t;
        EXPECT_EQ(std::isnan(c.residual[t]), t < 2 * p || (t >= 50 && t < 60 + 2 * p)) << t;
    }
    const ArsChronology d = buildArsChronology(three, ChronologyMean::biweight);
    EXPECT_EQ(d.leftOut, std::vector<std::size_t>{1});
    EXPECT_EQ(d.ars.size(), 125u);
    EXPECT_TRUE(d.model.autocorrelation == c.model.autocorrelation && d.model.order == c.model.order);
    EXPECT_TRUE(same(std::vector<double>(d.ars.begin(), d.ars.begin() + 110), c.ars));
    EXPECT_TRUE(same(std::vector<double>(d.residual.begin(), d.residual.begin() + 110), c.residual));
    EXPECT_TRUE(std::all_of(d.ars.begin() + 110, d.ars.end(), [](double v) { return std::isnan(v); }));
}

// No series, none with a value, a constant one (no deviations: no model,
// its own value), a single value.
TEST(ArsChronology, SitesWithoutAModel) {
    const std::vector<double> none(4, NaN), flat(6, 1.25), one{0.8};
    struct Case {
        std::vector<IndexSeries> series;
        std::vector<double> chronology;
    };
    const Case cases[] = {{{}, {}},
                          {{{1800, none}}, {}},
                          {{{1800, flat}, {1803, flat}}, std::vector<double>(9, 1.25)},
                          {{{1800, one}}, {0.8}}};
    for (const auto& [series, chronology] : cases) {
        const ArsChronology c = buildArsChronology(series, ChronologyMean::biweight);
        EXPECT_TRUE(c.model.autocorrelation.empty() && c.model.aic.empty() && c.model.order == 0);
        EXPECT_TRUE(c.residual.size() == chronology.size() && c.ars.size() == chronology.size());
        for (std::size_t t = 0; t < chronology.size(); ++t)
            EXPECT_TRUE(std::fabs(c.residual[t] - chronology[t]) < 1e-15 &&
                        std::fabs(c.ars[t] - chronology[t]) < 1e-15);
    }
}

// Series of many spans, some the same span, some with a gap: the same bits
// for any order of the series and any number of threads.
TEST(ArsChronology, SameBitsForAnyOrderAndThreads) {
    MinimalStandard draw;
    std::vector<int> firsts;
    std::vector<std::vector<double>> values;
    for (int k = 0; k < 30; ++k) {
        const bool again = k % 4 == 3;
        firsts.push_back(again ? firsts.back() : 1700 + static_cast<int>(draw.next() % 50));
        values.push_back(noise(draw, again ? values.back().size() : 25 + draw.next() % 100, 0.5));
        if (k % 7 == 1) values.back()[draw.next() % values.back().size()] = NaN;
    }
    std::vector<IndexSeries> series;
    for (std::size_t i = 0; i < values.size(); ++i) series.push_back({firsts[i], values[i]});
    std::mt19937 random(5);
    ArsChronology first;
    for (int threads = 0; threads <= 3; ++threads) {
        if (threads > 0) std::shuffle(series.begin(), series.end(), random);
        tbb::global_control control(tbb::global_control::max_allowed_parallelism, std::max(threads, 1));
        const ArsChronology c = buildArsChronology(series, ChronologyMean::biweight);
        if (threads == 0) first = c;
        EXPECT_TRUE(c.first == first.first && same(c.residual, first.residual) && same(c.ars, first.ars));
        EXPECT_TRUE(same(c.model.autocorrelation, first.model.autocorrelation) && same(c.model.aic, first.model.aic));
        EXPECT_EQ(c.leftOut.size(), first.leftOut.size());
    }
    EXPECT_GE(first.model.order, 1);
}

}  // namespace
}  // namespace detrend::numeric
