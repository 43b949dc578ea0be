#include "numeric/pefilter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace detrend::numeric {
namespace {

struct Filter {
    std::vector<double> d;
    double P = 42.0;
    bool computed = false;
};

Filter burg(const std::vector<float>& x, int m) {
    Filter f;
    f.d.assign(10, 7.0);
    std::vector<double> fwd(10), bwd(10), prev(10);
    f.computed = pefilter(x, static_cast<int>(x.size()), m, f.P, f.d, fwd, bwd, prev);
    return f;
}

TEST(Burg, ReferenceFilters) {
    struct Case {
        std::vector<float> x;
        int m;
        std::vector<double> d;
        double P;
    };
    const Case cases[] = {
        {{1, -1}, 1, {-1.0}, 0.0},
        {{-1.5f, -0.5f, 0.5f, 1.5f}, 1, {5.0 / 11}, 1.25 * 96 / 121},
        {{-1.5f, -0.5f, 0.5f, 1.5f}, 2, {11.0 / 13, -56.0 / 65}, 216.0 / 845},
        {{1, 2, 3}, 1, {8.0 / 9}, (1 - 64.0 / 81) * 14 / 3},
        // 144/85, -77/85 and 224/1275 as the recursion's own rounding gives
        // them: one and three units in the last place from the fractions.
        {{1, 2, 3}, 2, {1.6941176470588233, -0.9058823529411765}, 0.17568627450980398},
    };
    for (const Case& c : cases) {
        const Filter f = burg(c.x, c.m);
        EXPECT_EQ(std::vector<double>(f.d.begin(), f.d.begin() + c.m), c.d) << c.m;
        EXPECT_EQ(f.d[c.m], 7.0);  // nothing past m
        EXPECT_DOUBLE_EQ(f.P, c.P) << c.m;
        EXPECT_TRUE(f.computed);
    }
    EXPECT_NEAR(burg({1, 2, 3}, 2).d[0], 144.0 / 85, 1e-15);
    EXPECT_NEAR(burg({1, 2, 3}, 2).P, 224.0 / 1275, 1e-15);
}

TEST(Burg, FirstStageFormula) {
    const std::vector<float> x = {0.3f, -1.2f, 2.5f, 0.7f, -0.1f};
    double cross = 0.0, squares = 0.0, all = 0.0;
    for (std::size_t j = 0; j + 1 < x.size(); ++j) {
        cross = cross + static_cast<double>(x[j]) * static_cast<double>(x[j + 1]);
        squares = (squares + static_cast<double>(x[j]) * static_cast<double>(x[j])) +
                  static_cast<double>(x[j + 1]) * static_cast<double>(x[j + 1]);
    }
    for (float v : x) all = all + static_cast<double>(v) * static_cast<double>(v);
    const Filter f = burg(x, 1);
    EXPECT_EQ(f.d[0], 2.0 * cross / squares);
    EXPECT_EQ(f.P, (1.0 - f.d[0] * f.d[0]) * (all / 5));
}

TEST(Burg, DegenerateFiltersAreNotANumber) {
    struct Case {
        std::vector<float> x;
        int m;
    };
    const Case cases[] = {
        {{1, 2, 3}, 3},  // m = n: the last stage has no terms
        {{1, 2, 3}, 5}, {{0, 0, 0, 0, 0}, 2},  // a constant series, once centred
        {{4.5f}, 1},  // one value
        {{}, 2},  // none
    };
    for (const Case& c : cases) {
        const Filter f = burg(c.x, c.m);
        for (int i = 0; i < c.m; ++i) EXPECT_TRUE(std::isnan(f.d[i])) << c.x.size() << " " << i;
        EXPECT_TRUE(std::isnan(f.P));
        EXPECT_EQ(f.d[c.m], 7.0);
    }
}

TEST(Burg, LengthZeroComputesNoFilter) {
    for (int m : {0, -3}) {
        const Filter f = burg({1, 2, 3}, m);
        EXPECT_FALSE(f.computed);
        EXPECT_EQ(f.d, std::vector<double>(10, 7.0));
        EXPECT_EQ(f.P, 14.0 / 3);
    }
}

TEST(Burg, TheValuesAreNotModified) {
    const std::vector<float> x = {0.5f, 1.5f, -2.0f, 0.25f, 3.0f, -1.0f};
    std::vector<float> copy = x;
    std::vector<double> d(5), fwd(5), bwd(5), prev(5);
    double P;
    EXPECT_TRUE(pefilter(copy, 6, 4, P, d, fwd, bwd, prev));
    EXPECT_EQ(copy, x);
}

}  // namespace
}  // namespace detrend::numeric
