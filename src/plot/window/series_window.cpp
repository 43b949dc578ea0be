#include "plot/window/series_window.hpp"

#include <X11/Xlib.h>
#include <plplot.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace detrend::plot {
namespace {

// The interactive window device of PLplot on X11: it keeps the page open
// until the right mouse button is pressed in it or the window is closed.
constexpr const char* windowDevice = "xwin";

// PLplot takes its own floating type; the single-precision data widen exactly.
std::vector<PLFLT>& widened(std::vector<PLFLT>& out, const std::vector<float>& in, int n) {
    out.assign(in.begin(), in.begin() + n);
    return out;
}

// Opens the display named by DISPLAY. A server that has just lost its last
// client refuses connections while it resets, for a moment: a named display
// is tried for about a second before it counts as not there.
Display* openDisplay() {
    const char* name = std::getenv("DISPLAY");
    const int tries = name != nullptr && *name != '\0' ? 20 : 1;
    for (int attempt = 1;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        if (attempt == tries) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

bool displayAvailable() {
    static Display* const held = openDisplay();  // closed when the process ends
    return held != nullptr;
}

void showSeriesWindow(std::span<const float> series, std::span<const float> spline, std::span<const float> residual,
                      int n, int firstYear, std::string_view name, PlotData& data) {
    buildPlotData(series, spline, residual, n, firstYear, data);
    static std::vector<PLFLT> x, y;  // grown once to the plot data's capacity
    x.reserve(data.years.size());
    y.reserve(data.years.size());
    widened(x, data.years, n);

    plsdev(windowDevice);
    // The window manager shows what the window is and how to go on.
    const std::string windowTitle =
        "detrend: " + std::string(plotTitle(name)) + " - right-click or close for the next series";
    plsetopt("plwindow", windowTitle.c_str());
    plscol0(0, 255, 255, 255);
    plscol0(15, 0, 0, 0);
    plscolbg(255, 255, 255);
    plinit();
    plcol0(15);
    plssub(1, 1);
    plenv(data.xmin, data.xmax, data.ymin, data.ymax, 0, 2);
    const std::string title(plotTitle(name));
    pllab("X", "Y", title.c_str());
    pllsty(1);

    plwidth(1);
    plcol0(1);
    plline(n, x.data(), widened(y, data.series, n).data());

    plwidth(1);
    plcol0(15);
    y.assign(residual.begin(), residual.begin() + n);
    plline(n, x.data(), y.data());

    plwidth(2);
    plcol0(9);
    plline(n, x.data(), widened(y, data.spline, n).data());

    // plenv refuses equal bounds (a series of one value), and then nothing
    // is drawn; this PLplot would still wait for the user at plend, so the
    // wait is turned off for such a page.
    const bool boxRefused = data.xmin == data.xmax || data.ymin == data.ymax;
    plspause(boxRefused ? 0 : 1);
    plend();
}

}  // namespace detrend::plot
