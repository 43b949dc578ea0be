// The picture of a crossdating: the segments of every series over the
// years, the flagged ones in their own colour.
#include <algorithm>
#include <string>

#include "plot/files/picture.hpp"
#include "plot/files/surface.hpp"

namespace detrend::plot {
namespace {

using namespace files;

constexpr Colour segmentFill = fromHex(segmentColour), flaggedFill = fromHex(flaggedColour);
constexpr Colour band{245 / 255.0, 245 / 255.0, 245 / 255.0};  // every other row

constexpr double frameTop = 70, frameGap = 8, rightMargin = 16, bottomRoom = 48;
constexpr double widestName = 180;  // longer names are cut

// Rows of 24 points while the page stays at its usual height, down to 12.
double rowHeight(std::size_t rows) {
    if (rows == 0) return 24;
    const double usual = (pageHeight - frameTop - bottomRoom) / static_cast<double>(rows);
    return std::clamp(usual, 12.0, 24.0);
}

double pageHeightFor(std::size_t rows) { return frameTop + rowHeight(rows) * static_cast<double>(rows) + bottomRoom; }

// `name` cut, with "...", to fit `room` at the current font size.
std::string fitted(const Canvas& canvas, std::string name, double room) {
    if (canvas.width(name) <= room) return name;
    while (!name.empty() && canvas.width(name + "...") > room) {
        std::size_t cut = name.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // a whole character
        name.resize(cut);
    }
    return name + "...";
}

// The panel of the rows: right of the names, over the years of all series.
Panel layOutRows(const Canvas& canvas, const CrossdatingPicture& c, std::vector<std::string>& names) {
    int first = c.rows[0].first, last = c.rows[0].last;
    double widest = 0;
    canvas.fontSize(std::min(tickSize, rowHeight(c.rows.size()) * 0.75));
    for (const CrossdatingRow& row : c.rows) {
        first = std::min(first, row.first);
        last = std::max({last, row.last, row.first});
        names.push_back(fitted(canvas, displayText(row.name), widestName));
        widest = std::max(widest, canvas.width(names.back()));
    }
    const double left = 8 + widest + frameGap;
    const double bottom = frameTop + rowHeight(c.rows.size()) * static_cast<double>(c.rows.size());
    return Panel{left, frameTop, pageWidth - rightMargin, bottom, makeAxis(first, last + 1.0, 10, true), Axis{}};
}

void drawYearGrid(const Canvas& canvas, const Panel& p) {
    canvas.colour(gridGrey);
    cairo_set_line_width(canvas.cr, pixel);
    for (double v : multiples(p.x.lo, p.x.hi, p.x.step)) {
        const double x = canvas.crisp(p.px(v));
        canvas.line(x, p.top, x, p.bottom);
    }
    cairo_stroke(canvas.cr);
}

// Every other row's band.
void drawBands(const Canvas& canvas, const Panel& p, std::size_t rows, double height) {
    canvas.colour(band);
    for (std::size_t i = 1; i < rows; i += 2)
        cairo_rectangle(canvas.cr, p.left, p.top + height * static_cast<double>(i), p.right - p.left, height);
    cairo_fill(canvas.cr);
}

// A row's series' years and its segments.
void drawRow(const Canvas& canvas, const Panel& p, const CrossdatingRow& row, int segmentLength, double top,
             double height) {
    cairo_t* cr = canvas.cr;
    const double middle = top + height / 2;
    canvas.colour(referenceGrey);
    cairo_set_line_width(cr, pixel);
    canvas.line(p.px(row.first), canvas.crisp(middle), p.px(row.last + 1.0), canvas.crisp(middle));
    cairo_stroke(cr);
    const double bar = std::max(2.0, height * 0.3);
    for (std::size_t k = 0; k < row.segments.size(); ++k) {
        const auto [start, flagged] = row.segments[k];
        // Segments lagged by half their length alternate above and below,
        // in every row alike (their first years differ by multiples of it).
        const long half = std::max(1, segmentLength / 2);
        const long step = start >= 0 ? start / half : -((-static_cast<long>(start) + half - 1) / half);
        const bool upper = step % 2 == 0;
        const double y = upper ? middle - bar - 0.5 : middle + 0.5;
        const double x0 = p.px(start), x1 = p.px(start + static_cast<double>(segmentLength));
        canvas.colour(flagged ? flaggedFill : segmentFill);
        // A gap at each end keeps the segments that touch apart.
        const double inset = std::min(1.5, (x1 - x0) / 8);
        cairo_rectangle(cr, x0 + inset, y, std::max(pixel, x1 - x0 - 2 * inset), bar);
        cairo_fill(cr);
    }
}

void drawFrameAndYears(const Canvas& canvas, const Panel& p) {
    strokeFrame(canvas, p, false);
    canvas.fontSize(tickSize);
    const double digits = digitHeight(canvas);
    for (double v : multiples(p.x.lo, p.x.hi, p.x.step)) {
        canvas.text(p.x.label(v), p.px(v), p.top - 5, 0.5);
        canvas.text(p.x.label(v), p.px(v), p.bottom + 6 + digits, 0.5);
    }
    canvas.fontSize(labelSize);
    canvas.text("Year", (p.left + p.right) / 2, p.bottom + 34, 0.5);
}

// The title, and a legend of the bars under it.
void drawHeading(const Canvas& canvas, const CrossdatingPicture& c, double centre) {
    canvas.fontSize(titleSize);
    const std::string title = displayText(c.title);
    canvas.text(title, std::max(8.0, centre - canvas.width(title) / 2), 22, 0);
    canvas.fontSize(legendSize);
    const std::string ok = std::to_string(c.segmentLength) + "-year segment", flagged = "flagged segment";
    const double sample = 24, gap = 8, width = 2 * (sample + gap) + canvas.width(ok) + 3 * gap + canvas.width(flagged);
    double x = centre - width / 2;
    for (const auto& [text, colour] : {std::pair{ok, segmentFill}, std::pair{flagged, flaggedFill}}) {
        canvas.colour(colour);
        cairo_rectangle(canvas.cr, x, 36, sample, 7);
        cairo_fill(canvas.cr);
        canvas.text(text, x + sample + gap, 43, 0);
        x += sample + gap + canvas.width(text) + 3 * gap;
    }
}

void drawCrossdating(const Canvas& canvas, const CrossdatingPicture& c) {
    canvas.colour(white);
    cairo_paint(canvas.cr);
    if (c.rows.empty()) {
        drawHeading(canvas, c, pageWidth / 2);
        canvas.fontSize(labelSize);
        return canvas.text("no series could be crossdated", pageWidth / 2, frameTop + 24, 0.5);
    }
    std::vector<std::string> names;
    const Panel p = layOutRows(canvas, c, names);
    const double height = rowHeight(c.rows.size());
    drawBands(canvas, p, c.rows.size(), height);
    drawYearGrid(canvas, p);
    for (std::size_t i = 0; i < c.rows.size(); ++i)
        drawRow(canvas, p, c.rows[i], c.segmentLength, p.top + height * static_cast<double>(i), height);
    drawFrameAndYears(canvas, p);
    const double size = std::min(tickSize, height * 0.75);
    canvas.fontSize(size);
    const double half = digitHeight(canvas) / 2;
    for (std::size_t i = 0; i < c.rows.size(); ++i)
        canvas.text(names[i], p.left - frameGap, p.top + height * (static_cast<double>(i) + 0.5) + half, 1);
    drawHeading(canvas, c, (p.left + p.right) / 2);
}

}  // namespace

base::Result<std::string> renderCrossdatingPicture(const CrossdatingPicture& picture, PlotFormat format) {
    return guarded([&]() -> base::Result<std::string> {
        const std::size_t n = picture.rows.size();
        const double height = pageHeightFor(n);
        if (height > maxPageHeight)
            return base::failure(std::to_string(n) + " series are more than one picture can show");
        return renderPage(format, height, [&picture](const Canvas& canvas) { drawCrossdating(canvas, picture); });
    });
}

}  // namespace detrend::plot
