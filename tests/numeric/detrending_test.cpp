// The detrending seam: what each method hands on, and the fallbacks that
// keep a ratio index defined.
#include "numeric/detrending.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/methods.hpp"

namespace detrend::numeric {
namespace {

// A young tree's steep decline to near-absent rings: its Burg-extended
// spline at 32 years dips below zero at the end (found by a random search).
const std::vector<double> steepDecline = {
    4.515, 3.720, 2.888, 2.525, 2.044, 1.781, 1.459, 1.218, 0.770, 0.783, 0.697, 0.256, 0.374, 0.270,
    0.202, 0.231, 0.135, 0.010, 0.279, 0.010, 0.238, 0.143, 0.010, 0.163, 0.120, 0.031, 0.075, 0.010,
    0.072, 0.024, 0.010, 0.010, 0.038, 0.010, 0.010, 0.025, 0.047, 0.010, 0.010, 0.079, 0.078, 0.090,
    0.010, 0.024, 0.010, 0.010, 0.051, 0.010, 0.184, 0.010, 0.010, 0.030, 0.018, 0.010, 0.010, 0.010,
    0.028, 0.090, 0.072, 0.119, 0.148, 0.244, 0.010, 0.136, 0.010, 0.010, 0.010, 0.010};

SeriesFit fitWith(const Detrending& method, const std::vector<double>& values, int cutoff) {
    SeriesScratch scratch;
    SeriesFit fit;
    const std::span<const double> one[] = {values};
    method.fit(one, cutoff, scratch, std::span(&fit, 1));
    return fit;
}

std::vector<double> wave(int n) {
    std::vector<double> v;
    for (int t = 0; t < n; ++t) v.push_back(1.5 + 0.4 * std::sin(0.9 * t) + 0.01 * t);
    return v;
}

// With the filter as long as the cutoff the seam gives today's fit to the
// bit, and the index of indexValues.
TEST(Detrending, BurgSplineIsTodaysFit) {
    const std::vector<double> values = wave(80);
    const SeriesFit seam = fitWith(BurgSpline(0, {}, IndexKind::ratio), values, 12);
    SeriesScratch scratch;
    SeriesFit direct;
    detrendSeries(values, 12, 0, scratch, direct);
    EXPECT_EQ(seam.spline, direct.spline);
    EXPECT_EQ(seam.residual, direct.residual);
    std::vector<float> index;
    indexValues(direct, IndexKind::ratio, index);
    EXPECT_EQ(seam.index, index);
    EXPECT_EQ(seam.used, Method::burgSpline);
    ASSERT_EQ(seam.parameters.size(), 2u);
    EXPECT_EQ(seam.parameters[1].value, 12.0);  // the filter's length
    // Without an index kind (the dialogue) no index is made.
    EXPECT_TRUE(fitWith(BurgSpline(0), values, 12).index.empty());
}

// A curve that is not positive has no ratio: the series gets the spline of
// itself alone, and when that is not positive either, its mean. A
// difference index keeps the Burg spline.
TEST(Detrending, ANotPositiveCurveFallsBack) {
    const SeriesFit ratio = fitWith(BurgSpline(0, {}, IndexKind::ratio), steepDecline, 32);
    EXPECT_NE(ratio.used, Method::burgSpline);
    EXPECT_FALSE(ratio.fallback.empty());
    for (float v : ratio.spline) EXPECT_GT(v, 0.0f);
    for (float v : ratio.index) EXPECT_FALSE(std::isnan(v));
    const SeriesFit difference = fitWith(BurgSpline(0, {}, IndexKind::difference), steepDecline, 32);
    EXPECT_EQ(difference.used, Method::burgSpline);
    EXPECT_LE(*std::min_element(difference.spline.begin(), difference.spline.end()), 0.0f);
}

// The other methods: the value as read in the listing's columns, the index
// from the value with an absent ring raised to 0.001.
TEST(Detrending, CurveMethodsIndexRaisedRings) {
    std::vector<double> values = wave(60);
    values[10] = 0.0;
    for (const IndexKind kind : {IndexKind::ratio, IndexKind::difference}) {
        const SeriesFit fit = fitWith(CurveMethod(Method::mean, {}, kind), values, 0);
        ASSERT_EQ(fit.index.size(), values.size());
        EXPECT_EQ(fit.series[10], 0.0f);
        const double curve = fit.spline[10];
        const double expected = kind == IndexKind::ratio ? 0.001 / curve : 0.001 - curve;
        EXPECT_NEAR(fit.index[10], expected, 1e-6);
        EXPECT_EQ(fit.used, Method::mean);
    }
    // Prewhitening makes its index itself: NaN for the years its order takes.
    const SeriesFit ar = fitWith(CurveMethod(Method::ar, {}, IndexKind::ratio), values, 0);
    EXPECT_TRUE(std::isnan(ar.index[0]));
    EXPECT_FALSE(std::isnan(ar.index.back()));
}

// Filter lengths other than the cutoff, and the order by final prediction
// error, each bounded by the cutoff.
TEST(Detrending, FilterLengths) {
    const std::vector<double> values = wave(90);
    using Rule = FilterLength::Rule;
    const struct {
        FilterLength length;
        std::size_t expected;  // 0: any from 1 to min(cutoff, n / 3)
    } cases[] = {{{Rule::cutoff, 0}, 20},
                 {{Rule::years, 5}, 5},
                 {{Rule::years, 50}, 20},
                 {{Rule::percent, 10}, 9},
                 {{Rule::automatic, 0}, 0}};
    for (const auto& c : cases) {
        const SeriesFit fit = fitWith(BurgSpline(0, c.length, IndexKind::ratio), values, 20);
        if (c.expected > 0) {
            EXPECT_EQ(fit.coefficients.size(), c.expected);
        } else {
            EXPECT_GE(fit.coefficients.size(), 1u);
            EXPECT_LE(fit.coefficients.size(), 20u);
        }
    }
}

}  // namespace
}  // namespace detrend::numeric
