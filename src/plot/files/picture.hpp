// Pictures of a series or a chronology drawn with cairo into memory: the
// bytes of a PNG, SVG or PDF file, which the caller writes where it likes.
// Each call has a surface of its own, so pictures may be drawn on several
// threads at once; the same input gives the same bytes on any thread and in
// any run.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.hpp"
#include "numeric/index.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::plot {

// A PNG picture is pngWidth x pngHeight pixels; an SVG or PDF picture is the
// same page of pageWidth x pageHeight points.
inline constexpr int pngWidth = 1200, pngHeight = 700;
inline constexpr double pageWidth = 840, pageHeight = 490;

// The index of a ratio is drawn with its reference line at 1, a difference
// at 0.
using numeric::IndexKind;

// One series over two panels with a common year axis. Above: the series (red)
// and its curve (blue, double width, drawn last); below: the index (black)
// with its reference line. Values that are not finite are left out: the line
// has a gap there, and a point without a neighbour gets a small mark.
struct SeriesPicture {
    int firstYear = 0;  // the year of the first value
    std::span<const float> series;  // one value a year
    std::span<const float> spline;  // the curve fitted, as many values as series
    std::span<const float> index;  // as many values as series
    std::string_view title;  // e.g. "site.rwl: OAK01 - spline, 50% at 32 years"
    std::string_view valueLabel = "value";  // the upper panel's y axis, e.g. "ring width (mm)"
    IndexKind indexKind = IndexKind::ratio;
    // The lower panel's y axis and legend; empty: "ratio index" or
    // "difference index", after indexKind.
    std::string_view indexLabel = {};
    std::string_view curveLabel = "spline";  // the curve's legend, e.g. "negexp"
};

// A running statistic at the middle year of its window.
struct WindowValue {
    int year = 0;
    double value = 0;  // not finite: no value
};

// A site's chronology over two or three panels with a common year axis.
// Above: the residual chronology (light, thin), the standard one over it
// (dark, thin) and its smoothing (thick), with the index's reference line;
// below: the sample depth, the number of series in each year (blue steps);
// with a running EPS, under them a third panel of it, with a dashed line at
// its threshold. The years cut from the chronology are shaded in every
// panel.
struct ChronologyPicture {
    int firstYear = 0;
    std::span<const double> values;  // the standard chronology, one value a year; |value| > 1e300 counts as not finite
    std::span<const int> depths;  // as many as values; negative ones count as 0
    std::string_view title;  // e.g. "site.rwl: chronology of 12 series"
    IndexKind indexKind = IndexKind::ratio;
    std::string_view indexLabel = {};  // as in SeriesPicture
    // What else is drawn, each empty or as many as values: the residual
    // chronology, the smoothing of the standard one, and the years cut
    // (non-zero where a year is cut).
    std::span<const double> residual = {}, smooth = {};
    std::span<const char> cut = {};
    int smoothing = 20;  // the period of the smoothing's 50% response, for the legend
    std::string_view cutLabel = "years cut";  // their legend, e.g. "cut: EPS < 0.85"
    std::span<const WindowValue> eps = {};  // empty: no third panel
    double epsThreshold = 0.85;
};

// The lines' colours, as 0xRRGGBB.
inline constexpr unsigned standardColour = 0x1B2A49, residualColour = 0xF2A65A, smoothColour = 0xC62828,
                          epsColour = 0x00796B, thresholdColour = 0xE65100, cutColour = 0xF1E7D3;

// The segments of a crossdating, one row per series from the top: the
// series' years as a grey line, each segment it covers as a bar over the
// segment's years (the segments overlap by half, so they alternate between
// the upper and the lower half of the row), the flagged ones in another
// colour, and the series' name at the left. The page is pageWidth points
// wide and as tall as the rows need (at least 12 points a row).
struct CrossdatingRow {
    std::string_view name;
    int first = 0, last = 0;  // the series' years
    std::vector<std::pair<int, bool>> segments;  // the first year of each segment covered, and whether flagged
};
struct CrossdatingPicture {
    std::span<const CrossdatingRow> rows;
    int segmentLength = 50;
    std::string_view title;  // e.g. "site.rwl - crossdating of 16 series"
};
// The bars' colours, as 0xRRGGBB.
inline constexpr unsigned segmentColour = 0x4682B4, flaggedColour = 0xE00000;

// Draws a picture: the file's bytes, or why there are none. Titles and
// labels may hold any bytes: what is not valid UTF-8, and control
// characters, show as '?'. Equal or missing bounds (one year, all values
// equal, nothing finite) still give a framed picture; only no values at all,
// or spans of different lengths, are errors, as is running out of memory.
// Nothing is thrown.
base::Result<std::string> renderSeriesPicture(const SeriesPicture& picture, PlotFormat format);
base::Result<std::string> renderChronologyPicture(const ChronologyPicture& picture, PlotFormat format);
// Of a crossdating: without rows, a page that says so; an error for more
// rows than fit on a page.
base::Result<std::string> renderCrossdatingPicture(const CrossdatingPicture& picture, PlotFormat format);

}  // namespace detrend::plot
