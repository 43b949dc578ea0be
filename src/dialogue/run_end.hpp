// How the dialogue ends early. Whoever finds the reason throws RunEnd; the
// dialogue's caller catches it once, after every open file has been closed
// with what was written to it, writes the report on standard error and exits
// with the status.
#pragma once

#include <string>
#include <utility>

#include "base/result.hpp"

namespace detrend::dialogue {

struct RunEnd {
    int status;
    std::string report;  // empty: nothing more to say on standard error
};

// Ends the run with status 1 and the given report.
[[noreturn]] inline void fail(std::string report) { throw RunEnd{1, std::move(report)}; }

// Ends the run with status 1 when `status` is a failure.
inline void check(const base::Status& status) {
    if (!status.ok()) fail(status.why());
}

}  // namespace detrend::dialogue
