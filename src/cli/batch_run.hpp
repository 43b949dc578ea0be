// The batch command line: plans, for every input named, what is read and
// where its results go, and hands the work to the readers and the pipeline.
#pragma once

#include <string>
#include <vector>

#include "output/messages.hpp"

namespace detrend::cli {

// Runs the command line `arguments` (after the program name) and returns the
// exit status: 0 when every series of every input was detrended, 1 when an
// input could not be read or written or a series was skipped, 2 for a usage
// error. Messages go to `messages`.
int runCommandLine(const std::vector<std::string>& arguments, output::Messages& messages);

}  // namespace detrend::cli
