// The page the series and chronology pictures have: panels stacked over the
// same years, their axis labels, the title above and the legend right of
// them. A picture draws its lines between drawUnderLines and drawOverLines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "numeric/index.hpp"
#include "plot/files/canvas.hpp"

namespace detrend::plot::files {

// Panels from the top down over the same years, and the baseline of the
// upright y axis labels left of them.
struct Page {
    std::vector<Panel> panels;
    double labelX;
};

// A panel's value axis and its share of the height the panels have.
struct Stacked {
    Axis axis;
    double share;
};

// The panels start at panelLeft, or further right when the tick labels
// are wide, to leave room for the axis labels left of them; panelGap apart.
Page layOut(const Canvas& canvas, const Axis& years, const std::vector<Stacked>& stack);

struct LegendEntry {
    enum class Sample { line, dashed, swatch };
    std::string text;
    Colour colour;
    double width;  // of a line
    Sample sample = Sample::line;
};

// The white page.
void drawPaper(const Canvas& canvas);

// What lies under the lines: the white page and the panels' grids.
void drawUnderLines(const Canvas& canvas, const Page& page);

// What lies over the lines: frames, tick labels (the years under the lowest
// panel), the axis labels (one a panel), title and legend.
void drawOverLines(const Canvas& canvas, const Page& page, const std::vector<std::string>& labels,
                   const std::string& title, const std::vector<LegendEntry>& legend);

// The index's label: the caller's, or the kind's name ("ratio index").
std::string indexLabel(numeric::IndexKind kind, std::string_view given);

// The index's reference line: 1 for a ratio, 0 for a difference.
inline double baseline(numeric::IndexKind kind) { return kind == numeric::IndexKind::ratio ? 1 : 0; }

}  // namespace detrend::plot::files
