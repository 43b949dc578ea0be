// The picture of a site's chronology: the chronology above, its sample depth
// below.
#include <algorithm>
#include <string>

#include "plot/files/picture.hpp"
#include "plot/files/surface.hpp"
#include "plot/files/two_panels.hpp"

namespace detrend::plot {
namespace {

using namespace files;

void drawChronology(const Canvas& canvas, const ChronologyPicture& c) {
    Range top;
    for (double v : c.values) top.add(v);
    top.add(baseline(c.indexKind));
    int deepest = 1;
    for (int d : c.depths) deepest = std::max(deepest, d);
    const Axis depth = makeAxis(0, deepest * 1.08, 4, true);
    const Page page = layOut(canvas, 0.66, yearAxis(c.firstYear, c.values.size()), valueAxis(top, 6), depth);
    const Panel &upper = page.upper, &lower = page.lower;
    const std::string label = displayText(indexLabel(c.indexKind, c.indexLabel));
    const double year = c.firstYear;
    drawUnderLines(canvas, page);
    drawReference(canvas, upper, baseline(c.indexKind));
    drawValues(canvas, upper, year, c.values, black, pixel);
    drawDepths(canvas, lower, year, c.depths);
    drawOverLines(canvas, page, label, "sample depth", displayText(c.title),
                  {{"chronology", black, pixel}, {"sample depth", blue, pixel}});
}

}  // namespace

base::Result<std::string> renderChronologyPicture(const ChronologyPicture& picture, PlotFormat format) {
    return guarded([&]() -> base::Result<std::string> {
        const std::size_t n = picture.values.size();
        if (n == 0) return base::failure("no values to plot");
        if (picture.depths.size() != n)
            return base::failure("chronology and sample depth differ in length (" + std::to_string(n) + ", " +
                                 std::to_string(picture.depths.size()) + " values)");
        return renderPage(format, [&picture](const Canvas& canvas) { drawChronology(canvas, picture); });
    });
}

}  // namespace detrend::plot
