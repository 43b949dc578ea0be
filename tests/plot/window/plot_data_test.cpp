#include "plot/window/plot_data.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace detrend::plot {
namespace {

// A series of n values, its spline and its residuals.
struct Arrays {
    std::vector<float> series, spline, residual;
    Arrays(const std::vector<float>& values, const std::vector<float>& smoothed) : series(values), spline(smoothed) {
        for (std::size_t i = 0; i < series.size(); ++i) residual.push_back(series[i] - spline[i]);
    }
};

PlotData build(const Arrays& a, int firstYear) {
    PlotData data(10000);
    buildPlotData(a.series, a.spline, a.residual, static_cast<int>(a.residual.size()), firstYear, data);
    return data;
}

TEST(PlotData, YearsSeriesAndSplineAreTheSeriesValues) {
    const Arrays a({1.2f, 0.8f, 1.1f}, {1.0f, 1.0f, 1.05f});
    const PlotData d = build(a, 1901);
    EXPECT_EQ(d.n, 3);
    EXPECT_EQ(std::vector<float>(d.years.begin(), d.years.begin() + 3), (std::vector<float>{1901, 1902, 1903}));
    EXPECT_EQ(std::vector<float>(d.series.begin(), d.series.begin() + 3), (std::vector<float>{1.2f, 0.8f, 1.1f}));
    EXPECT_EQ(std::vector<float>(d.spline.begin(), d.spline.begin() + 3), (std::vector<float>{1.0f, 1.0f, 1.05f}));
    EXPECT_EQ(d.xmin, 1901.0f);
    EXPECT_EQ(d.xmax, 1903.0f);
}

TEST(PlotData, BoundsTakeInSeriesSplineAndResiduals) {
    struct Case {
        std::vector<float> series, spline;
        float ymin, ymax;
    };
    const Case cases[] = {
        // ring widths around 1: the most negative residual is the lower bound
        {{1.2f, 0.8f, 1.1f}, {1.0f, 1.0f, 1.05f}, 0.8f - 1.0f, 1.2f},
        {{-5.0f, 7.5f}, {-4.0f, 2.0f}, -5.0f, 7.5f},
        // the start values bound the range
        {{200000.0f, 300000.0f}, {200000.0f, 300000.0f}, 0.0f, 300000.0f},
        {{-200000.0f, -300000.0f}, {-200000.0f, -300000.0f}, -300000.0f, 0.0f},
        {{150000.0f}, {150000.0f}, 0.0f, 150000.0f},
        {{5e5f}, {4e5f}, 100000.0f, 5e5f},
        // NaN values change no bound
        {{std::numeric_limits<float>::quiet_NaN(), 2.0f}, {1.0f, 1.5f}, 0.5f, 2.0f},
        {{std::numeric_limits<float>::quiet_NaN()}, {std::numeric_limits<float>::quiet_NaN()}, 100000.0f, -100000.0f},
    };
    for (const Case& c : cases) {
        const PlotData d = build(Arrays(c.series, c.spline), 1);
        EXPECT_EQ(d.ymin, c.ymin) << c.series[0];
        EXPECT_EQ(d.ymax, c.ymax) << c.series[0];
    }
}

TEST(PlotData, OneValueGivesEqualXBounds) {
    const PlotData d = build(Arrays({1.5f}, {1.5f}), 1900);
    EXPECT_EQ(d.xmin, d.xmax);
}

TEST(PlotData, YearsAreSinglePrecision) {
    const PlotData d = build(Arrays({1, 2}, {1, 2}), 16777217);
    EXPECT_EQ(d.years[0], 16777216.0f);
    EXPECT_EQ(d.years[1], 16777218.0f);
}

TEST(PlotData, TitleIsTheNameWithoutTrailingBlanks) {
    EXPECT_EQ(plotTitle("ABC                 "), "ABC");
    EXPECT_EQ(plotTitle("Site A              "), "Site A");
    EXPECT_EQ(plotTitle("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(plotTitle("                    "), "");
}

}  // namespace
}  // namespace detrend::plot
