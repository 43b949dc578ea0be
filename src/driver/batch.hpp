// The batch command line: detrends every series of every input file named on
// the command line and writes listings, CSV indices and plot files.
#pragma once

#include <string>
#include <vector>

namespace detrend {

// Runs the command line `arguments` (after the program name) and returns the
// exit status: 0 when every series of every input was detrended, 1 when an
// input could not be read or written or a series was skipped, 2 for a usage
// error. Messages go to standard error.
int runBatch(const std::vector<std::string>& arguments);

}  // namespace detrend
