// The crossdating of one input's ring widths: the series statistics, and
// the check of each series against a master of the others, written to the
// report, its tables and its picture.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"
#include "output/messages.hpp"
#include "output/naming.hpp"
#include "output/output_file.hpp"
#include "pipeline/run_plan.hpp"

namespace detrend::pipeline {

// What the crossdating of an input leaves to be committed.
struct CrossdatingOutcome {
    bool complete = true;  // every series crossdated and every file written
    bool written = true;  // every file written; when one is not, none may replace its target
    // The files, finished, each replacing its target when committed: with
    // the input's other outputs, once all are complete.
    std::vector<std::unique_ptr<output::OutputFile>> files;
    std::optional<std::string> toStandardOutput;  // the series statistics, when they go there
};

// Checks each crossdating file of `input` with `claims`, and claims it; the
// first refusal says why.
base::Status claimCrossdatingFiles(const InputPlan& input, output::OutputClaims& claims);

// The crossdating files `input` names, made from the ring widths of `set`
// (which it does not change) with the settings, written finished but not
// committed. A series with a problem of its reading, without values or with
// a missing value inside it is left out with a message naming it (the last
// one still gets its statistics), and so is a series the analysis cannot
// use; a series that covers no segment is named in a note. Fewer than three
// series is an error, and the report says so. Ends with the summary line
// "LABEL: crossdating of N series: intercorrelation R, K segments flagged in
// M series".
CrossdatingOutcome crossdateSet(const formats::SeriesSet& set, const RunSettings& settings, const InputPlan& input,
                                output::Messages& messages);

}  // namespace detrend::pipeline
