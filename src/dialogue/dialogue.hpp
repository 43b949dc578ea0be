// The dialogue: the five questions, the Series Read list, each series' filter
// on the console, its block in the listing and its plot window, and the
// closing lines.
#pragma once

#include <string>

#include "dialogue/console.hpp"
#include "dialogue/series_table.hpp"
#include "output/messages.hpp"

namespace detrend::dialogue {

// What a run keeps: the table, taken when it is read, and how many threads
// detrend its series (0: one per core; the results never depend on it).
struct Workspace {
    SeriesTable table;
    int workers = 0;
    // After a table that could not be read: the command line that would
    // read the file, for a line after the report; else empty.
    std::string batchHint;
};

// Runs the dialogue on `console` from the first prompt to the closing lines.
// Returns the exit status of a run that reaches them: 0, or 1 when a series
// got no spline (each such series is named in a message); any other ending
// is a failure whose text is the report for standard error (none when
// empty), the status then being 1.
base::Result<int> runDialogue(Console& console, Workspace& workspace);

// The dialogue on the process's console (standard input and output): runs it
// and reports how it ended through `messages`. Returns the exit status.
int runConsoleDialogue(output::Messages& messages);

}  // namespace detrend::dialogue
