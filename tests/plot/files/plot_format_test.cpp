#include "plot/files/plot_format.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace detrend::plot {
namespace {

TEST(PlotFormatTest, ParsesTheThreeFormatsOnly) {
    const struct {
        const char* text;
        std::optional<PlotFormat> format;
    } cases[] = {
        {"png", PlotFormat::png}, {"svg", PlotFormat::svg},   {"pdf", PlotFormat::pdf}, {"PNG", PlotFormat::png},
        {"Pdf", PlotFormat::pdf}, {"", std::nullopt},         {"jpg", std::nullopt},    {".png", std::nullopt},
        {"png ", std::nullopt},   {"pngcairo", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parsePlotFormat(c.text), c.format) << '"' << c.text << '"';
    for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf})
        EXPECT_EQ(parsePlotFormat(plotFormatExtension(format)), format);
}

}  // namespace
}  // namespace detrend::plot
