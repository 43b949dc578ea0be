// What the batch's pictures say beside their lines: the titles, the name of
// a series' values and of its fit, and what the chronology's picture shows
// beside the chronology (its smoothing, the running EPS, the years cut).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series_set.hpp"
#include "numeric/detrend_series.hpp"
#include "numeric/running_statistics.hpp"
#include "pipeline/run_plan.hpp"
#include "pipeline/site.hpp"
#include "plot/files/picture.hpp"

namespace detrend::pipeline {

// "FILE: SUBJECT", FILE the input's file name without its directories, or
// "standard input".
std::string pictureTitle(const InputPlan& input, std::string_view subject);

// The upper axis of a series' picture: "ring width (mm)" when the file
// holds ring widths in millimetres, "value" otherwise.
std::string_view valueLabel(const formats::SeriesSet& set);

// The site as the chronology's title names it: its code and name when the
// input gives them; empty when it gives none.
std::string siteOf(const formats::SeriesSet& set);

// What a series' fit is called: in its title ("spline, 50% at 32 years",
// "negexp", "mean in place of negexp" after a fallback) and in the legend
// ("spline", "negexp").
struct FitLabels {
    std::string title, legend;
};
FitLabels fitLabels(const numeric::SeriesFit& fit, numeric::Method asked);

// The period of the chronology's smoothing, in years.
inline constexpr int chronologySmoothing = 20;

// The chronology smoothed: the cubic smoothing spline (numeric::spline) with
// its 50% response at `period` years, fitted to each run of at least four
// years with a finite value; NaN elsewhere.
std::vector<double> smoothedChronology(std::span<const double> values, int period);

// The windows used when the run computed none: 50 years overlapping by 25.
inline constexpr numeric::RunningOptions pictureWindows{50, 25};

// The EPS of each window, at its middle year.
std::vector<plot::WindowValue> windowEps(std::span<const numeric::RunningWindow> windows);

// The legend of the years cut: "cut: EPS < 0.85".
std::string cutLabel(const ChronologyCut& cut);

// The chronology's picture as a site gives it: the standard and residual
// chronologies, the smoothing of the standard one, the sample depth, the
// years the cut leaves out (where `keep`, when not empty, is 0) shaded, the
// EPS of the running `windows`, and the title naming the input, the site
// and the series. It refers to `chronology`, which must outlive it.
class ChronologyDrawing {
public:
    ChronologyDrawing(const numeric::Chronology& chronology, std::size_t series, const std::vector<char>& keep,
                      std::span<const numeric::RunningWindow> windows, const SiteOutputs& outputs);
    ChronologyDrawing(const ChronologyDrawing&) = delete;
    ChronologyDrawing& operator=(const ChronologyDrawing&) = delete;

    const plot::ChronologyPicture& picture() const { return picture_; }

private:
    std::string title_, cutLabel_;
    std::vector<double> smooth_;
    std::vector<plot::WindowValue> eps_;
    std::vector<char> cut_;
    plot::ChronologyPicture picture_;
};

}  // namespace detrend::pipeline
