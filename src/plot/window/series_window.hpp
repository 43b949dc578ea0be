// The series plot in a PLplot window (plot files are drawn by
// plot/files/picture.hpp), and the check whether a window can be shown at all.
#pragma once

#include <span>
#include <string_view>

#include "plot/window/plot_data.hpp"

namespace detrend::plot {

// True when the X display named by DISPLAY can be opened; PLplot would
// otherwise end the whole process. The connection stays open for the rest of
// the run: PLplot opens and closes a connection of its own for every window,
// and an X server without other clients resets itself whenever its last
// client leaves, refusing the connection of the next window meanwhile.
bool displayAvailable();

// Shows one series in a new window titled "detrend: NAME - right-click or
// close for the next series": white background, black frame with grid,
// axis labels "X" and "Y" and the name (trailing blanks removed) as title;
// the series as a thin red line, the residuals thin black, the spline blue
// of double width drawn last. Returns when the user has dismissed the window
// with the right mouse button or by closing it.
//
// The arguments are those of buildPlotData; `name` is the 20-character name.
// The plot data arrays are built in `scratch`, whose capacity must be at
// least n.
void showSeriesWindow(std::span<const float> series, std::span<const float> spline, std::span<const float> residual,
                      int n, int firstYear, std::string_view name, PlotData& scratch);

}  // namespace detrend::plot
