// How a run ends early. Whoever finds the reason throws RunEnd; the program's
// main routine catches it once, after every open file has been closed with what
// was written to it, writes the report on standard error and exits with the
// status.
#pragma once

#include <string>
#include <utility>

namespace detrend {

struct RunEnd {
    int status;
    std::string report;  // empty: nothing more to say on standard error
};

// Ends the run with status 1 and the given report.
[[noreturn]] inline void fail(std::string report) { throw RunEnd{1, std::move(report)}; }

}  // namespace detrend
