// Drawing on a picture's page with cairo: the context and its text, a panel
// with its axes, and what is drawn in and around a panel.
#pragma once

#include <cairo.h>

#include <cmath>
#include <span>
#include <string>

#include "plot/files/axis.hpp"
#include "plot/files/page.hpp"

namespace detrend::plot::files {

// A cairo context and how its page is drawn.
struct Canvas {
    cairo_t* cr;
    cairo_font_face_t* font;
    bool png;  // lines without anti-aliasing, thin ones on the pixel grid

    // A coordinate of a thin line, moved to the middle of a PNG pixel, and
    // one of a line two pixels wide, moved to the edge between two.
    double crisp(double v) const { return png ? (std::floor(v * pngScale) + 0.5) / pngScale : v; }
    double crispEven(double v) const { return png ? std::round(v * pngScale) / pngScale : v; }

    void colour(Colour c) const { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

    void line(double x0, double y0, double x1, double y1) const {
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
    }

    void fontSize(double size) const {
        cairo_set_font_face(cr, font);
        cairo_set_font_size(cr, size);
    }

    double width(const std::string& text) const {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, text.c_str(), &extents);
        return extents.x_advance;
    }

    // Text in ink whose baseline starts at x - align * width, y: align 0
    // puts its left end at x, 0.5 its middle, 1 its right end.
    void text(const std::string& s, double x, double y, double align) const {
        colour(ink);
        cairo_move_to(cr, align == 0 ? x : x - align * width(s), y);
        cairo_show_text(cr, s.c_str());
    }
};

// A panel: a frame on the page and the axes of the values drawn in it.
struct Panel {
    double left, top, right, bottom;
    Axis x, y;

    double px(double v) const { return left + x.fraction(v) * (right - left); }
    double py(double v) const { return bottom - y.fraction(v) * (bottom - top); }

    // Saves the drawing state and clips what follows to the frame; the
    // caller restores it.
    void clipTo(cairo_t* cr) const {
        cairo_save(cr);
        cairo_rectangle(cr, left, top, right - left, bottom - top);
        cairo_clip(cr);
    }
};

// The height of a digit at the current font size, to centre labels on ticks.
double digitHeight(const Canvas& canvas);

// The grid lines at the major ticks of both axes.
void drawGrid(const Canvas& canvas, const Panel& p);

// A horizontal dashed line across the panel at value v.
void drawReference(const Canvas& canvas, const Panel& p, double v, Colour colour = referenceGrey);

// The panel's frame and the ticks of its years, and of its values when
// valueTicks, inside it, in one stroke of black hairlines.
void strokeFrame(const Canvas& canvas, const Panel& p, bool valueTicks);

// The frame, the ticks inside it on all four sides, the tick labels on the
// left and, when `yearLabels`, below.
void drawFrame(const Canvas& canvas, const Panel& p, bool yearLabels);

// The widest tick label of a y axis.
double widestLabel(const Canvas& canvas, const Axis& axis);

// A y axis label turned upright, centred on the panel, its baseline on x.
void drawYLabel(const Canvas& canvas, const Panel& p, const std::string& label, double x);

// A line through the drawable values, value i at year firstYear + i,
// clipped to the panel. A value alone between gaps is a small square.
// For float and double values.
template <typename T>
void drawValues(const Canvas& canvas, const Panel& p, double firstYear, std::span<const T> values, Colour colour,
                double width);

// Sample depths as steps a year wide around each year; negative ones at 0.
void drawDepths(const Canvas& canvas, const Panel& p, double firstYear, std::span<const int> depths);

}  // namespace detrend::plot::files
