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

// The title of a series' plot file: "NAME - FIT", NAME being the name
// without trailing blanks and FIT what was fitted ("spline, 50% at 32 years").
std::string plotFileTitle(std::string_view name, std::string_view fit);

}  // namespace detrend::plot
