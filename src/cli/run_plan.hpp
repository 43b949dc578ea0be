// The plan of a batch run made from its options: every output of every
// input named once, before any input is read.
#pragma once

#include "cli/options.hpp"
#include "pipeline/run_plan.hpp"

namespace detrend::cli {

// The plan of `options` (already checked by parseCommandLine): with -d, each
// input's files are DIR/BASE + the kind's suffix; otherwise the files named,
// the listing on standard output when nothing else is named.
pipeline::RunPlan planRun(const Options& options);

}  // namespace detrend::cli
