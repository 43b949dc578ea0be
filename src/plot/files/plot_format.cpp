#include "plot/files/plot_format.hpp"

#include <set>

#include "base/text.hpp"

namespace detrend::plot {
std::optional<PlotFormat> parsePlotFormat(std::string_view text) {
    const std::string lower = base::asciiLowered(text);
    if (lower == "png") return PlotFormat::png;
    if (lower == "svg") return PlotFormat::svg;
    if (lower == "pdf") return PlotFormat::pdf;
    return std::nullopt;
}

std::string_view plotFormatExtension(PlotFormat format) {
    switch (format) {
        case PlotFormat::png: return "png";
        case PlotFormat::svg: return "svg";
        case PlotFormat::pdf: return "pdf";
    }
    return "png";
}

std::string plotFileTitle(std::string_view name, std::string_view fit) {
    return std::string(base::withoutTrailingBlanks(name)) + " - " + std::string(fit);
}

}  // namespace detrend::plot
