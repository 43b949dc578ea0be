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

}  // namespace detrend::plot
