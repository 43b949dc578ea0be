#include "plot/files/plot_format.hpp"

#include <set>

#include "base/text.hpp"

namespace detrend::plot {
namespace {

std::string sanitizedName(std::string_view name) {
    std::string out(base::withoutTrailingBlanks(name));
    for (char& c : out) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (!kept) c = '_';
    }
    return out.empty() ? "_" : out;
}

}  // namespace

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

std::string plotFileTitle(std::string_view name, int cutoff) {
    return std::string(base::withoutTrailingBlanks(name)) + " - spline, 50% at " + std::to_string(cutoff) + " years";
}

std::vector<std::string> plotFileNames(std::string_view base, const std::vector<std::string>& seriesNames,
                                       std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    std::vector<std::string> names;
    names.reserve(seriesNames.size());
    for (const std::string& name : seriesNames) names.push_back(sanitizedName(name));
    // Every series' own name is reserved, so a generated NAME-2 never takes
    // the name of a series called NAME-2.
    const std::set<std::string> own(names.begin(), names.end());
    std::set<std::string> taken;
    for (std::string& name : names) {
        if (!taken.insert(name).second) {
            for (int k = 2;; ++k) {
                std::string candidate = name + "-" + std::to_string(k);
                if (!own.contains(candidate) && taken.insert(candidate).second) {
                    name = std::move(candidate);
                    break;
                }
            }
        }
        std::string file(base);
        if (!file.empty()) file += '-';
        name = file + name + "." + std::string(extension);
    }
    return names;
}

}  // namespace detrend::plot
