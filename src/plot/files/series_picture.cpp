// The picture of one series: the series and its spline above, its index
// below.
#include <string>

#include "plot/files/picture.hpp"
#include "plot/files/surface.hpp"
#include "plot/files/stacked_panels.hpp"

namespace detrend::plot {
namespace {

using namespace files;

void drawSeries(const Canvas& canvas, const SeriesPicture& s) {
    Range top, bottom;
    for (std::size_t i = 0; i < s.series.size(); ++i) {
        top.add(static_cast<double>(s.series[i]));
        top.add(static_cast<double>(s.spline[i]));
        bottom.add(static_cast<double>(s.index[i]));
    }
    bottom.add(baseline(s.indexKind));
    const Page page = layOut(canvas, yearAxis(s.firstYear, s.series.size()),
                             {{valueAxis(top, 6), 0.58}, {valueAxis(bottom, 4), 0.42}});
    const Panel &upper = page.panels[0], &lower = page.panels[1];
    const std::string label = displayText(indexLabel(s.indexKind, s.indexLabel));
    const double year = s.firstYear;
    drawUnderLines(canvas, page);
    drawReference(canvas, lower, baseline(s.indexKind));
    drawValues(canvas, upper, year, s.series, red, pixel);
    drawValues(canvas, lower, year, s.index, black, pixel);
    drawValues(canvas, upper, year, s.spline, blue, 2 * pixel);
    drawOverLines(canvas, page, {displayText(s.valueLabel), label}, displayText(s.title),
                  {{"series", red, pixel}, {displayText(s.curveLabel), blue, 2 * pixel}, {label, black, pixel}});
}

}  // namespace

base::Result<std::string> renderSeriesPicture(const SeriesPicture& picture, PlotFormat format) {
    return guarded([&]() -> base::Result<std::string> {
        const std::size_t n = picture.series.size();
        if (n == 0) return base::failure("no values to plot");
        if (picture.spline.size() != n || picture.index.size() != n)
            return base::failure("series, spline and index differ in length (" + std::to_string(n) + ", " +
                                 std::to_string(picture.spline.size()) + ", " + std::to_string(picture.index.size()) +
                                 " values)");
        return renderPage(format, [&picture](const Canvas& canvas) { drawSeries(canvas, picture); });
    });
}

}  // namespace detrend::plot
