// Writes one plot file from rows "year series spline residual" on standard
// input, as detrend's listing shows them:
//   render_plot_file PATH FORMAT NAME CUTOFF < rows
// The rows must be consecutive years. Prints writePlotFile's message and
// exits with 1 when it fails.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "plot/plotdata.hpp"
#include "plot/plotfile.hpp"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: render_plot_file PATH png|svg|pdf NAME CUTOFF < rows\n";
        return 2;
    }
    const auto format = detrend::plot::parsePlotFormat(argv[2]);
    if (!format) {
        std::cerr << "render_plot_file: unknown format " << argv[2] << "\n";
        return 2;
    }
    std::vector<float> series, spline, residual;
    int firstYear = 0;
    for (float year, value, smooth, rest; std::cin >> year >> value >> smooth >> rest;) {
        if (series.empty()) firstYear = static_cast<int>(year);
        series.push_back(value);
        spline.push_back(smooth);
        residual.push_back(rest);
    }
    const int n = static_cast<int>(series.size());
    detrend::plot::PlotData data(n);
    detrend::plot::buildPlotData(series, spline, residual, n, firstYear, 0, data);
    const std::string error =
        detrend::plot::writePlotFile(argv[1], *format, data, residual, argv[3], std::atoi(argv[4]));
    if (!error.empty()) {
        std::cerr << "render_plot_file: " << error << "\n";
        return 1;
    }
    return 0;
}
