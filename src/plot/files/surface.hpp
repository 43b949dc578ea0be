// A picture's page on a cairo surface of its format, drawn into memory, and
// the file's bytes made from it.
#pragma once

#include <functional>
#include <new>
#include <string>

#include "base/result.hpp"
#include "plot/files/canvas.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::plot::files {

// A page of the format, drawn by `draw`, as the bytes of its file: a PNG of
// pngWidth x pngHeight pixels, an SVG or PDF of pageWidth x pageHeight
// points. On failure, what cairo or libpng said, prefixed "cairo: " for
// cairo's.
base::Result<std::string> renderPage(PlotFormat format, const std::function<void(const Canvas&)>& draw);

// The same for a page of pageWidth x `height` points (a PNG of pngWidth x
// round(height x pngScale) pixels), for pictures that grow with their
// content; at most maxPageHeight.
inline constexpr double maxPageHeight = 20000;
base::Result<std::string> renderPage(PlotFormat format, double height, const std::function<void(const Canvas&)>& draw);

// Runs `make`, turning a failed allocation into the failure "out of memory".
template <typename Make>
base::Result<std::string> guarded(Make make) {
    try {
        return make();
    } catch (const std::bad_alloc&) {
        return base::failure("out of memory");  // short enough to need no allocation
    }
}

}  // namespace detrend::plot::files
