#include "numeric/detrend_series.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace detrend::numeric {
namespace {

std::vector<double> ramp(int n) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(1.0 + 0.01 * i + 0.3 * std::sin(0.9 * i));
    return v;
}

TEST(DetrendSeries, OutcomesAtTheCapacityAndBeyond) {
    struct Case {
        int n, cutoff, capacity;
        SeriesOutcome outcome;
        bool filterComputed;
        std::size_t coefficients, values;
    };
    const Case cases[] = {
        {20, 3, 10000, SeriesOutcome::fitted, true, 3, 20},
        {9994, 3, 10000, SeriesOutcome::fitted, true, 3, 9994},  // n + 2 cutoff = 10000
        {9995, 3, 10000, SeriesOutcome::extendedTooLong, true, 3, 0},
        {9995, 3, 0, SeriesOutcome::fitted, true, 3, 9995},  // no capacity
        {20, 10001, 10000, SeriesOutcome::filterTooLong, false, 0, 0},
        {20, 0, 10000, SeriesOutcome::notPositiveDefinite, false, 0, 20},
        {1, 1, 10000, SeriesOutcome::splineTooShort, true, 1, 1},
    };
    SeriesScratch scratch;
    SeriesFit fit;
    for (const Case& c : cases) {
        const std::vector<double> values = ramp(c.n);
        detrendSeries(values, c.cutoff, c.capacity, scratch, fit);
        EXPECT_EQ(fit.outcome, c.outcome) << c.n << " " << c.cutoff;
        EXPECT_EQ(fit.filterComputed, c.filterComputed) << c.n << " " << c.cutoff;
        EXPECT_EQ(fit.coefficients.size(), c.coefficients) << c.n << " " << c.cutoff;
        EXPECT_EQ(fit.series.size(), c.values) << c.n << " " << c.cutoff;
        EXPECT_EQ(fit.spline.size(), c.values);
        EXPECT_EQ(fit.residual.size(), c.values);
        const bool numbers = c.outcome == SeriesOutcome::fitted;
        for (std::size_t i = 0; i < fit.spline.size(); ++i) {
            ASSERT_EQ(std::isnan(fit.spline[i]), !numbers) << c.n << " " << c.cutoff << " " << i;
            ASSERT_EQ(std::isnan(fit.residual[i]), !numbers);
            ASSERT_NEAR(fit.series[i], values[i], 1e-5);  // centred and restored
        }
    }
}

// One scratch serves every series of a thread: a fit must not depend on what
// an earlier, larger or failed series left in it.
TEST(DetrendSeries, ScratchKeepsNothingFromOneSeriesToTheNext) {
    const std::vector<double> small = ramp(30);
    SeriesScratch fresh, used;
    SeriesFit expected, fit;
    detrendSeries(small, 5, 10000, fresh, expected);
    detrendSeries(ramp(500), 40, 10000, used, fit);
    detrendSeries(ramp(30), 0, 10000, used, fit);
    detrendSeries(small, 5, 10000, used, fit);
    EXPECT_EQ(fit.series, expected.series);
    EXPECT_EQ(fit.spline, expected.spline);
    EXPECT_EQ(fit.residual, expected.residual);
    EXPECT_EQ(fit.coefficients, expected.coefficients);
    EXPECT_EQ(fit.mean, expected.mean);
}

}  // namespace
}  // namespace detrend::numeric
