// The indices of one input as a wide CSV table: a header "year,NAME1,...",
// then one row per year from the earliest to the latest year of any series.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace detrend::output {

using base::Status;

struct IndexColumn {
    std::string name;
    long long firstYear = 0;
    std::vector<float> values;  // one per year from firstYear; NaN: written NA
};

// The CSV text, lines ended by LF, handed to `put` in order in pieces of
// about 1 MB, formatted on the threads of the current oneTBB arena; the first
// failure of `put` ends the writing and is returned. Values are written in the shortest form that reads back to
// the same single-precision number; a name holding a comma, a quote, a line
// end or outer blanks is quoted, quotes doubled.
Status writeWideCsv(const std::vector<IndexColumn>& columns, const std::function<Status(std::string_view)>& put);

// The whole CSV text at once.
std::string wideCsv(const std::vector<IndexColumn>& columns);

// `name` as one CSV field.
std::string csvField(std::string_view name);

}  // namespace detrend::output
