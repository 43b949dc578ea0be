#include "numeric/extend.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace detrend::numeric {
namespace {

// Places `series` after k zeros and k zeros after it, extends, and returns the array.
std::vector<float> extended(const std::vector<float>& series, int k, const std::vector<double>& d, int direction,
                            std::size_t spare = 0) {
    std::vector<float> x(2 * static_cast<std::size_t>(k) + series.size() + spare, 0.0f);
    std::copy(series.begin(), series.end(), x.begin() + k);
    extend(x, static_cast<int>(series.size()), k, d, static_cast<int>(d.size()), direction);
    x.resize(x.size() - spare);
    return x;
}

TEST(Extend, ReferenceExtensions) {
    struct Case {
        std::vector<float> series;
        int k;
        std::vector<double> d;
        int direction;
        std::vector<float> x;
    };
    const Case cases[] = {
        {{1, 2, 4}, 2, {0.5}, 0, {0.25f, 0.5f, 1, 2, 4, 2, 1}},
        {{1, 2, 4}, 2, {0.5, 0.25}, 0, {0.75f, 1, 1, 2, 4, 2.5f, 2.25f}},
        {{1, 2, 4}, 2, {0.5}, 1, {0, 0, 1, 2, 4, 2, 1}},
        {{1, 2, 4}, 2, {0.5}, -1, {0.25f, 0.5f, 1, 2, 4, 0, 0}},
        {{1, 2, 4}, 2, {0.5}, 7, {0, 0, 1, 2, 4, 0, 0}},  // no such direction
        {{1, 2, 4}, 2, {}, 0, {0, 0, 1, 2, 4, 0, 0}},  // m = 0
        {{1, -1}, 1, {-1.0}, 0, {-1, 1, -1, 1}},
        {{3}, 2, {1.0, 1.0}, 0, {6, 3, 3, 3, 6}},  // the two sides read each other
        {{1, 2, 4}, 0, {0.5}, 0, {1, 2, 4}},
    };
    for (const Case& c : cases) EXPECT_EQ(extended(c.series, c.k, c.d, c.direction), c.x) << c.direction;
}

TEST(Extend, StoresInSinglePrecision) {
    const std::vector<float> x = extended({0.1f, 0.2f, 0.3f}, 1, {1.0 / 3.0}, 0);
    EXPECT_EQ(x[0], 0.033333335f);
    EXPECT_EQ(x[0], static_cast<float>(static_cast<double>(0.1f) * (1.0 / 3.0)));
    EXPECT_EQ(x[4], 0.1f);
}

TEST(Extend, NotANumberCoefficientsGiveNotANumber) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<float> x = extended({1, 2, 3}, 2, {nan, nan}, 0);
    for (int i : {0, 1, 5, 6}) EXPECT_TRUE(std::isnan(x[i])) << i;
    EXPECT_EQ(x[2], 1.0f);
}

TEST(Extend, NeverWritesOutsideItsArray) {
    std::vector<float> backing(12, 9.0f);
    std::span<float> x(backing.data() + 1, 10);  // 10 slots between two guards
    std::fill(x.begin(), x.end(), 1.0f);
    const std::vector<double> d = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    extend(x, 4, 4, d, 4, 0);  // needs 12 slots: nothing is written
    EXPECT_EQ(std::vector<float>(x.begin(), x.end()), std::vector<float>(10, 1.0f));
    extend(x, 2, 2, d, 7, 0);  // m > n + k: reads beyond the array contribute nothing
    EXPECT_EQ(backing.front(), 9.0f);
    EXPECT_EQ(backing.back(), 9.0f);
}

}  // namespace
}  // namespace detrend::numeric
