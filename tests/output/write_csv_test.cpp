#include "output/write_csv.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace detrend::output {
namespace {

TEST(WideCsv, YearsFromTheEarliestToTheLatestWithNA) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<IndexColumn> columns = {
        {"A", 1900, {0.1f, -0.25f, 1e-7f}},
        {"needs, \"quotes\"", 1901, {nan, 3.0f, 0.3f}},
        {"empty", 0, {}},
    };
    EXPECT_EQ(wideCsv(columns),
              "year,A,\"needs, \"\"quotes\"\"\",empty\n"
              "1900,0.1,NA,NA\n"
              "1901,-0.25,NA,NA\n"
              "1902,1e-07,3,NA\n"
              "1903,NA,0.3,NA\n");
    EXPECT_EQ(csvField(" padded"), "\" padded\"");
    EXPECT_EQ(csvField("plain name"), "plain name");
}

}  // namespace
}  // namespace detrend::output
