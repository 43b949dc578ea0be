// The results listing: one block per series (an empty line, the series
// heading, the column heading, one line per year), every line ended by a
// carriage return and a line feed. It is written through an OutputFile.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "formats/series_name.hpp"

namespace detrend::output {

// Formats one series' block into `out` (replacing what it held): the empty
// line, " Input series is: " with the name as a 20-character field, the
// column heading, then for each value i the year firstYear + i in 5 columns
// and series, spline and residual in 8 columns with 3 decimals each.
void formatListingBlock(std::string& out, const formats::SeriesName& name, long long firstYear,
                        std::span<const float> series, std::span<const float> spline, std::span<const float> residual);

}  // namespace detrend::output
