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

TEST(PlotFileNamesTest, SanitizesAndKeepsNamesApart) {
    using Names = std::vector<std::string>;
    const struct {
        const char* what;
        const char* base;
        Names series;
        const char* extension;
        Names files;
    } cases[] = {
        {"plain and trailing blanks", "out", {"Oak1", "Oak2     "}, "png", {"out-Oak1.png", "out-Oak2.png"}},
        {"other characters",
         "out",
         {"Oak 1/a", "x*y?z", "a-b_c.d", "\xc3\x84r"},
         "svg",
         {"out-Oak_1_a.svg", "out-x_y_z.svg", "out-a-b_c.d.svg", "out-__r.svg"}},
        {"empty and blank names", "out", {"", "   "}, "pdf", {"out-_.pdf", "out-_-2.pdf"}},
        {"repeated names", "out", {"A", "A", "A"}, "png", {"out-A.png", "out-A-2.png", "out-A-3.png"}},
        {"same after sanitizing",
         "out",
         {"a b", "a_b", "a/b"},
         "png",
         {"out-a_b.png", "out-a_b-2.png", "out-a_b-3.png"}},
        {"literal -2 after", "out", {"A", "A", "A-2"}, "png", {"out-A.png", "out-A-3.png", "out-A-2.png"}},
        {"literal -2 before", "out", {"A-2", "A", "A"}, "png", {"out-A-2.png", "out-A.png", "out-A-3.png"}},
        {"literal -2 repeated",
         "out",
         {"A", "A", "A-2", "A-2"},
         "png",
         {"out-A.png", "out-A-3.png", "out-A-2.png", "out-A-2-2.png"}},
        {"directory in base", "plots/run", {"S"}, "png", {"plots/run-S.png"}},
        {"empty base", "", {"S"}, "png", {"S.png"}},
        {"extension with dot", "out", {"S"}, ".svg", {"out-S.svg"}},
        {"no series", "out", {}, "png", {}},
    };
    for (const auto& c : cases) {
        const Names files = plotFileNames(c.base, c.series, c.extension);
        EXPECT_EQ(files, c.files) << c.what;
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size()) << c.what;
    }
}

}  // namespace
}  // namespace detrend::plot
