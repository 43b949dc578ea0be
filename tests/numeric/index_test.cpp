#include "numeric/index.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace detrend::numeric {
namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

// The ratio is taken in double precision and rounded once; where the spline
// is not positive there is none, and the difference is the residual as the
// fit holds it.
TEST(IndexTest, RatioAndDifferencePerYear) {
    SeriesFit fit;
    fit.series = {1.5f, 2.0f, 1.0f, 3.0f, 0.1f};
    fit.spline = {1.0f, 0.0f, -2.0f, nan, 0.3f};
    fit.residual = {0.5f, 2.0f, 3.0f, nan, 0.25f};  // as written by the fit, not recomputed
    std::vector<float> out{9, 9, 9, 9, 9, 9, 9};
    indexValues(fit, IndexKind::ratio, out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], 1.5f);
    for (int i : {1, 2, 3}) EXPECT_TRUE(std::isnan(out[i])) << i;
    EXPECT_EQ(out[4], static_cast<float>(static_cast<double>(0.1f) / static_cast<double>(0.3f)));
    EXPECT_EQ(yearsWithoutRatio(fit), 3u);

    indexValues(fit, IndexKind::difference, out);
    ASSERT_EQ(out.size(), 5u);
    for (std::size_t i : {0u, 1u, 2u, 4u}) EXPECT_EQ(out[i], fit.residual[i]) << i;
    EXPECT_TRUE(std::isnan(out[3]));
    EXPECT_EQ(indexName(IndexKind::ratio), "ratio");
    EXPECT_EQ(indexName(IndexKind::difference), "difference");
}

}  // namespace
}  // namespace detrend::numeric
