#include "plot/picture.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <vector>

#include "formats/fields.hpp"

namespace detrend::plot {
namespace {

// ---------------------------------------------------------------------------
// The page, in points. A PNG is the same page at 1200 / 840 pixels a point,
// so that the pictures of all formats look alike.

constexpr double pngScale = pngWidth / pageWidth;
// One PNG pixel in page units: the width of a thin line, in every format.
constexpr double pixel = 1 / pngScale;

constexpr double panelLeft = 80, panelRight = 686;
constexpr double legendGap = 12;  // between the panels and the legend
constexpr double topTop = 38;  // the upper panel's frame
constexpr double panelGap = 10;  // between the two panels
constexpr double lowerBottom = 432;

constexpr double titleSize = 13, labelSize = 11.5, tickSize = 10.5, legendSize = 10.5;
constexpr double majorTick = 6 * pixel, minorTick = 3 * pixel;

struct Colour {
    double r, g, b;
};
constexpr Colour white{1, 1, 1}, black{0, 0, 0}, red{1, 0, 0}, blue{0, 0, 1};
constexpr Colour gridGrey{211 / 255.0, 211 / 255.0, 211 / 255.0};
constexpr Colour referenceGrey{128 / 255.0, 128 / 255.0, 128 / 255.0};
// Text is a black of 3/255: its anti-aliased shades on white are the greys
// 3..255, which leave room in a PNG palette of 256 colours for pure black,
// red and blue.
constexpr Colour ink{3 / 255.0, 3 / 255.0, 3 / 255.0};

// ---------------------------------------------------------------------------
// Text.

// `text` with every byte that does not belong to valid UTF-8, and every
// control character, replaced by '?', so that cairo takes it.
std::string displayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = base::utf8SequenceLength(text, i);
        // C0 and C1 control characters, DEL, and what is not UTF-8.
        const bool control = length == 1 ? c < 0x20 || c == 0x7F
                                         : length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 0 || control) {
            out += '?';
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

// A number as a tick label, without regard to the locale: `decimals` digits
// after the point, or in scientific notation with `decimals` digits when
// `scientific`.
std::string tickLabel(double value, int decimals, bool scientific) {
    if (scientific && value == 0) return "0";
    char buffer[64];
    const auto format = scientific ? std::chars_format::scientific : std::chars_format::fixed;
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format, decimals);
    if (error != std::errc{}) return "?";
    // A negative zero, rounded or not, is written without its sign.
    if (buffer[0] == '-' && std::string_view(buffer + 1, end).find_first_of("123456789") == std::string_view::npos)
        return std::string(buffer + 1, end);
    return std::string(buffer, end);
}

// ---------------------------------------------------------------------------
// Axes.

// The values of an axis, with its ticks: major ones, labelled, every `step`;
// minor ones every `minorStep` (0: none).
struct Axis {
    double lo = 0, hi = 1;
    double step = 1, minorStep = 0;
    int decimals = 0;
    bool scientific = false;

    double fraction(double v) const { return (v - lo) / (hi - lo); }
    std::string label(double v) const { return tickLabel(v, decimals, scientific); }
};

// An axis from lo to hi (lo < hi) with about `ticks` major ticks at round
// values: 1, 2 or 5 times a power of ten apart, and whole numbers apart at
// least when `whole`.
Axis makeAxis(double lo, double hi, double ticks, bool whole) {
    Axis axis{lo, hi};
    const double raw = (hi - lo) / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double ratio = raw / magnitude;
    const double mantissa = ratio < 1.5 ? 1 : ratio < 3 ? 2 : ratio < 7 ? 5 : 10;
    axis.step = mantissa * magnitude;
    axis.minorStep = axis.step / (mantissa == 2 ? 4 : 5);
    if (whole) {
        axis.step = std::max(axis.step, 1.0);
        if (axis.minorStep < 1) axis.minorStep = axis.step > 1 ? 1 : 0;
    }
    axis.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(axis.step) + 1e-9)));
    const double largest = std::max(std::fabs(lo), std::fabs(hi));
    if (axis.decimals > 6 || largest >= 1e7) {
        axis.scientific = true;
        const double digits = std::floor(std::log10(largest)) - std::floor(std::log10(axis.step) + 1e-9);
        axis.decimals = static_cast<int>(std::clamp(digits, 0.0, 6.0));
    }
    return axis;
}

// The multiples of `step` from lo to hi; none when there would be too many
// to draw (a step lost in the precision of the bounds).
std::vector<double> multiples(double lo, double hi, double step) {
    std::vector<double> values;
    if (!(step > 0)) return values;
    const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
    if (!(last - first < 200)) return values;
    for (double k = first; k <= last; ++k) values.push_back(k * step);
    return values;
}

// The finite values seen, from lo to hi; lo > hi while there are none.
struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (!drawable(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    static bool drawable(double v) { return std::isfinite(v) && std::fabs(v) <= 1e300; }
};

// The value axis for a range: widened a little beyond the values, and made
// wide enough for a frame when they are all equal or missing.
Axis valueAxis(Range range, double ticks) {
    if (!(range.lo <= range.hi)) {
        range.lo = 0;
        range.hi = 1;
    } else if (range.lo == range.hi) {
        const double half = range.lo == 0 ? 1 : std::fabs(range.lo) * 0.05;
        range.lo -= half;
        range.hi += half;
    }
    const double margin = (range.hi - range.lo) * 0.04;
    return makeAxis(range.lo - margin, range.hi + margin, ticks, false);
}

// The year axis from the first to the last year; one year is shown with a
// year on each side.
Axis yearAxis(int firstYear, std::size_t n) {
    double lo = firstYear, hi = lo + static_cast<double>(n - 1);
    if (n == 1) {
        lo -= 1;
        hi += 1;
    }
    return makeAxis(lo, hi, 9, true);
}

// ---------------------------------------------------------------------------
// Drawing.

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

// A horizontal dashed line across the panel at value v.
void drawReference(const Canvas& canvas, const Panel& p, double v) {
    cairo_t* cr = canvas.cr;
    const double dashes[] = {6 * pixel, 4 * pixel};
    canvas.colour(referenceGrey);
    cairo_set_line_width(cr, pixel);
    cairo_set_dash(cr, dashes, 2, 0);
    const double y = canvas.crisp(p.py(v));
    canvas.line(p.left, y, p.right, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

// The frame, the ticks inside it on all four sides, the tick labels on the
// left and, when `yearLabels`, below.
void drawFrame(const Canvas& canvas, const Panel& p, bool yearLabels) {
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
    for (const auto& [step, length] : {std::pair{p.y.step, majorTick}, std::pair{p.y.minorStep, minorTick}}) {
        for (double v : multiples(p.y.lo, p.y.hi, step)) {
            const double y = canvas.crisp(p.py(v));
            canvas.line(left, y, left + length, y);
            canvas.line(right, y, right - length, y);
        }
    }
    cairo_stroke(cr);

    canvas.fontSize(tickSize);
    const double half = digitHeight(canvas) / 2;
    for (double v : multiples(p.y.lo, p.y.hi, p.y.step)) canvas.text(p.y.label(v), p.left - 5, p.py(v) + half, 1);
    if (yearLabels)
        for (double v : multiples(p.x.lo, p.x.hi, p.x.step))
            canvas.text(p.x.label(v), p.px(v), p.bottom + 6 + 2 * half, 0.5);
}

// The widest tick label of a y axis.
double widestLabel(const Canvas& canvas, const Axis& axis) {
    canvas.fontSize(tickSize);
    double widest = 0;
    for (double v : multiples(axis.lo, axis.hi, axis.step)) widest = std::max(widest, canvas.width(axis.label(v)));
    return widest;
}

// A y axis label turned upright, centred on the panel, its baseline on x.
void drawYLabel(const Canvas& canvas, const Panel& p, const std::string& label, double x) {
    cairo_t* cr = canvas.cr;
    canvas.fontSize(labelSize);
    cairo_save(cr);
    cairo_translate(cr, x, (p.top + p.bottom) / 2);
    cairo_rotate(cr, -std::numbers::pi / 2);
    canvas.text(label, 0, 0, 0.5);
    cairo_restore(cr);
}

// A line through the drawable values, value i at year firstYear + i,
// clipped to the panel. A value alone between gaps is a small square.
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

// Sample depths as steps a year wide around each year.
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

struct LegendEntry {
    std::string text;
    Colour colour;
    double width;
};

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

// Two panels over the same years, the upper one a `share` of the height,
// and the baseline of the upright y axis labels left of them.
struct Page {
    Panel upper, lower;
    double labelX;
};

// The panels start at panelLeft, or further right when the tick labels
// are wide, to leave room for the axis labels left of them.
Page layOut(const Canvas& canvas, double share, const Axis& years, const Axis& upper, const Axis& lower) {
    const double widest = std::max(widestLabel(canvas, upper), widestLabel(canvas, lower));
    const double labelX = std::max(labelSize + 2, panelLeft - 5 - widest - 8);
    const double left = labelX + 8 + widest + 5;
    const double split = topTop + (lowerBottom - topTop - panelGap) * share;
    return {Panel{left, topTop, panelRight, split, years, upper},
            Panel{left, split + panelGap, panelRight, lowerBottom, years, lower}, labelX};
}

// The page around the lines: grid, frames, tick labels, axis labels, title
// and legend. `lines` draws between the grid and the frames.
template <typename Lines>
void drawPage(const Canvas& canvas, const Page& page, const std::string& upperLabel, const std::string& lowerLabel,
              const std::string& title, const std::vector<LegendEntry>& legend, Lines lines) {
    cairo_t* cr = canvas.cr;
    canvas.colour(white);
    cairo_paint(cr);
    drawGrid(canvas, page.upper);
    drawGrid(canvas, page.lower);
    lines();
    drawFrame(canvas, page.upper, false);
    drawFrame(canvas, page.lower, true);
    drawYLabel(canvas, page.upper, upperLabel, page.labelX);
    drawYLabel(canvas, page.lower, lowerLabel, page.labelX);
    canvas.fontSize(labelSize);
    canvas.text("Year", (page.lower.left + page.lower.right) / 2, lowerBottom + 36, 0.5);
    drawTitle(canvas, title, (page.upper.left + page.upper.right) / 2);
    drawLegend(canvas, legend);
}

// The index's label: the caller's, or the kind's name.
std::string labelOf(IndexKind kind, std::string_view given) {
    return given.empty() ? std::string(numeric::indexName(kind)) + " index" : std::string(given);
}

double baseline(IndexKind kind) { return kind == IndexKind::ratio ? 1 : 0; }

void drawSeries(const Canvas& canvas, const SeriesPicture& s) {
    Range top, bottom;
    for (std::size_t i = 0; i < s.series.size(); ++i) {
        top.add(static_cast<double>(s.series[i]));
        top.add(static_cast<double>(s.spline[i]));
        bottom.add(static_cast<double>(s.index[i]));
    }
    bottom.add(baseline(s.indexKind));
    const Page page =
        layOut(canvas, 0.58, yearAxis(s.firstYear, s.series.size()), valueAxis(top, 6), valueAxis(bottom, 4));
    const Panel &upper = page.upper, &lower = page.lower;
    const std::string indexLabel = displayText(labelOf(s.indexKind, s.indexLabel));
    const double year = s.firstYear;
    drawPage(canvas, page, displayText(s.valueLabel), indexLabel, displayText(s.title),
             {{"series", red, pixel}, {"spline", blue, 2 * pixel}, {indexLabel, black, pixel}}, [&] {
                 drawReference(canvas, lower, baseline(s.indexKind));
                 drawValues(canvas, upper, year, s.series, red, pixel);
                 drawValues(canvas, lower, year, s.index, black, pixel);
                 drawValues(canvas, upper, year, s.spline, blue, 2 * pixel);
             });
}

void drawChronology(const Canvas& canvas, const ChronologyPicture& c) {
    Range top;
    for (double v : c.values) top.add(v);
    top.add(baseline(c.indexKind));
    int deepest = 1;
    for (int d : c.depths) deepest = std::max(deepest, d);
    const Axis depth = makeAxis(0, deepest * 1.08, 4, true);
    const Page page = layOut(canvas, 0.66, yearAxis(c.firstYear, c.values.size()), valueAxis(top, 6), depth);
    const Panel &upper = page.upper, &lower = page.lower;
    const std::string label = displayText(labelOf(c.indexKind, c.indexLabel));
    const double year = c.firstYear;
    drawPage(canvas, page, label, "sample depth", displayText(c.title),
             {{"chronology", black, pixel}, {"sample depth", blue, pixel}}, [&] {
                 drawReference(canvas, upper, baseline(c.indexKind));
                 drawValues(canvas, upper, year, c.values, black, pixel);
                 drawDepths(canvas, lower, year, c.depths);
             });
}

// ---------------------------------------------------------------------------
// Surfaces and file bytes.

// Where cairo's SVG and PDF surfaces write.
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    } catch (...) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

// libpng's errors: the message is kept and the encoder left by longjmp.
struct PngJob {
    std::string* out;
    std::jmp_buf jump;
    char message[128];
};

[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message != nullptr ? message : "?");
    std::longjmp(job->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    bool stored = true;
    try {
        static_cast<PngJob*>(png_get_io_ptr(png))->out->append(reinterpret_cast<const char*>(data), length);
    } catch (...) {
        stored = false;
    }
    if (!stored) png_error(png, "out of memory");
}

void pngFlush(png_structp) {}

// The colours of an image surface (RGB24) as a palette and one palette
// index a pixel; false when there are more than 256 colours. Pixels mostly
// repeat their left neighbour, and the others are looked up in a small hash
// table. The palette is in the order the colours are first seen.
bool toPalette(const unsigned char* data, int width, int height, int stride, std::vector<png_color>& palette,
               std::vector<unsigned char>& indices) {
    constexpr std::uint32_t none = 0xFFFFFFFF;  // no colour: the keys are 0x00RRGGBB
    constexpr unsigned bits = 10, mask = (1u << bits) - 1;
    std::array<std::uint32_t, 1u << bits> keys;
    std::array<unsigned char, 1u << bits> values{};
    keys.fill(none);
    indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // The previous pixel as the surface holds it, unused byte and all; at
    // first unlike the first pixel, which is then looked up.
    std::uint32_t last;
    std::memcpy(&last, data, sizeof last);
    last = ~last;
    unsigned char lastIndex = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        unsigned char* out = indices.data() + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            std::uint32_t word;
            std::memcpy(&word, row + 4 * x, sizeof word);
            if (word != last) {
                const std::uint32_t key = word & 0xFFFFFF;
                unsigned slot = (key * 2654435761u) >> (32 - bits);
                while (keys[slot] != key && keys[slot] != none) slot = (slot + 1) & mask;
                if (keys[slot] == none) {
                    if (palette.size() == 256) return false;
                    keys[slot] = key;
                    values[slot] = static_cast<unsigned char>(palette.size());
                    palette.push_back(png_color{static_cast<png_byte>(key >> 16), static_cast<png_byte>(key >> 8),
                                                static_cast<png_byte>(key)});
                }
                last = word;
                lastIndex = values[slot];
            }
            out[x] = lastIndex;
        }
    }
    return true;
}

// The image surface (RGB24) as a PNG, compressed for speed: 8-bit palette
// indices when the picture has no more than 256 colours (lines in plain
// colours, grey shades of the text on white), else 8-bit RGB. Returns what
// failed, or nothing.
std::string encodePng(cairo_surface_t* image, std::string& out) {
    const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::vector<png_color> palette;
    std::vector<unsigned char> indices;
    const bool indexed = toPalette(data, width, height, stride, palette, indices);

    PngJob job{&out, {}, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, pngError, pngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "out of memory";
    }
    if (setjmp(job.jump) != 0) {
        png_destroy_write_struct(&png, &info);
        return job.message;
    }
    png_set_write_fn(png, &job, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    // Filtering gains little on palette indices; zlib's level 3 is as fast
    // as level 1 here, and a third smaller.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    if (indexed) {
        for (int y = 0; y < height; ++y) png_write_row(png, indices.data() + static_cast<std::ptrdiff_t>(y) * width);
    } else {
        // A pixel of cairo's is one native 32-bit word 0xXXRRGGBB; libpng
        // drops the unused byte and puts the others in order.
        if constexpr (std::endian::native == std::endian::little) {
            png_set_filler(png, 0, PNG_FILLER_AFTER);
            png_set_bgr(png);
        } else {
            png_set_filler(png, 0, PNG_FILLER_BEFORE);
        }
        for (int y = 0; y < height; ++y) png_write_row(png, data + static_cast<std::ptrdiff_t>(y) * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

// cairo 1.16 writes the time of the run as the PDF's creation date. It is
// set to a fixed date instead, which is then blanked out: no date is better
// than a false one. Blanks keep the offsets in the cross-reference table.
void dropCreationDate(std::string& pdf) {
    constexpr std::string_view written = "/CreationDate (20000101000000Z)";
    const auto at = pdf.rfind(written);
    if (at != std::string::npos) pdf.replace(at, written.size(), written.size(), ' ');
}

// cairo 1.16 names the SVG's page group after a count of all the surfaces
// made in the process ("surface17"); nothing refers to it, and it gets a
// fixed name.
void fixSurfaceName(std::string& svg) {
    constexpr std::string_view group = "<g id=\"surface";
    const auto at = svg.find(group);
    if (at == std::string::npos) return;
    const auto digits = at + group.size(), end = svg.find('"', digits);
    if (end != std::string::npos) svg.replace(digits, end - digits, "1");
}

// One font face for the whole process: cairo keeps the fonts made from it,
// at each size, so that fontconfig is asked once and not for every picture.
cairo_font_face_t* sansFont() {
    static cairo_font_face_t* const face =
        cairo_toy_font_face_create("DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    return face;
}

struct CairoFree {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

template <typename Draw>
RenderedPicture render(PlotFormat format, Draw draw) {
    RenderedPicture result;  // before the surface, which writes into it until destroyed
    const bool png = format == PlotFormat::png;
    // The PNG's pixels, left uninitialized: the page is painted white first.
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, pngWidth);
    std::unique_ptr<unsigned char[]> pixels;
    std::unique_ptr<cairo_surface_t, CairoFree> surface;
    switch (format) {
        case PlotFormat::png:
            pixels.reset(new unsigned char[static_cast<std::size_t>(stride) * pngHeight]);
            surface.reset(
                cairo_image_surface_create_for_data(pixels.get(), CAIRO_FORMAT_RGB24, pngWidth, pngHeight, stride));
            break;
        case PlotFormat::svg:
            surface.reset(cairo_svg_surface_create_for_stream(appendBytes, &result.bytes, pageWidth, pageHeight));
            break;
        case PlotFormat::pdf:
            surface.reset(cairo_pdf_surface_create_for_stream(appendBytes, &result.bytes, pageWidth, pageHeight));
            cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "2000-01-01T00:00:00Z");
            break;
    }
    cairo_status_t status;
    {
        const std::unique_ptr<cairo_t, CairoFree> cr(cairo_create(surface.get()));
        // Fixed font options, whatever fontconfig says: grey anti-aliasing
        // (no coloured fringes), and on the PNG only, where lines are not
        // anti-aliased, hinting to the pixel grid.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, png ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, png ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
        cairo_set_font_options(cr.get(), options);
        cairo_font_options_destroy(options);
        if (png) {
            cairo_scale(cr.get(), pngScale, pngScale);
            cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
        }
        draw(Canvas{cr.get(), sansFont(), png});
        status = cairo_status(cr.get());
    }
    // An image surface keeps its pixels until destroyed; finishing the others
    // writes the rest of the file.
    if (png)
        cairo_surface_flush(surface.get());
    else
        cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
    if (status != CAIRO_STATUS_SUCCESS)
        result.error = std::string("cairo: ") + cairo_status_to_string(status);
    else if (png)
        result.error = encodePng(surface.get(), result.bytes);
    else if (format == PlotFormat::pdf)
        dropCreationDate(result.bytes);
    else
        fixSurfaceName(result.bytes);
    if (!result.error.empty()) result.bytes.clear();
    return result;
}

// Runs `make`, turning a failed allocation into an error.
template <typename Make>
RenderedPicture guarded(Make make) {
    try {
        return make();
    } catch (const std::bad_alloc&) {
        RenderedPicture failed;
        failed.error = "out of memory";  // short enough to need no allocation
        return failed;
    }
}

RenderedPicture failure(std::string message) {
    RenderedPicture failed;
    failed.error = std::move(message);
    return failed;
}

}  // namespace

RenderedPicture renderSeriesPicture(const SeriesPicture& picture, PlotFormat format) {
    return guarded([&] {
        const std::size_t n = picture.series.size();
        if (n == 0) return failure("no values to plot");
        if (picture.spline.size() != n || picture.index.size() != n)
            return failure("series, spline and index differ in length (" + std::to_string(n) + ", " +
                           std::to_string(picture.spline.size()) + ", " + std::to_string(picture.index.size()) +
                           " values)");
        return render(format, [&](const Canvas& canvas) { drawSeries(canvas, picture); });
    });
}

RenderedPicture renderChronologyPicture(const ChronologyPicture& picture, PlotFormat format) {
    return guarded([&] {
        const std::size_t n = picture.values.size();
        if (n == 0) return failure("no values to plot");
        if (picture.depths.size() != n)
            return failure("chronology and sample depth differ in length (" + std::to_string(n) + ", " +
                           std::to_string(picture.depths.size()) + " values)");
        return render(format, [&](const Canvas& canvas) { drawChronology(canvas, picture); });
    });
}

}  // namespace detrend::plot

// The text goes through fontconfig, which keeps its font set for the rest of
// the process: allocated once, on the first picture, however many follow,
// but not reachable from anything LeakSanitizer sees. Read by LeakSanitizer
// only, when it is linked in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// Without a report of the suppression used, standard error stays as the
// program wrote it.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
