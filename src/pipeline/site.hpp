// What a site's index series make together: the chronology, its file and
// picture, and the signal statistics.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "numeric/signal_statistics.hpp"
#include "output/messages.hpp"
#include "output/write_csv.hpp"
#include "pipeline/detrend_set.hpp"

namespace detrend::pipeline {

// Builds what `outputs` asks for from `indices` (one column per series
// detrended, in the order of the file): the chronology, written to its file
// and, with plots, drawn to PLOTDIR/BASE.chron.EXT; the statistics into
// `statistics`. A series whose index has no value inside it is named in a
// note, as it is left out of the residual chronology. Returns false, with a
// message, when the chronology cannot be written (no series, a year its
// layout cannot hold, an output that fails).
bool buildSite(const std::vector<output::IndexColumn>& indices, const SetOutputs& outputs, std::string_view label,
               output::Messages& messages, std::optional<numeric::SignalStatistics>& statistics);

}  // namespace detrend::pipeline
