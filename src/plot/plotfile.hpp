// The series plot written to a picture file (PNG, SVG or PDF) instead of a
// window, for runs without a screen. Uses PLplot's cairo devices, which need
// no X display.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/plotdata.hpp"

namespace detrend::plot {

enum class PlotFormat { png, svg, pdf };

// "png", "svg" or "pdf" in any letter case; nothing for any other text.
std::optional<PlotFormat> parsePlotFormat(std::string_view text);

// The file name extension of a format, without the dot: "png", "svg", "pdf".
std::string_view plotFormatExtension(PlotFormat format);

// The title of a plot file: "NAME - spline, 50% at N years", NAME being the
// name without trailing blanks and N the cutoff.
std::string plotFileTitle(std::string_view name, int cutoff);

// Writes the plot of `data` (built by buildPlotData) with the residuals
// residual[0..data.n) to `path`, replacing an existing file: the series red,
// the residuals black, the spline blue of double width drawn last, on white
// with a light grey grid in a black frame; "Year" and "Value" as axis labels,
// plotFileTitle as title, and a legend naming the three lines. A PNG is
// 1200 x 700 pixels, an SVG or PDF 840 x 490 points.
//
// Returns an empty string on success, else what failed, e.g.
//   cannot write plot file "x.png": No such file or directory
// naming `shownAs` instead of `path` when given (the target of a temporary).
// It never ends the process: PLplot's errors become the returned message.
// Equal bounds (one value, or all values equal) are widened a little so that
// the picture still has a frame; a plot without values (data.n < 1) is an
// error.
//
// Not thread-safe (PLplot is not): call it from one thread at a time. Each
// call uses a PLplot stream of its own and ends it, so it may be called any
// number of times in one process; it must not be called while a PLplot window
// of showSeriesWindow is open.
std::string writePlotFile(const std::string& path, PlotFormat format, const PlotData& data,
                          std::span<const float> residual, std::string_view name, int cutoff,
                          std::string_view shownAs = {});

// The plot file names of a set of series: BASE-NAME.EXT for each series, in
// order. NAME is the series name without trailing blanks, with every
// character other than an ASCII letter, digit, '-', '_' or '.' replaced by
// '_' ("_" for an empty name). When NAME was taken already, by an earlier
// series or by the NAME of any series, the next of NAME-2, NAME-3, ... that
// is not taken is used, so the names are all different. An empty base gives
// NAME.EXT; an extension given with its leading dot keeps only one dot.
std::vector<std::string> plotFileNames(std::string_view base, const std::vector<std::string>& seriesNames,
                                       std::string_view extension);

}  // namespace detrend::plot
