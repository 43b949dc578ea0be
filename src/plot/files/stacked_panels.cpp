#include "plot/files/stacked_panels.hpp"

#include <algorithm>
#include <cmath>

namespace detrend::plot::files {
namespace {

// A legend entry's sample: a line as the panels draw it, dashed or solid,
// or a swatch of a filled area, `sample` wide at `y`.
void drawSample(const Canvas& canvas, const LegendEntry& e, double x, double y, double sample) {
    cairo_t* cr = canvas.cr;
    canvas.colour(e.colour);
    if (e.sample == LegendEntry::Sample::swatch) {
        cairo_rectangle(cr, x, y - 4, sample, 8);
        cairo_fill(cr);
        return;
    }
    const double dashes[] = {6 * pixel, 4 * pixel};
    if (e.sample == LegendEntry::Sample::dashed) cairo_set_dash(cr, dashes, 2, 0);
    cairo_set_line_width(cr, e.width);
    // A line of an odd number of pixels lies on a pixel's middle.
    const bool odd = static_cast<long>(std::lround(e.width / pixel)) % 2 == 1;
    const double lineY = odd ? canvas.crisp(y) : canvas.crispEven(y);
    canvas.line(x, lineY, x + sample, lineY);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

// The legend right of the panels, level with the upper panel's top; text
// too wide for the room left on the page is made smaller, to no less than
// 70% of its size.
void drawLegend(const Canvas& canvas, const std::vector<LegendEntry>& entries) {
    cairo_t* cr = canvas.cr;
    canvas.fontSize(legendSize);
    constexpr double sample = 24, padding = 8, row = legendSize * 1.7;
    const double left = panelRight + legendGap, room = pageWidth - 2 - left - 3 * padding - sample;
    double widest = 0;
    for (const LegendEntry& e : entries) widest = std::max(widest, canvas.width(e.text));
    if (widest > room) {
        canvas.fontSize(legendSize * std::max(0.7, room / widest));
        widest = 0;
        for (const LegendEntry& e : entries) widest = std::max(widest, canvas.width(e.text));
    }
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
        drawSample(canvas, e, left + padding, y, sample);
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

Page layOut(const Canvas& canvas, const Axis& years, const std::vector<Stacked>& stack) {
    double widest = 0;
    for (const Stacked& s : stack) widest = std::max(widest, widestLabel(canvas, s.axis));
    Page page{{}, std::max(labelSize + 2, panelLeft - 5 - widest - 8)};
    const double left = page.labelX + 8 + widest + 5;
    const double height = lowerBottom - topTop - panelGap * static_cast<double>(stack.size() - 1);
    double top = topTop;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        // The lowest panel ends on lowerBottom whatever the shares' rounding.
        const double bottom = i + 1 == stack.size() ? lowerBottom : top + height * stack[i].share;
        page.panels.push_back(Panel{left, top, panelRight, bottom, years, stack[i].axis});
        top = bottom + panelGap;
    }
    return page;
}

void drawPaper(const Canvas& canvas) {
    canvas.colour(white);
    cairo_paint(canvas.cr);
}

void drawUnderLines(const Canvas& canvas, const Page& page) {
    drawPaper(canvas);
    for (const Panel& p : page.panels) drawGrid(canvas, p);
}

void drawOverLines(const Canvas& canvas, const Page& page, const std::vector<std::string>& labels,
                   const std::string& title, const std::vector<LegendEntry>& legend) {
    for (std::size_t i = 0; i < page.panels.size(); ++i) {
        drawFrame(canvas, page.panels[i], i + 1 == page.panels.size());
        if (i < labels.size()) drawYLabel(canvas, page.panels[i], labels[i], page.labelX);
    }
    const Panel& lowest = page.panels.back();
    canvas.fontSize(labelSize);
    canvas.text("Year", (lowest.left + lowest.right) / 2, lowerBottom + 36, 0.5);
    drawTitle(canvas, title, (lowest.left + lowest.right) / 2);
    drawLegend(canvas, legend);
}

std::string indexLabel(numeric::IndexKind kind, std::string_view given) {
    return given.empty() ? std::string(numeric::indexName(kind)) + " index" : std::string(given);
}

}  // namespace detrend::plot::files
