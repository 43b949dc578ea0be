#include "plot/files/canvas.hpp"

#include <algorithm>
#include <numbers>
#include <utility>

namespace detrend::plot::files {

double digitHeight(const Canvas& canvas) {
    cairo_text_extents_t extents;
    cairo_text_extents(canvas.cr, "0", &extents);
    return extents.height;
}

void drawGrid(const Canvas& canvas, const Panel& p) {
    cairo_t* cr = canvas.cr;
    canvas.colour(gridGrey);
    cairo_set_line_width(cr, pixel);
    for (double v : multiples(p.x.lo, p.x.hi, p.x.step)) {
        const double x = canvas.crisp(p.px(v));
        canvas.line(x, p.top, x, p.bottom);
    }
    for (double v : multiples(p.y.lo, p.y.hi, p.y.step)) {
        const double y = canvas.crisp(p.py(v));
        canvas.line(p.left, y, p.right, y);
    }
    cairo_stroke(cr);
}

void drawReference(const Canvas& canvas, const Panel& p, double v, Colour colour) {
    cairo_t* cr = canvas.cr;
    const double dashes[] = {6 * pixel, 4 * pixel};
    canvas.colour(colour);
    cairo_set_line_width(cr, pixel);
    cairo_set_dash(cr, dashes, 2, 0);
    const double y = canvas.crisp(p.py(v));
    canvas.line(p.left, y, p.right, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

void strokeFrame(const Canvas& canvas, const Panel& p, bool valueTicks) {
    cairo_t* cr = canvas.cr;
    canvas.colour(black);
    cairo_set_line_width(cr, pixel);
    const double left = canvas.crisp(p.left), right = canvas.crisp(p.right);
    const double top = canvas.crisp(p.top), bottom = canvas.crisp(p.bottom);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    for (const auto& [step, length] : {std::pair{p.x.step, majorTick}, std::pair{p.x.minorStep, minorTick}}) {
        for (double v : multiples(p.x.lo, p.x.hi, step)) {
            const double x = canvas.crisp(p.px(v));
            canvas.line(x, bottom, x, bottom - length);
            canvas.line(x, top, x, top + length);
        }
    }
    if (valueTicks)
        for (const auto& [step, length] : {std::pair{p.y.step, majorTick}, std::pair{p.y.minorStep, minorTick}}) {
            for (double v : multiples(p.y.lo, p.y.hi, step)) {
                const double y = canvas.crisp(p.py(v));
                canvas.line(left, y, left + length, y);
                canvas.line(right, y, right - length, y);
            }
        }
    cairo_stroke(cr);
}

void drawFrame(const Canvas& canvas, const Panel& p, bool yearLabels) {
    strokeFrame(canvas, p, true);

    canvas.fontSize(tickSize);
    const double half = digitHeight(canvas) / 2;
    for (double v : multiples(p.y.lo, p.y.hi, p.y.step)) canvas.text(p.y.label(v), p.left - 5, p.py(v) + half, 1);
    if (yearLabels)
        for (double v : multiples(p.x.lo, p.x.hi, p.x.step))
            canvas.text(p.x.label(v), p.px(v), p.bottom + 6 + 2 * half, 0.5);
}

double widestLabel(const Canvas& canvas, const Axis& axis) {
    canvas.fontSize(tickSize);
    double widest = 0;
    for (double v : multiples(axis.lo, axis.hi, axis.step)) widest = std::max(widest, canvas.width(axis.label(v)));
    return widest;
}

void drawYLabel(const Canvas& canvas, const Panel& p, const std::string& label, double x) {
    cairo_t* cr = canvas.cr;
    canvas.fontSize(labelSize);
    cairo_save(cr);
    cairo_translate(cr, x, (p.top + p.bottom) / 2);
    cairo_rotate(cr, -std::numbers::pi / 2);
    canvas.text(label, 0, 0, 0.5);
    cairo_restore(cr);
}

template <typename T>
void drawValues(const Canvas& canvas, const Panel& p, double firstYear, std::span<const T> values, Colour colour,
                double width) {
    cairo_t* cr = canvas.cr;
    p.clipTo(cr);
    canvas.colour(colour);
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const std::size_t n = values.size();
    const double mark = 1.5 * width + pixel;
    for (std::size_t i = 0; i < n;) {
        while (i < n && !Range::drawable(static_cast<double>(values[i]))) ++i;
        std::size_t end = i;
        while (end < n && Range::drawable(static_cast<double>(values[end]))) ++end;
        if (end - i == 1) {
            const double x = p.px(firstYear + static_cast<double>(i)), y = p.py(static_cast<double>(values[i]));
            cairo_rectangle(cr, x - mark, y - mark, 2 * mark, 2 * mark);
            cairo_fill(cr);
        } else if (end > i) {
            for (std::size_t k = i; k < end; ++k)
                cairo_line_to(cr, p.px(firstYear + static_cast<double>(k)), p.py(static_cast<double>(values[k])));
            cairo_stroke(cr);
        }
        i = end;
    }
    cairo_restore(cr);
}

template void drawValues<float>(const Canvas&, const Panel&, double, std::span<const float>, Colour, double);
template void drawValues<double>(const Canvas&, const Panel&, double, std::span<const double>, Colour, double);

void drawDepths(const Canvas& canvas, const Panel& p, double firstYear, std::span<const int> depths) {
    cairo_t* cr = canvas.cr;
    p.clipTo(cr);
    canvas.colour(blue);
    cairo_set_line_width(cr, pixel);
    for (std::size_t i = 0; i < depths.size(); ++i) {
        const double year = firstYear + static_cast<double>(i);
        const double y = canvas.crisp(p.py(std::max(depths[i], 0)));
        cairo_line_to(cr, p.px(year - 0.5), y);
        cairo_line_to(cr, p.px(year + 0.5), y);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace detrend::plot::files
