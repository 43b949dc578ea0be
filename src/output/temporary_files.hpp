// The temporary files of outputs still being written, and the end of a run
// by SIGINT or SIGTERM: the temporaries are removed, nothing more is written,
// and outputs completed before stay.
#pragma once

#include <string>

#include "output/messages.hpp"

namespace detrend::output::temporaries {

// Registers `path` before the file is created. False when the run is being
// interrupted: the file must not be created then.
bool add(const std::string& path);

// Forgets `path` once the file is renamed into place or removed.
void remove(const std::string& path);

// Renames the registered temporary `path` over `target` and forgets it, in
// one step an interruption cannot split; 0, or the rename's errno.
int commit(const std::string& path, const std::string& target);

// The input whose outputs are being made, for the line an interruption
// writes (its outputs committed so far are named there).
void beginInput(const std::string& label);
void endInput();

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it
// starts later, and starts a thread that waits for them. On either, that
// thread removes every registered temporary, writes one error line to
// `messages` (the input it was on, and which of its outputs were replaced,
// if any) and ends the process with status 128 + the signal's number. Call
// it before any other thread starts. Without the memory for the thread the
// signals keep their default action.
void watchInterruptions(Messages& messages);

}  // namespace detrend::output::temporaries
