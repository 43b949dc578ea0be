// The page both pictures have: two panels over the same years, their axis
// labels, the title above and the legend right of them. A picture draws its
// lines between drawUnderLines and drawOverLines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "numeric/index.hpp"
#include "plot/files/canvas.hpp"

namespace detrend::plot::files {

// Two panels over the same years, the upper one a `share` of the height,
// and the baseline of the upright y axis labels left of them.
struct Page {
    Panel upper, lower;
    double labelX;
};

// The panels start at panelLeft, or further right when the tick labels
// are wide, to leave room for the axis labels left of them.
Page layOut(const Canvas& canvas, double share, const Axis& years, const Axis& upper, const Axis& lower);

struct LegendEntry {
    std::string text;
    Colour colour;
    double width;
};

// What lies under the lines: the white page and the panels' grids.
void drawUnderLines(const Canvas& canvas, const Page& page);

// What lies over the lines: frames, tick labels, axis labels, title and
// legend.
void drawOverLines(const Canvas& canvas, const Page& page, const std::string& upperLabel, const std::string& lowerLabel,
                   const std::string& title, const std::vector<LegendEntry>& legend);

// The index's label: the caller's, or the kind's name ("ratio index").
std::string indexLabel(numeric::IndexKind kind, std::string_view given);

// The index's reference line: 1 for a ratio, 0 for a difference.
inline double baseline(numeric::IndexKind kind) { return kind == numeric::IndexKind::ratio ? 1 : 0; }

}  // namespace detrend::plot::files
