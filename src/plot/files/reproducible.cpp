#include "plot/files/reproducible.hpp"

namespace detrend::plot::files {

void dropCreationDate(std::string& pdf) {
    constexpr std::string_view written = "/CreationDate (20000101000000Z)";
    const auto at = pdf.rfind(written);
    if (at != std::string::npos) pdf.replace(at, written.size(), written.size(), ' ');
}

void fixSurfaceName(std::string& svg) {
    constexpr std::string_view group = "<g id=\"surface";
    const auto at = svg.find(group);
    if (at == std::string::npos) return;
    const auto digits = at + group.size(), end = svg.find('"', digits);
    if (end != std::string::npos) svg.replace(digits, end - digits, 1, '1');
}

}  // namespace detrend::plot::files
