// What the batch's pictures say and show beside their lines: titles, axis
// and legend labels, the chronology's smoothing and what its picture is
// handed.
#include "pipeline/pictures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "formats/read_series.hpp"

namespace detrend::pipeline {
namespace {

using numeric::Method;

TEST(Pictures, AFitIsNamedAfterTheCurveItGot) {
    const struct {
        Method used, asked;
        std::vector<numeric::FitParameter> parameters;
        const char *title, *legend;
    } cases[] = {
        {Method::burgSpline, Method::burgSpline, {{"cutoff", 32}, {"filter", 32}}, "spline, 50% at 32 years", "spline"},
        {Method::spline, Method::spline, {{"cutoff", 141}}, "spline, 50% at 141 years", "spline"},
        {Method::negexp, Method::negexp, {{"a", 2}, {"b", 0.01}, {"k", 0.4}}, "negexp", "negexp"},
        {Method::mean, Method::burgSpline, {{"mean", 0.8}}, "mean in place of burg-spline", "mean"},
        {Method::ageSpline, Method::ageSpline, {{"nyrs0", 50}}, "age-spline", "age-spline"},
    };
    for (const auto& c : cases) {
        numeric::SeriesFit fit;
        fit.used = c.used;
        fit.parameters = c.parameters;
        const FitLabels labels = fitLabels(fit, c.asked);
        EXPECT_EQ(labels.title, c.title);
        EXPECT_EQ(labels.legend, c.legend) << c.title;
    }
}

TEST(Pictures, TitlesNameTheInputFile) {
    const struct {
        const char *input, *title;
    } cases[] = {
        {"examples/site.rwl", "site.rwl: HR01A"},
        {"site.rwl", "site.rwl: HR01A"},
        {"/data/2024/oaks", "oaks: HR01A"},
        {"-", "standard input: HR01A"},
    };
    for (const auto& c : cases) {
        InputPlan input;
        input.input = c.input;
        EXPECT_EQ(pictureTitle(input, "HR01A"), c.title);
    }
}

TEST(Pictures, RingWidthsInMillimetresOnlyFromATucsonFile) {
    const struct {
        const char *bytes, *label;
    } cases[] = {
        {"AB01A   1900   100   120   110   999\n", "ring width (mm)"},
        {"year,A\n1900,1.0\n1901,1.2\n1902,1.1\n", "value"},
        {"Year A\n1900 1.0\n1901 1.2\n1902 1.1\n", "value"},
    };
    for (const auto& c : cases) {
        const formats::Read<formats::SeriesSet> read = formats::readSeries(c.bytes, {});
        ASSERT_TRUE(read.result.ok()) << c.bytes;
        EXPECT_EQ(valueLabel(read.result.value()), c.label) << c.bytes;
    }
}

// A sine of the period given keeps about that share of its amplitude: half
// at 20 years; every run of four years or more is smoothed, shorter ones
// and gaps have no smoothing.
TEST(Pictures, TheSmoothingKeepsHalfOfTwentyYearWaves) {
    const struct {
        double period, least, most;  // the share of the amplitude kept, in the middle
    } cases[] = {{20, 0.45, 0.55}, {200, 0.98, 1.01}, {5, 0, 0.02}};
    for (const auto& c : cases) {
        std::vector<double> values;
        for (int i = 0; i < 600; ++i) values.push_back(1 + 0.2 * std::sin(2 * std::numbers::pi * i / c.period));
        const std::vector<double> smooth = smoothedChronology(values, chronologySmoothing);
        double amplitude = 0;
        for (std::size_t i = 200; i < 400; ++i) amplitude = std::max(amplitude, std::fabs(smooth[i] - 1) / 0.2);
        EXPECT_GE(amplitude, c.least) << c.period;
        EXPECT_LE(amplitude, c.most) << c.period;
    }
    const double gap = std::nan("");
    const std::vector<double> runs{gap, 1.5, 1.5, 1.5, 1.5, 1.5, gap, 2, 2, 2, gap};
    const std::vector<double> smooth = smoothedChronology(runs, chronologySmoothing);
    ASSERT_EQ(smooth.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i >= 1 && i <= 5)
            EXPECT_NEAR(smooth[i], 1.5, 1e-6) << i;
        else
            EXPECT_TRUE(std::isnan(smooth[i])) << i;
    }
}

// The picture is handed the years cut (those not kept), the windows' EPS,
// the cut's threshold as the EPS line and a title naming input and site.
TEST(Pictures, TheChronologyPictureGetsTheSitesNumbers) {
    numeric::Chronology chronology;
    chronology.first = 1900;
    chronology.standard = {1, 1.1, 0.9, 1, 1.2, 0.8};
    chronology.residual = {1, 1.05, 0.95, 1, 1.1, 0.9};
    chronology.depth = {1, 2, 3, 3, 3, 2};
    std::vector<numeric::RunningWindow> windows(2);
    windows[0].mid = 1902;
    windows[0].statistics.eps = 0.8;
    windows[1].mid = 1904;
    windows[1].statistics.eps = 0.95;
    const struct {
        std::optional<ChronologyCut> cut;
        std::string site;
        std::vector<char> keep, shaded;
        double threshold;
        const char *title, *cutLabel;
    } cases[] = {
        {ChronologyCut{ChronologyCut::By::eps, 0.9},
         "",
         {0, 0, 1, 1, 1, 1},
         {1, 1, 0, 0, 0, 0},
         0.9,
         "site.rwl: chronology of 3 series",
         "cut: EPS < 0.9"},
        {ChronologyCut{ChronologyCut::By::depth, 3},
         "HRG High Ridge",
         {0, 0, 1, 1, 1, 0},
         {1, 1, 0, 0, 0, 1},
         0.85,
         "site.rwl: HRG High Ridge - chronology of 3 series",
         "cut: depth < 3"},
        {std::nullopt, "", {}, {}, 0.85, "site.rwl: chronology of 3 series", ""},
    };
    for (const auto& c : cases) {
        RunSettings settings;
        settings.chronologyCut = c.cut;
        InputPlan input;
        input.input = "examples/site.rwl";
        std::vector<std::unique_ptr<output::OutputFile>> pictures;
        const ChronologyDrawing drawing(chronology, 3, c.keep, windows,
                                        {settings, input, nullptr, nullptr, {}, pictures, c.site});
        const plot::ChronologyPicture& p = drawing.picture();
        EXPECT_EQ(p.title, c.title);
        EXPECT_EQ(p.cutLabel, c.cutLabel) << c.title;
        EXPECT_EQ(std::vector<char>(p.cut.begin(), p.cut.end()), c.shaded) << c.title;
        EXPECT_EQ(p.epsThreshold, c.threshold) << c.title;
        ASSERT_EQ(p.eps.size(), 2u);
        EXPECT_EQ(p.eps[1].year, 1904);
        EXPECT_EQ(p.eps[1].value, 0.95);
        EXPECT_EQ(p.residual.data(), chronology.residual.data());
        EXPECT_EQ(p.smooth.size(), chronology.standard.size());
    }
}

}  // namespace
}  // namespace detrend::pipeline
