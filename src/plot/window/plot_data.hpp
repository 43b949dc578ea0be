// What one series' plot window shows: pure data, no library calls.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace detrend::plot {

// The plot of one series in single precision: years, series and spline, the
// residuals, and the bounds.
struct PlotData {
    explicit PlotData(int capacity) : years(capacity), series(capacity), spline(capacity) {}
    std::vector<float> years, series, spline;  // entries 0..n-1 in use
    int n = 0;
    float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

// Fills `data` for a series of n values whose first year is firstYear:
// series[0..n), spline[0..n) and residual[0..n) are its values, its spline
// and its residuals. The y bounds start at 100000 and -100000 and take in
// series, spline and residual, in that order, value by value; NaN values
// change no bound.
//
// Requires: n <= data capacity, and the spans at least n long.
void buildPlotData(std::span<const float> series, std::span<const float> spline, std::span<const float> residual, int n,
                   int firstYear, PlotData& data);

// The plot title: the series name without its trailing blanks.
std::string_view plotTitle(std::string_view name);

}  // namespace detrend::plot
