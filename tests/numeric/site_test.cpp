// A site's chronology and signal statistics: biweight and arithmetic means,
// prewhitening, pair correlations, rbar, EPS and SNR, the chronologies.
//
// The series come from Park and Miller's minimal standard generator,
// x <- 16807 x mod (2^31 - 1) from x = 1, whose integers R reproduces exactly
// in double precision, so that reference values can be computed there:
//   state <- 1; draw <- function(k) { v <- numeric(k); for (i in 1:k) {
//     state <<- (state * 16807) %% 2147483647; v[i] <- state }; v }
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "numeric/autoregression.hpp"
#include "numeric/biweight.hpp"
#include "numeric/chronology.hpp"
#include "numeric/cross_products.hpp"
#include "numeric/signal_statistics.hpp"

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct MinimalStandard {
    std::uint64_t state = 1;
    std::uint64_t next() { return state = state * 16807 % 2147483647; }
    double uniform() { return static_cast<double>(next()) / 2147483647.0 - 0.5; }  // in (-0.5, 0.5)
};

// The same bits, or both NaN.
bool same(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool same(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) { return same(x, y); });
}

struct Site {
    std::vector<int> firsts;
    std::vector<std::vector<double>> values;
    std::vector<IndexSeries> series() const {
        std::vector<IndexSeries> s;
        for (std::size_t i = 0; i < values.size(); ++i) s.push_back({firsts[i], values[i]});
        return s;
    }
};

// Worked with c = 9 S; the 1e-6 added to c moves the means in the seventh
// digit, so the expected values are these sums in exact rational arithmetic
// with c = 9 S + 1e-6 (Python's fractions).
// {1 2 3 4 10}: M = 3, |x - M| = 2 1 0 1 7, S = 1, u = -2/9 -1/9 0 1/9 7/9,
//   w = (1 - u^2)^2 = (5929 6400 6561 6400 1024) / 6561,
//   mean = (5929 + 12800 + 19683 + 25600 + 10240) / 26314 = 2.8217679
// {1 2 3 4 100}: the same but u(100) = 97/9 > 1, w = 0: 64012 / 25290 = 2.5311190
// {1 2 3 10}: M = 2.5, |x - M| sorted .5 .5 1.5 7.5, S = 1, u = -1/6 -1/18 1/18 5/6,
//   w = (99225 104329 104329 9801) / 324^2, mean = 718880 / 317684 = 2.2628776
// {10 10 10 10 50}: S = 0, c = 1e-6, u(50) > 1: 10. {2 4}: equal weights: 3.
TEST(Biweight, HandWorkedSets) {
    const std::vector<double> sets[] = {
        {1, 2, 3, 4, 10}, {1, 2, 3, 4, 100}, {10, 3, 1, 2}, {10, 10, 50, 10, 10}, {4, 2}, {7.25}, {}};
    const double biweight[] = {2.821768061325705, 2.5311190124060694, 2.2628778127773854, 10, 3, 7.25, NaN};
    const double arithmetic[] = {4, 22, 4, 18, 3, 7.25, NaN};
    std::vector<double> scratch;
    for (std::size_t k = 0; k < std::size(sets); ++k) {
        const double b = biweightMean(sets[k], scratch), a = arithmeticMean(sets[k], scratch);
        EXPECT_TRUE(std::fabs(b - biweight[k]) < 1e-14 || (std::isnan(b) && std::isnan(biweight[k]))) << k << " " << b;
        EXPECT_TRUE(same(a, arithmetic[k])) << k << " " << a;
    }
}

// Values whose sums depend on their order: the means must not.
TEST(Biweight, SameBitsInAnyOrder) {
    std::vector<double> x = {1e16, 1.0, -3.0, 1e-3, 0.7, 1e16, 2.5, 1.0, 3e15, -0.1, 0.3}, scratch;
    const double b = biweightMean(x, scratch), a = arithmeticMean(x, scratch);
    std::mt19937 random(7);
    for (int k = 0; k < 50; ++k) {
        std::shuffle(x.begin(), x.end(), random);
        ASSERT_TRUE(same(biweightMean(x, scratch), b) && same(arithmeticMean(x, scratch), a));
    }
}

// Reference values from R 4.2.2 for autoregressive series of uniform noise,
// plus 1, built there as here:
//   e <- draw(500) / 2147483647 - 0.5; x <- numeric(500); x[1] <- e[1]
//   for (t in 2:500) x[t] <- 0.6 * x[t - 1] + e[t]; x <- x + 1
//   f <- ar(x, method = "yule-walker")
// giving f$order, f$ar, f$x.mean, f$var.pred and (f$resid + f$x.mean)[t]; the
// second series from the next 300 draws, y[1:2] <- e[1:2] and
// y[t] <- 0.5 * y[t - 1] - 0.3 * y[t - 2] + e[t]. The first recovers its 0.6
// at order 1; for the second the AIC picks order 5 (f$aic: 83.9 30.7 2.71
// 3.03 4.97 0). R's var.pred is the recursion's variance times n / (n - p - 1).
TEST(Autoregression, YuleWalkerAsR) {
    struct Case {
        struct {
            std::size_t n;
            double a1, a2;
        } model;
        std::vector<double> fit;  // f$x.mean, f$var.pred, f$ar
        std::vector<std::pair<std::size_t, double>> residuals;  // (t, residual + mean), t from 0
    };
    const Case cases[] = {{{500, 0.6, 0.0},
                           {0.9912663651703193, 0.080246040094279214, 0.59840973815858434},
                           {{1, 0.62551637753683287}, {2, 1.2493160075830729}, {499, 1.1470184781550314}}},
                          {{300, 0.5, 0.3},
                           {0.98143589515308971, 0.078245309051966347, 0.56064536202062598, -0.33341650029813819,
                            0.014980616834248117, 0.098449004519203229, -0.15152428937110018},
                           {{5, 0.68097341474032502}, {6, 1.2770868462554545}, {299, 0.57251167793857616}}}};
    MinimalStandard draw;
    for (const auto& [model, fit, residuals] : cases) {
        const auto [n, a1, a2] = model;
        std::vector<double> x(n), out(n);
        for (std::size_t t = 0; t < n; ++t) {
            x[t] = draw.uniform();
            if (a2 == 0.0 && t >= 1) x[t] = a1 * x[t - 1] + x[t];
            if (a2 != 0.0 && t >= 2) x[t] = a1 * x[t - 1] - a2 * x[t - 2] + x[t];
        }
        for (double& v : x) v = v + 1.0;
        const Autoregression f = prewhiten(x, out);
        const std::size_t p = fit.size() - 2;
        ASSERT_EQ(f.order, static_cast<int>(p));
        EXPECT_NEAR(f.mean, fit[0], 1e-15);
        EXPECT_NEAR(f.variance * static_cast<double>(n) / static_cast<double>(n - p - 1), fit[1], 1e-14);
        for (std::size_t k = 0; k < p; ++k) EXPECT_NEAR(f.coefficients[k], fit[k + 2], 1e-13);
        for (std::size_t t = 0; t < p; ++t) EXPECT_TRUE(std::isnan(out[t]));
        for (auto [t, r] : residuals) EXPECT_NEAR(out[t], r, 1e-13) << t;
    }
}

// From R 4.2.2: four series of a common signal and their own noise, in
// tenths with many ties, negative and positive:
//   signal <- draw(120) %% 41
//   make <- function(first, n) (signal[(first - 1600):(first - 1601 + n)] + draw(n) %% 31) / 10 - 3
//   A <- make(1601, 80); B <- make(1611, 90); C <- make(1660, 60); D <- make(1601, 80)
//   B[c(6, 7, 41)] <- NA
// and for each pair with ok <- !is.na(a) & !is.na(b) and sum(ok) >= 30,
// cor(a[ok], b[ok], method = method); rbar their mean, eps and snr from it
// with n = 4. A and D cover the same years; C shares only 21 with A and D.
// Zeros (there are some) count as values here.
TEST(Correlation, ReferenceSiteAsR) {
    MinimalStandard draw;
    std::vector<double> signal(120);
    for (double& s : signal) s = static_cast<double>(draw.next() % 41);
    Site site{{1601, 1611, 1660, 1601}, {}};
    for (std::size_t n : {80, 90, 60, 80}) {
        const auto start = static_cast<std::size_t>(site.firsts[site.values.size()] - 1601);
        site.values.emplace_back();
        for (std::size_t i = 0; i < n; ++i)
            site.values.back().push_back((signal[start + i] + static_cast<double>(draw.next() % 31)) / 10.0 - 3.0);
    }
    site.values[1][5] = site.values[1][6] = site.values[1][40] = NaN;
    const auto series = site.series();
    const std::pair<std::size_t, std::size_t> pairs[] = {{0, 1}, {0, 3}, {1, 2}, {1, 3}};
    // The four pairs' correlations, rbar, eps and snr.
    for (const auto& [method, r] :
         {std::pair{CorrelationMethod::pearson,
                    std::array{0.72593053990003786, 0.60563108833210277, 0.61435916908504873, 0.67618874553589081,
                               0.65552738571327007, 0.88388232786418142, 7.6119535606116582}},
          {CorrelationMethod::spearman,
           {0.74196931929516563, 0.62399165601273965, 0.64643783893692897, 0.69488548107507908, 0.67682107382997836,
            0.89335659186415406, 8.3770446526443205}}}) {
        const auto got = pairCorrelations(series, method);
        ASSERT_EQ(got.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_TRUE(std::pair(got[k].first, got[k].second) == pairs[k] && std::fabs(got[k].r - r[k]) < 1e-15) << k;
        const SignalStatistics s = signalStatistics(series, {method, Zeros::counted});
        EXPECT_TRUE(s.series == 4 && s.pairs == 4 && s.first == 1601 && s.last == 1719);
        EXPECT_TRUE(std::fabs(s.rbar - r[4]) < 1e-15 && std::fabs(s.eps - r[5]) < 1e-15 &&
                    std::fabs(s.snr - r[6]) < 1e-13)
            << s.rbar << " " << s.eps << " " << s.snr;
    }
}

TEST(Correlation, CrossProductsSameOnEveryVectorUnit) {
    const std::size_t g = 19, m = 300;  // a partial panel, more than one cache block
    MinimalStandard draw;
    std::vector<double> v(g * m);
    for (double& x : v) x = draw.uniform();
    for (VectorUnit unit : {VectorUnit::best, VectorUnit::avx2, VectorUnit::sse2}) {
        std::vector<double> out(g * (g - 1) / 2, NaN);
        crossProducts(v, g, m, out, unit);
        for (std::size_t i = 0; i < g; ++i)
            for (std::size_t j = i + 1; j < g; ++j) {
                double s = 0.0;
                for (std::size_t t = 0; t < m; ++t) s = s + v[i * m + t] * v[j * m + t];
                ASSERT_TRUE(same(out[pairIndex(i, j, g)], s)) << i << " " << j;
            }
    }
}

TEST(Correlation, UndefinedStatistics) {
    std::vector<double> up(40), down(40), flat(40, 1.0);
    for (std::size_t i = 0; i < 40; ++i) down[i] = -(up[i] = static_cast<double>(i));
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::vector<IndexSeries>, std::array<double, 4>> cases[] = {
        {{}, {0, NaN, NaN, NaN}},  // pairs, rbar, eps, snr
        {{{1900, up}}, {0, NaN, NaN, NaN}},
        {{{1900, up}, {1900, up}}, {1, 1, 1, inf}},
        {{{1900, up}, {1911, up}}, {0, NaN, NaN, NaN}},  // 29 years in common
        {{{1900, up}, {1900, down}}, {1, -1, NaN, -1}},  // eps's denominator is 0
        {{{1900, up}, {1900, flat}, {1900, up}}, {1, 1, 1, inf}},  // flat has no correlation
    };
    for (const auto& [series, want] : cases) {
        const SignalStatistics s = signalStatistics(series, CorrelationMethod::pearson);
        EXPECT_TRUE(s.series == series.size() && s.first.has_value() == !series.empty());
        EXPECT_TRUE(same(static_cast<double>(s.pairs), want[0]) && same(s.rbar, want[1]) && same(s.eps, want[2]) &&
                    same(s.snr, want[3]))
            << series.size() << " " << s.rbar << " " << s.eps << " " << s.snr;
    }
}

constexpr ChronologyMean means[] = {ChronologyMean::biweight, ChronologyMean::arithmetic};

// Red noise around 1.
std::vector<double> noise(MinimalStandard& draw, std::size_t n) {
    std::vector<double> x(n);
    for (std::size_t t = 0; t < n; ++t) x[t] = 1.0 + draw.uniform() + (t > 0 ? 0.5 * (x[t - 1] - 1.0) : 0.0);
    return x;
}

// No series, or none with a value: no years. A constant series in 1900-1904
// and one value in 1908: nothing in 1905-1907; both are their own residuals
// (order 0).
TEST(Chronology, NoSeriesAndYearsWithout) {
    const std::vector<double> none(3, NaN), a(5, 1.5), b{2.0};
    EXPECT_TRUE(buildChronology({}, means[0]).standard.empty());
    EXPECT_TRUE(buildChronology(std::vector<IndexSeries>{{1700, none}}, means[0]).depth.empty());
    const Chronology c = buildChronology(std::vector<IndexSeries>{{1908, b}, {1900, a}}, means[1]);
    EXPECT_EQ(c.first, 1900);
    EXPECT_EQ(c.depth, (std::vector<int>{1, 1, 1, 1, 1, 0, 0, 0, 1}));
    EXPECT_TRUE(same(c.standard, {1.5, 1.5, 1.5, 1.5, 1.5, NaN, NaN, NaN, 2.0}) && same(c.residual, c.standard));
}

// One series, or three the same, with a year before their first value:
// their values and residuals, NaN where there is none.
TEST(Chronology, IdenticalSeriesGiveTheirOwnResiduals) {
    MinimalStandard draw;
    std::vector<double> x = noise(draw, 60), residual(60);
    const auto order = static_cast<std::size_t>(prewhiten(x, residual).order);
    ASSERT_GT(order, 0u);
    x.insert(x.begin(), NaN);
    for (std::size_t copies : {1, 3})
        for (ChronologyMean mean : means) {
            const Chronology c = buildChronology(std::vector<IndexSeries>(copies, {1799, x}), mean);
            EXPECT_EQ(c.first, 1800);
            EXPECT_EQ(c.depth, std::vector<int>(60, static_cast<int>(copies)));
            for (std::size_t t = 0; t < 60; ++t) {
                EXPECT_DOUBLE_EQ(c.standard[t], x[t + 1]);
                EXPECT_DOUBLE_EQ(t < order ? 0.0 : c.residual[t], t < order ? 0.0 : residual[t]);
                EXPECT_EQ(std::isnan(c.residual[t]), t < order);
            }
        }
}

// Five series, {1 2 3 4 10} plus a shift per year: the standard chronology
// is the biweight of that set (worked above), or its mean 4, plus the shift.
// A gap in one series keeps it out of the residual chronology alone.
TEST(Chronology, ChosenMeanAndSeriesWithAGap) {
    const double base[] = {1, 2, 3, 4, 10};
    Site site{std::vector<int>(5, 1), std::vector<std::vector<double>>(5)};
    for (int t = 0; t < 40; ++t)
        for (std::size_t k = 0; k < 5; ++k) site.values[k].push_back(base[k] + std::sin(0.7 * t));
    site.values[2][10] = NaN;
    const auto series = site.series();
    for (auto [mean, expected] : {std::pair{means[0], 2.821768061325705}, {means[1], 4.0}}) {
        const Chronology c = buildChronology(series, mean);
        EXPECT_EQ(c.leftOutOfResidual, std::vector<std::size_t>{2});
        EXPECT_EQ(c.depth[10], 4);
        EXPECT_TRUE(same(c.residual, buildChronology({{series[0], series[1], series[3], series[4]}}, mean).residual));
        for (int t = 0; t < 40; ++t)
            EXPECT_NEAR(c.standard[static_cast<std::size_t>(t)],
                        t == 10 ? c.standard[10] : expected + std::sin(0.7 * t), 1e-14);
    }
}

// Series of many spans, some sharing theirs (correlated in blocks), some with
// gaps: every pair correlation has the bits of the pair alone, either way
// round; statistics and chronology have the same bits for any order of the
// series and any number of threads.
TEST(Chronology, SameBitsForAnyOrderAndThreads) {
    MinimalStandard draw;
    Site site;
    for (int k = 0; k < 40; ++k) {
        const bool again = k % 4 == 3;  // the years of the series before
        site.firsts.push_back(again ? site.firsts.back() : 1700 + static_cast<int>(draw.next() % 50));
        site.values.push_back(noise(draw, again ? site.values.back().size() : 25 + draw.next() % 100));
        if (k % 5 == 1) site.values.back()[draw.next() % site.values.back().size()] = NaN;
    }
    std::vector<IndexSeries> series = site.series();
    std::mt19937 random(3);
    std::vector<std::pair<SignalStatistics, Chronology>> first;
    for (auto method : {CorrelationMethod::pearson, CorrelationMethod::spearman})
        for (const PairCorrelation& p : pairCorrelations(series, method)) {
            ASSERT_TRUE(same(p.r, pairCorrelation(series[p.first], series[p.second], method)));
            ASSERT_TRUE(same(p.r, pairCorrelation(series[p.second], series[p.first], method)));
        }
    // As given on one thread, then shuffled on one, two and three; Pearson's
    // with the biweight, Spearman's with the arithmetic mean.
    for (int threads = 0; threads <= 3; ++threads) {
        if (threads > 0) std::shuffle(series.begin(), series.end(), random);
        tbb::global_control control(tbb::global_control::max_allowed_parallelism, std::max(threads, 1));
        for (std::size_t k = 0; k < 2; ++k) {
            const SignalStatistics s =
                signalStatistics(series, k ? CorrelationMethod::spearman : CorrelationMethod::pearson);
            const Chronology c = buildChronology(series, means[k]);
            if (threads == 0) first.push_back({s, c});
            const auto& [t, d] = first[k];
            EXPECT_TRUE(t.pairs == s.pairs && same(t.rbar, s.rbar) && same(t.eps, s.eps) && same(t.snr, s.snr));
            EXPECT_TRUE(d.first == c.first && d.depth == c.depth && same(d.standard, c.standard) &&
                        same(d.residual, c.residual) && d.leftOutOfResidual.size() == c.leftOutOfResidual.size());
        }
    }
}

}  // namespace
}  // namespace detrend::numeric
