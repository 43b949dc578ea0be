// The picture of a site's chronology: the chronologies above, the sample
// depth below them and, when given, the running EPS at the bottom.
#include <algorithm>
#include <charconv>
#include <string>

#include "plot/files/picture.hpp"
#include "plot/files/stacked_panels.hpp"
#include "plot/files/surface.hpp"

namespace detrend::plot {
namespace {

using namespace files;

constexpr Colour standardLine = fromHex(standardColour), residualLine = fromHex(residualColour),
                 smoothLine = fromHex(smoothColour), epsLine = fromHex(epsColour),
                 thresholdLine = fromHex(thresholdColour), cutShade = fromHex(cutColour);
// Thin lines for the chronologies, which may hold a thousand years: a wider
// line would fill the panel; the smoothing stands out over them.
constexpr double chronologyWidth = pixel, smoothWidth = 3 * pixel, epsWidth = 2 * pixel;

// The years cut, shaded a year wide around each, in the panel.
void drawCut(const Canvas& canvas, const Panel& p, double firstYear, std::span<const char> cut) {
    cairo_t* cr = canvas.cr;
    p.clipTo(cr);
    canvas.colour(cutShade);
    for (std::size_t i = 0; i < cut.size();) {
        if (!cut[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < cut.size() && cut[end]) ++end;
        const double x0 = p.px(firstYear + static_cast<double>(i) - 0.5);
        const double x1 = p.px(firstYear + static_cast<double>(end) - 0.5);
        cairo_rectangle(cr, x0, p.top, x1 - x0, p.bottom - p.top);
        i = end;
    }
    cairo_fill(cr);
    cairo_restore(cr);
}

// The windows' values joined by a line where neighbours both have one, a
// small square on each.
void drawWindows(const Canvas& canvas, const Panel& p, std::span<const WindowValue> windows) {
    cairo_t* cr = canvas.cr;
    p.clipTo(cr);
    canvas.colour(epsLine);
    cairo_set_line_width(cr, epsWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const WindowValue& w : windows) {
        if (Range::drawable(w.value))
            cairo_line_to(cr, p.px(w.year), p.py(w.value));
        else
            cairo_new_sub_path(cr);
    }
    cairo_stroke(cr);
    constexpr double mark = 2.5 * pixel;
    for (const WindowValue& w : windows)
        if (Range::drawable(w.value))
            cairo_rectangle(cr, p.px(w.year) - mark, p.py(w.value) - mark, 2 * mark, 2 * mark);
    cairo_fill(cr);
    cairo_restore(cr);
}

std::string shortest(double v) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, v);
    return error == std::errc{} ? std::string(text, end) : "?";
}

// The panels: the chronologies, the depth and, with a running EPS, its own.
Page layOutChronology(const Canvas& canvas, const ChronologyPicture& c) {
    Range top, eps;
    for (std::span<const double> line : {c.values, c.residual, c.smooth})
        for (double v : line) top.add(v);
    top.add(baseline(c.indexKind));
    int deepest = 1;
    for (int d : c.depths) deepest = std::max(deepest, d);
    for (const WindowValue& w : c.eps) eps.add(w.value);
    // The EPS panel reaches up to 1, the most an EPS can be.
    eps.add(c.epsThreshold);
    eps.add(1);
    const Axis years = yearAxis(c.firstYear, c.values.size());
    if (c.eps.empty())
        return layOut(canvas, years, {{valueAxis(top, 6), 0.66}, {makeAxis(0, deepest * 1.08, 4, true), 0.34}});
    return layOut(canvas, years,
                  {{valueAxis(top, 6), 0.56}, {makeAxis(0, deepest * 1.08, 3, true), 0.22}, {valueAxis(eps, 3), 0.22}});
}

std::vector<LegendEntry> legendOf(const ChronologyPicture& c, const std::string& threshold) {
    using Sample = LegendEntry::Sample;
    std::vector<LegendEntry> legend{{"standard (std)", standardLine, chronologyWidth}};
    if (!c.residual.empty()) legend.push_back({"residual (res)", residualLine, chronologyWidth});
    if (!c.smooth.empty()) legend.push_back({std::to_string(c.smoothing) + "-year spline", smoothLine, smoothWidth});
    legend.push_back({"sample depth", blue, pixel});
    if (!c.eps.empty()) {
        legend.push_back({"running EPS", epsLine, epsWidth});
        legend.push_back({"EPS " + threshold, thresholdLine, pixel, Sample::dashed});
    }
    if (std::any_of(c.cut.begin(), c.cut.end(), [](char cut) { return cut != 0; }))
        legend.push_back({displayText(c.cutLabel), cutShade, pixel, Sample::swatch});
    return legend;
}

void drawChronology(const Canvas& canvas, const ChronologyPicture& c) {
    const Page page = layOutChronology(canvas, c);
    const double year = c.firstYear;
    drawPaper(canvas);
    for (const Panel& p : page.panels) {
        drawCut(canvas, p, year, c.cut);
        drawGrid(canvas, p);
    }
    const Panel &upper = page.panels[0], &lower = page.panels[1];
    drawReference(canvas, upper, baseline(c.indexKind));
    drawValues(canvas, upper, year, c.residual, residualLine, chronologyWidth);
    drawValues(canvas, upper, year, c.values, standardLine, chronologyWidth);
    drawValues(canvas, upper, year, c.smooth, smoothLine, smoothWidth);
    drawDepths(canvas, lower, year, c.depths);
    const std::string threshold = shortest(c.epsThreshold);
    std::vector<std::string> labels{displayText(indexLabel(c.indexKind, c.indexLabel)), "sample depth"};
    if (!c.eps.empty()) {
        const Panel& bottom = page.panels[2];
        drawReference(canvas, bottom, c.epsThreshold, thresholdLine);
        drawWindows(canvas, bottom, c.eps);
        labels.push_back("EPS");
    }
    drawOverLines(canvas, page, labels, displayText(c.title), legendOf(c, threshold));
}

// Why the lines of a chronology cannot be drawn together; empty when they can.
std::string mismatch(const ChronologyPicture& c) {
    const std::size_t n = c.values.size();
    const auto differs = [n](std::size_t size) { return size != 0 && size != n; };
    if (c.depths.size() != n)
        return "chronology and sample depth differ in length (" + std::to_string(n) + ", " +
               std::to_string(c.depths.size()) + " values)";
    for (const auto& [what, size] : {std::pair{"residual chronology", c.residual.size()},
                                     std::pair{"smoothing", c.smooth.size()}, std::pair{"years cut", c.cut.size()}})
        if (differs(size))
            return std::string("chronology and ") + what + " differ in length (" + std::to_string(n) + ", " +
                   std::to_string(size) + " values)";
    return {};
}

}  // namespace

base::Result<std::string> renderChronologyPicture(const ChronologyPicture& picture, PlotFormat format) {
    return guarded([&]() -> base::Result<std::string> {
        if (picture.values.empty()) return base::failure("no values to plot");
        if (const std::string why = mismatch(picture); !why.empty()) return base::failure(why);
        return renderPage(format, [&picture](const Canvas& canvas) { drawChronology(canvas, picture); });
    });
}

}  // namespace detrend::plot
