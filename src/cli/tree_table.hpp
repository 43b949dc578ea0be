// The table of trees and cores that --ids FILE names: a CSV file with the
// header series,tree,core and one row per series.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "pipeline/run_plan.hpp"

namespace detrend::cli {

// The rows of the table's text by series name. Cells may be quoted as in
// CSV ("..." with "" for a quote); blank lines and a leading byte order mark
// are skipped. A header other than series,tree,core, a row of another number
// of cells, an empty series or tree, a series named twice, or a tree and
// core given to two series is an error at its line, naming the earlier one.
base::Result<std::map<std::string, pipeline::TreeAndCore>> parseTreeTable(std::string_view text);

}  // namespace detrend::cli
