// The lanes must give each series exactly the bits of the one-series code:
// random series of random lengths, compared bit for bit so that NaN signs
// and payloads and the sign of zero count too.
#include "numeric/pefilter_lanes.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numeric/detrend_series.hpp"
#include "numeric/pefilter.hpp"

namespace detrend::numeric {
namespace {

std::uint64_t bitsOf(double v) { return std::bit_cast<std::uint64_t>(v); }
std::uint32_t bitsOf(float v) { return std::bit_cast<std::uint32_t>(v); }

template <class T>
::testing::AssertionResult sameBits(const std::vector<T>& expected, const std::vector<T>& actual) {
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size();
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (bitsOf(expected[i]) != bitsOf(actual[i]))
            return ::testing::AssertionFailure() << "at " << i << ": " << expected[i] << " and " << actual[i];
    return ::testing::AssertionSuccess();
}

// A NaN with the given sign and payload bits, as data may carry.
float nan(bool negative, std::uint32_t payload) {
    return std::bit_cast<float>((negative ? 0xffc00000u : 0x7fc00000u) | (payload & 0x3fffffu));
}

// A series of one of the shapes that reach the filter's corner cases.
std::vector<float> randomSeries(std::mt19937& random) {
    const int n = std::uniform_int_distribution<int>(0, 300)(random);
    std::vector<float> x(static_cast<std::size_t>(n));
    std::normal_distribution<float> value(0.0f, 1.0f);
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
        case 0: break;  // zeros: every stage 0/0
        case 1: std::fill(x.begin(), x.end(), -0.0f); break;
        case 2: std::fill(x.begin(), x.end(), 0.75f); break;  // constant
        case 3:  // NaNs of both signs among the numbers
            for (float& v : x) v = value(random);
            for (int i = 0; i < 3 && n > 0; ++i)
                x[std::uniform_int_distribution<std::size_t>(0, x.size() - 1)(random)] =
                    nan(random() % 2 == 0, static_cast<std::uint32_t>(random()));
            break;
        case 4:  // a large spread, some infinite
            for (float& v : x) v = value(random) * 1e30f;
            if (n > 0) x[0] = -std::numeric_limits<float>::infinity();
            break;
        default:  // a trend with noise, like centred ring widths
            for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 0.01f * static_cast<float>(i) + value(random);
    }
    return x;
}

struct Filter {
    bool computed = false;
    double P = 0.0;
    std::vector<double> d;
};

Filter scalarFilter(const std::vector<float>& x, int m) {
    Filter f;
    f.d.assign(static_cast<std::size_t>(std::max(m, 0)) + 1, 7.0);
    std::vector<double> fwd(x.size() + 1), bwd(x.size() + 1), prev(f.d.size());
    f.computed = pefilter(x, static_cast<int>(x.size()), m, f.P, f.d, fwd, bwd, prev);
    return f;
}

using LanesFunction = bool (*)(std::span<const std::span<const float>>, int, std::span<double>,
                               std::span<const std::span<double>>, FilterLanesScratch&);

TEST(FilterLanes, EveryLaneHasTheBitsOfItsOwnSeries) {
    const struct {
        const char* name;
        LanesFunction function;
    } paths[] = {{"dispatched", pefilterLanes}, {"baseline", pefilterLanesBaseline}};
    std::mt19937 random(20240611);
    for (const auto& path : paths) {
        FilterLanesScratch scratch;  // reused: nothing may carry over between calls
        for (int trial = 0; trial < 600; ++trial) {
            const int lanes = 1 + trial % filterLanes;
            const int m = std::uniform_int_distribution<int>(-1, 40)(random);
            std::vector<std::vector<float>> x;
            for (int l = 0; l < lanes; ++l) x.push_back(randomSeries(random));
            if (trial % 5 == 0) x[0].resize(static_cast<std::size_t>(std::max(m, 0)));  // n == m

            std::vector<Filter> lanesFilters(static_cast<std::size_t>(lanes));
            std::vector<std::span<const float>> series;
            std::vector<std::span<double>> coefficients;
            std::vector<double> P(static_cast<std::size_t>(lanes));
            for (int l = 0; l < lanes; ++l) {
                Filter& f = lanesFilters[static_cast<std::size_t>(l)];
                f.d.assign(static_cast<std::size_t>(std::max(m, 0)) + 1, 7.0);
                series.emplace_back(x[static_cast<std::size_t>(l)]);
                coefficients.emplace_back(f.d);
            }
            const bool computed = path.function(series, m, P, coefficients, scratch);
            for (int l = 0; l < lanes; ++l) {
                const std::size_t lane = static_cast<std::size_t>(l);
                const Filter expected = scalarFilter(x[lane], m);
                const std::string what = std::string(path.name) + " trial " + std::to_string(trial) + " lane " +
                                         std::to_string(l) + " n " + std::to_string(x[lane].size()) + " m " +
                                         std::to_string(m);
                EXPECT_EQ(computed, expected.computed) << what;
                EXPECT_EQ(bitsOf(P[lane]), bitsOf(expected.P)) << what;
                EXPECT_TRUE(sameBits(expected.d, lanesFilters[lane].d)) << what;  // and nothing past m
            }
        }
    }
}

std::vector<double> ringWidths(std::mt19937& random, int n) {
    std::vector<double> v(static_cast<std::size_t>(n));
    std::lognormal_distribution<double> width(0.0, 0.4);
    for (double& w : v) w = std::round(width(random) * 1000.0) / 1000.0;
    return v;
}

::testing::AssertionResult sameFit(const SeriesFit& expected, const SeriesFit& actual) {
    if (expected.outcome != actual.outcome) return ::testing::AssertionFailure() << "outcome";
    if (expected.filterComputed != actual.filterComputed) return ::testing::AssertionFailure() << "filterComputed";
    if (bitsOf(expected.mean) != bitsOf(actual.mean)) return ::testing::AssertionFailure() << "mean";
    for (auto result : {sameBits(expected.coefficients, actual.coefficients), sameBits(expected.series, actual.series),
                        sameBits(expected.spline, actual.spline), sameBits(expected.residual, actual.residual)})
        if (!result) return result;
    return ::testing::AssertionSuccess();
}

// Groups whose members end in different outcomes, with the one-series
// results as the reference.
TEST(FilterLanes, GroupsDetrendLikeOneSeriesAtATime) {
    const struct {
        int cutoff, capacity;
        std::vector<int> lengths;
    } cases[] = {
        {30, 10000, {9940, 120, 4000, 9940}},
        {30, 10000, {9940, 9941}},  // the second one's extension is too long
        {5, 10000, {1, 2, 3, 60}},  // no spline, m >= n
        {3, 0, {10, 0, 7}},  // no values at all
        {12, 10000, {40, 41, 42, 43, 44, 45}},  // more than one lane group
        {1, 10000, {1, 0, 50, 7}},  // splines too short among fitted ones
        {2, 10000, {9, 300, 10, 299}},
        {10001, 10000, {20, 30}},  // the filter too long
        {0, 10000, {20, 30, 40}},  // no filter
        {-2, 10000, {20, 30}},
    };
    std::mt19937 random(7);
    SeriesScratch scratch, reference;
    for (const auto& c : cases) {
        std::vector<std::vector<double>> values;
        for (int n : c.lengths) values.push_back(ringWidths(random, n));
        if (values[0].size() > 5) values[0][3] = std::numeric_limits<double>::quiet_NaN();
        std::vector<std::span<const double>> spans(values.begin(), values.end());
        std::vector<SeriesFit> fits(values.size());
        detrendSeriesGroup(spans, c.cutoff, c.capacity, scratch, fits);
        for (std::size_t i = 0; i < values.size(); ++i) {
            SeriesFit expected;
            detrendSeries(values[i], c.cutoff, c.capacity, reference, expected);
            EXPECT_TRUE(sameFit(expected, fits[i])) << "cutoff " << c.cutoff << " series " << i;
        }
    }
}

}  // namespace
}  // namespace detrend::numeric
