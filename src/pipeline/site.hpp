// What a site's index series make together: the chronology, its file and
// picture, and the signal statistics.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "numeric/signal_statistics.hpp"
#include "output/messages.hpp"
#include "output/write_csv.hpp"
#include "output/output_file.hpp"
#include "pipeline/run_plan.hpp"

namespace detrend::pipeline {

// Where a site's results go: the settings of the run, the input's plan (for
// the picture directory and base name), and its open chronology file, if
// one is written.
struct SiteOutputs {
    const RunSettings& settings;
    const InputPlan& input;
    output::OutputFile* chronologyFile = nullptr;
    // Where the chronology's picture goes, finished: it replaces its target
    // with the input's other outputs.
    std::vector<std::unique_ptr<output::OutputFile>>& pictures;
};

// Builds what `settings` asks for from `indices` (one column per series
// detrended, in the order of the file): the chronology, written to its file
// (finished, not committed) and, with pictures, drawn to
// PLOTDIR/BASE-chron.EXT (into `pictures`); the statistics into
// `statistics`. A series whose index has no value inside it is named in a
// note, as it is left out of the residual chronology. Returns false, with a
// message, when the chronology cannot be written (no series, a year its
// layout cannot hold, an output that fails).
bool buildSite(const std::vector<output::IndexColumn>& indices, const SiteOutputs& outputs, output::Messages& messages,
               std::optional<numeric::SignalStatistics>& statistics);

}  // namespace detrend::pipeline
