#include "plot/files/two_panels.hpp"

#include <algorithm>

namespace detrend::plot::files {
namespace {

// The legend right of the panels, level with the upper panel's top.
void drawLegend(const Canvas& canvas, const std::vector<LegendEntry>& entries) {
    cairo_t* cr = canvas.cr;
    canvas.fontSize(legendSize);
    constexpr double sample = 24, padding = 8, row = legendSize * 1.7;
    double widest = 0;
    for (const LegendEntry& e : entries) widest = std::max(widest, canvas.width(e.text));
    const double left = panelRight + legendGap;
    const double right = std::min(pageWidth - 2, left + 3 * padding + sample + widest);
    const double top = topTop, bottom = top + row * static_cast<double>(entries.size()) + padding;
    canvas.colour(black);
    cairo_set_line_width(cr, pixel);
    cairo_rectangle(cr, canvas.crisp(left), canvas.crisp(top), canvas.crisp(right) - canvas.crisp(left),
                    canvas.crisp(bottom) - canvas.crisp(top));
    cairo_stroke(cr);
    const double half = digitHeight(canvas) / 2;
    double y = top + padding / 2 + row / 2;
    for (const LegendEntry& e : entries) {
        canvas.colour(e.colour);
        cairo_set_line_width(cr, e.width);
        const double lineY = e.width == pixel ? canvas.crisp(y) : canvas.crispEven(y);
        canvas.line(left + padding, lineY, left + padding + sample, lineY);
        cairo_stroke(cr);
        canvas.text(e.text, left + 2 * padding + sample, y + half, 0);
        y += row;
    }
}

// The title centred on `centre` above the panels; a long one is made
// smaller, to no less than half its size, and starts at the page's left edge
// if still too wide.
void drawTitle(const Canvas& canvas, const std::string& title, double centre) {
    canvas.fontSize(titleSize);
    const double room = pageWidth - 16;
    const double full = canvas.width(title);
    if (full > room) canvas.fontSize(titleSize * std::max(0.5, room / full));
    const double width = canvas.width(title);
    const double x = std::clamp(centre - width / 2, 8.0, std::max(8.0, pageWidth - 8 - width));
    canvas.text(title, x, topTop - 13, 0);
}

}  // namespace

Page layOut(const Canvas& canvas, double share, const Axis& years, const Axis& upper, const Axis& lower) {
    const double widest = std::max(widestLabel(canvas, upper), widestLabel(canvas, lower));
    const double labelX = std::max(labelSize + 2, panelLeft - 5 - widest - 8);
    const double left = labelX + 8 + widest + 5;
    const double split = topTop + (lowerBottom - topTop - panelGap) * share;
    return {Panel{left, topTop, panelRight, split, years, upper},
            Panel{left, split + panelGap, panelRight, lowerBottom, years, lower}, labelX};
}

void drawUnderLines(const Canvas& canvas, const Page& page) {
    canvas.colour(white);
    cairo_paint(canvas.cr);
    drawGrid(canvas, page.upper);
    drawGrid(canvas, page.lower);
}

void drawOverLines(const Canvas& canvas, const Page& page, const std::string& upperLabel, const std::string& lowerLabel,
                   const std::string& title, const std::vector<LegendEntry>& legend) {
    drawFrame(canvas, page.upper, false);
    drawFrame(canvas, page.lower, true);
    drawYLabel(canvas, page.upper, upperLabel, page.labelX);
    drawYLabel(canvas, page.lower, lowerLabel, page.labelX);
    canvas.fontSize(labelSize);
    canvas.text("Year", (page.lower.left + page.lower.right) / 2, lowerBottom + 36, 0.5);
    drawTitle(canvas, title, (page.upper.left + page.upper.right) / 2);
    drawLegend(canvas, legend);
}

std::string indexLabel(numeric::IndexKind kind, std::string_view given) {
    return given.empty() ? std::string(numeric::indexName(kind)) + " index" : std::string(given);
}

}  // namespace detrend::plot::files
