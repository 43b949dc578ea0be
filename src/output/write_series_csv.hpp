// Series (ring widths or any other annual values) as a wide CSV table, the
// layout of the indices' CSV (write_csv.hpp) for doubles: a header
// "year,NAME1,...", then one row per year from the earliest to the latest
// year with a value in any series, lines ended by LF.
#pragma once

#include <string>
#include <vector>

#include "formats/series_set.hpp"

namespace detrend::output {

// The CSV text of `series` in their order. Values are written in the
// shortest form that reads back to the same double, NA where a series has
// no value (NaN, or a year outside it), Inf and -Inf for infinities; names
// are quoted as csvField does. Without a value in any series, the header
// alone.
std::string seriesCsv(const std::vector<formats::Series>& series);

}  // namespace detrend::output
