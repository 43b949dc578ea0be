// The plot files' formats, titles and names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace detrend::plot {

enum class PlotFormat { png, svg, pdf };

// "png", "svg" or "pdf" in any letter case; nothing for any other text.
std::optional<PlotFormat> parsePlotFormat(std::string_view text);

// The file name extension of a format, without the dot: "png", "svg", "pdf".
std::string_view plotFormatExtension(PlotFormat format);

// The title of a series' plot file: "NAME - spline, 50% at N years", NAME
// being the name without trailing blanks and N the cutoff.
std::string plotFileTitle(std::string_view name, int cutoff);

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
