// The free-layout table (a year column, then one column per series; names on
// top, one row per year) read for batch runs: no fixed capacities, and a
// series that cannot be used is marked rather than ending the run.
#pragma once

#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

struct TableOptions {
    int columns = 0;  // year column included; 0: the number of names on the first line
    double missing = -999.0;  // the missing-value flag
};

// Reads the names and rows with the free-layout reader the dialogue uses (see
// free_layout.hpp). An entry is missing when it equals `missing`, or
// `missing` rounded to single precision (the dialogue's flag), or is NaN.
// Years are the whole parts of the year column and must rise by one from row
// to row. Each series runs from its first to its last value, inner missing
// values kept as NaN; one without values gets the problem "it has no values".
// With the columns given, items beyond them are ignored and counted in
// itemsIgnored. The Diagnostic when the table cannot be read.
base::Result<SeriesSet> readTable(std::string_view bytes, const TableOptions& options);

// The number of items on the first non-empty line, read as names (blanks or
// one comma between items, quoted names, "!" comment, "/" end).
int countFirstLineNames(std::string_view bytes);

}  // namespace detrend::formats
