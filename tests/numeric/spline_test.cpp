#include "numeric/spline.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace detrend::numeric {
namespace {

const std::vector<float> eight = {1, 3, 2, 5, 4, 6, 8, 7};

struct Fit {
    std::vector<float> s;
    float p;
    SplineResult result;
    SplineBand band;
};

Fit fit(const std::vector<float>& y, int cutoff, float startValue = 0.0f) {
    Fit f{std::vector<float>(y.size() + 2, startValue), 42.0f, {}, {}};
    f.result = spline(static_cast<int>(y.size()), y, f.s, f.p, cutoff, f.band);
    return f;
}

TEST(Spline, SmoothingParameterForEachCutoff) {
    struct Case {
        int cutoff;
        double p;
    };
    const Case cases[] = {
        {1, 0.0},
        {2, 24.0},
        {3, 9.000000000000005},
        {4, 3.0000000000000018},
        {5, 1.2406773494325356},
        {10, 0.07790876703975598},
        {32, 0.00074317083812062144},
        {100, 7.7927271138765931e-6},
        {-4, 3.0000000000000018},
        {-32, 0.00074317083812062144},
    };
    for (const Case& c : cases) EXPECT_EQ(smoothingParameter(c.cutoff), c.p) << c.cutoff;
    EXPECT_TRUE(std::isnan(smoothingParameter(0)));
    EXPECT_EQ(fit(eight, 32).p, 0.000743170851f);
}

TEST(Spline, ReferenceResults) {
    struct Case {
        int cutoff;
        float p;
        std::vector<float> s;
    };
    const Case cases[] = {
        // cutoff 1: p = 0, the least-squares straight line
        {1, 0.0f, {1.25f, 2.17857146f, 3.10714293f, 4.03571415f, 4.96428585f, 5.89285707f, 6.8214283f, 7.75f}},
        {2,
         24.0f,
         {1.08884478f, 2.69684744f, 2.46552038f, 4.53225517f, 4.30497456f, 5.99548149f, 7.83449364f, 7.08158302f}},
        {3,
         9.0f,
         {1.14500213f, 2.51530242f, 2.72965622f, 4.25951862f, 4.4960084f, 6.03902626f, 7.6407361f, 7.17474937f}},
        // The second and last values show the two-step rounding: y - Qx
        // rounded once would give 2.34900832 and 7.32452536.
        {4,
         3.0f,
         {1.20302081f, 2.34900808f, 2.92786264f, 4.04855585f, 4.71104383f, 6.0821538f, 7.35382986f, 7.32452488f}},
        {-4,
         3.0f,
         {1.20302081f, 2.34900808f, 2.92786264f, 4.04855585f, 4.71104383f, 6.0821538f, 7.35382986f, 7.32452488f}},
        {32,
         0.000743170851f,
         {1.2497375f, 2.17848825f, 3.10707092f, 4.03585863f, 4.96456766f, 5.89335823f, 6.82169962f, 7.74921894f}},
    };
    for (const Case& c : cases) {
        const Fit f = fit(eight, c.cutoff);
        EXPECT_EQ(f.result, SplineResult::fitted);
        EXPECT_EQ(f.p, c.p) << c.cutoff;
        EXPECT_EQ(std::vector<float>(f.s.begin(), f.s.begin() + 8), c.s) << c.cutoff;
        EXPECT_EQ(f.s[8], 0.0f);  // nothing written past N
    }
}

TEST(Spline, SmallestSystem) {
    const Fit f = fit({2, 0, 1, 5}, 4);
    EXPECT_EQ(f.p, 3.0f);
    EXPECT_EQ(std::vector<float>(f.s.begin(), f.s.begin() + 4),
              (std::vector<float>{1.57142854f, 0.428571433f, 1.42857146f, 4.57142878f}));
}

TEST(Spline, ZeroSecondDifferencesComeBackUnchanged) {
    std::vector<float> line, constant(50, 3.25f);
    for (int i = 0; i < 50; ++i) line.push_back(1.0f + 0.5f * static_cast<float>(i));
    for (int cutoff : {1, 2, 3, 30, 1000, -7}) {
        for (const auto& y : {line, constant}) {
            const Fit f = fit(y, cutoff);
            EXPECT_EQ(std::vector<float>(f.s.begin(), f.s.begin() + 50), y) << cutoff;
        }
    }
}

TEST(Spline, TooShortMarksTheFirstValueOnly) {
    for (int n : {3, 2, 1, 0, -5}) {
        std::vector<float> y = {1, 2, 3}, s = {5, 6, 7};
        float p = 42.0f;
        SplineBand band;
        EXPECT_EQ(spline(n, y, s, p, 4, band), SplineResult::tooShort);
        EXPECT_EQ(s, (std::vector<float>{-9998.0f, 6, 7})) << n;
        EXPECT_EQ(p, 42.0f);
    }
}

TEST(Spline, NoCapacityOfItsOwn) {
    for (int N : {10000, 10001, 25000}) {
        std::vector<float> y(static_cast<std::size_t>(N), 1.0f), s(static_cast<std::size_t>(N), 5.0f);
        y[5000] = 2.0f;
        float p = 42.0f;
        SplineBand band;
        EXPECT_EQ(spline(N, y, s, p, 30, band), SplineResult::fitted);
        EXPECT_LT(s[5000], 2.0f);
        EXPECT_GT(s[5000], 1.0f);
    }
}

TEST(Spline, CutoffZeroFailsTheFactorization) {
    const Fit f = fit(eight, 0, 5.0f);
    EXPECT_EQ(f.result, SplineResult::notPositiveDefinite);
    EXPECT_TRUE(std::isnan(f.p));
    EXPECT_EQ(f.s[0], -9999.0f);
    EXPECT_EQ(std::vector<float>(f.s.begin() + 1, f.s.end()), std::vector<float>(9, 5.0f));
}

TEST(Spline, CallsDoNotDependOnEachOther) {
    const Fit first = fit(eight, 4);
    fit(std::vector<float>(300, 1.0f), 0);  // leaves the band storage partly written
    fit({9, -3, 4, 4, 0}, 2);
    EXPECT_EQ(fit(eight, 4).s, first.s);
}

// One band serves a thread's calls: the rows it keeps factored from earlier
// calls (same cutoff, any N) must give the bits of a fresh factorization.
TEST(Spline, KeptFactorizationGivesTheBitsOfAFreshOne) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_int_distribution<int> length(1, 400), pick(0, 5);
    const int cutoffs[] = {30, 30, 7, 0, 30, 2};
    SplineBand kept;
    for (int call = 0; call < 300; ++call) {
        const int N = length(random), cutoff = cutoffs[pick(random)];
        std::vector<float> y(static_cast<std::size_t>(N));
        for (float& v : y) v = noise(random);
        std::vector<float> reused(y.size() + 1, 5.0f), fresh(y.size() + 1, 5.0f);
        float p1 = 0, p2 = 0;
        SplineBand band;
        const SplineResult a = spline(N, y, reused, p1, cutoff, kept);
        const SplineResult b = spline(N, y, fresh, p2, cutoff, band);
        ASSERT_EQ(a, b) << call;
        ASSERT_EQ(std::memcmp(reused.data(), fresh.data(), reused.size() * sizeof(float)), 0) << call;
    }
}

// Each lane must give its series exactly the bits of spline alone, on both
// paths: lengths ending in different lanes, series that never reach the
// substitutions, leading zeros (lane 1 a quarter, lane 3 all), a NaN and an
// infinity (NaNs from inf - inf).
TEST(Spline, LanesHaveTheBitsOfOneSeriesAtATime) {
    const struct {
        int cutoff;
        std::vector<int> lengths;
        int badAt = -1;  // in lane 0
        float bad = std::bit_cast<float>(0xffc01234u);
    } cases[] = {
        {30, {500, 37, 4, 9}},     {30, {9, 4, 37, 500}},
        {7, {200, 3, 201, 60}, 0}, {7, {61, 60, 62}, 30, std::numeric_limits<float>::infinity()},
        {2, {3, 2, 1, 0}},         {2, {5, 6, 4, 5}},
        {1, {40, 6, 5}},           {0, {50, 60}},
        {30, {9940 + 60, 4, 640}},
    };
    const auto paths = {splineLanes, splineLanesBaseline};
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (const auto path : paths) {
        SplineBand kept;  // serves every call, as in a thread
        for (const auto& c : cases) {
            std::vector<std::vector<float>> y, s, expected;
            for (std::size_t l = 0; l < c.lengths.size(); ++l) {
                const int n = c.lengths[l], zeros = l == 3 ? n : static_cast<int>(l % 2) * n / 4;
                y.emplace_back(static_cast<std::size_t>(n));
                for (int i = 0; i < n; ++i) y[l][i] = i < zeros ? (i % 2 == 1 ? -0.0f : 0.0f) : noise(random);
                if (l == 0 && c.badAt >= 0) y[l][c.badAt] = c.bad;
                s.emplace_back(y[l].size() + 1, 5.0f);
                expected.push_back(s[l]);
            }
            std::vector<std::span<const float>> ys(y.begin(), y.end());
            std::vector<std::span<float>> ss(s.begin(), s.end());
            std::vector<SplineResult> results(y.size());
            path(ys, ss, c.cutoff, kept, results);
            for (std::size_t l = 0; l < y.size(); ++l) {
                float p;
                SplineBand band;
                EXPECT_EQ(results[l], spline(c.lengths[l], y[l], expected[l], p, c.cutoff, band));
                EXPECT_EQ(std::memcmp(s[l].data(), expected[l].data(), s[l].size() * sizeof(float)), 0)
                    << "cutoff " << c.cutoff << " lane " << l << " N " << c.lengths[l];
            }
        }
    }
}

// Differential check against a dense solve of (Q'Q + pR) x = Q'y in long
// double: the band factorization, the leading-zero skip and the assembly of
// y - Qx must agree with it to single precision.
TEST(Spline, AgreesWithADenseSolve) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int N : {4, 5, 9, 40, 200}) {
        for (int cutoff : {2, 5, 30}) {
            std::vector<float> y(static_cast<std::size_t>(N));
            for (int i = 0; i < N; ++i) y[i] = i < N / 3 ? 0.5f * static_cast<float>(i) : noise(random);
            const Fit f = fit(y, cutoff);

            const int M = N - 2;
            const long double p = smoothingParameter(cutoff);
            std::vector<std::vector<long double>> a(M, std::vector<long double>(M + 1, 0.0L));
            for (int i = 0; i < M; ++i) {
                a[i][i] = 6.0L + p * (4.0L / 3.0L);
                if (i + 1 < M) a[i][i + 1] = a[i + 1][i] = -4.0L + p / 3.0L;
                if (i + 2 < M) a[i][i + 2] = a[i + 2][i] = 1.0L;
                a[i][M] = static_cast<long double>(y[i]) - 2.0L * y[i + 1] + y[i + 2];
            }
            for (int c = 0; c < M; ++c)
                for (int r = c + 1; r < M; ++r) {
                    const long double factor = a[r][c] / a[c][c];
                    for (int k = c; k <= M; ++k) a[r][k] -= factor * a[c][k];
                }
            std::vector<long double> x(M);
            for (int r = M - 1; r >= 0; --r) {
                long double v = a[r][M];
                for (int k = r + 1; k < M; ++k) v -= a[r][k] * x[k];
                x[r] = v / a[r][r];
            }
            auto X = [&](int i) { return i >= 0 && i < M ? x[i] : 0.0L; };
            for (int i = 0; i < N; ++i) {
                const long double expected = y[i] - (X(i - 2) - 2.0L * X(i - 1) + X(i));
                EXPECT_NEAR(f.s[i], static_cast<double>(expected), 2e-6) << "N " << N << " cutoff " << cutoff;
            }
        }
    }
}

}  // namespace
}  // namespace detrend::numeric
