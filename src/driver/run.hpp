// The program driver: the whole dialogue of one run and the loop over the
// series of the table.
#pragma once

#include <vector>

#include "driver/console.hpp"
#include "plot/plotdata.hpp"
#include "driver/table.hpp"

namespace detrend {

// Every array of a run, allocated once at start at full capacity and
// zero-filled, reused for every series.
struct Workspace {
    static constexpr int capacity = 10000;  // values per series

    SeriesTable table;
    std::vector<float> work, extended, smoothed, residual;
    std::vector<double> coefficients, forwardErrors, backwardErrors, previousCoefficients;
    plot::PlotData plotData;

    Workspace();
};

// Runs the dialogue on `console` from the first prompt to the closing lines.
// Returns the exit status of a run that ends normally (0); any other ending
// is thrown as RunEnd.
int run(Console& console, Workspace& workspace);

}  // namespace detrend
