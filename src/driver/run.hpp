// The program driver: the whole dialogue of one run and the loop over the
// series of the table.
#pragma once

#include "driver/console.hpp"
#include "driver/table.hpp"

namespace detrend {

// What a run keeps: the table, taken when it is read, and how many threads
// detrend its series (0: one per core; the results never depend on it).
struct Workspace {
    SeriesTable table;
    int workers = 0;
};

// The dialogue's questions about the table's layout: the number of columns
// (year column included) and the missing-value flag.
void askTableLayout(Console& console, int& columns, float& flag);

// Runs the dialogue on `console` from the first prompt to the closing lines.
// Returns the exit status of a run that reaches them: 0, or 1 when a series
// got no spline (each such series is named on the notes stream). Any other
// ending is thrown as RunEnd.
int run(Console& console, Workspace& workspace);

}  // namespace detrend
