// How the dialogue ends early: every step that can end the run returns a
// base::Status (or a Result), and a failed one travels up to the driver,
// which closes what is open and writes its text, the report, on standard
// error (none when the text is empty) and exits with status 1.
#pragma once

#include <string>
#include <utility>

#include "base/result.hpp"

namespace detrend::dialogue {

// The end of the run with `report` on standard error ("": nothing to say).
inline base::Diagnostic endRun(std::string report = {}) { return base::failure(std::move(report)); }

}  // namespace detrend::dialogue
