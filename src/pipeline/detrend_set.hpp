// The batch treatment of one input's series: which of them can be detrended,
// and the detrending of those in order, each delivered to the outputs asked
// for (the listing, the wide CSV of the indices, one plot file per series).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series_set.hpp"
#include "output/indices.hpp"
#include "output/messages.hpp"
#include "output/output_file.hpp"
#include "pipeline/series_outcome.hpp"
#include "plot/plot_format.hpp"

namespace detrend::pipeline {

// The series of a set that can be detrended, each with its cutoff.
struct SetPlan {
    std::vector<std::size_t> usable;  // indices into the set's series
    std::vector<int> cutoffs;  // one per usable series
    int skipped = 0;
};

// Plans the set: a series that cannot be detrended (skipReason) is skipped
// with a message "LABEL: series "NAME" skipped: REASON".
SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, std::string_view label,
                output::Messages& messages);

struct PlotFiles {
    std::string dir;
    plot::PlotFormat format = plot::PlotFormat::png;
    std::string base;  // file names are BASE-NAME.EXT
};

// Where the results of a set go; outputs left out are not written.
struct SetOutputs {
    output::OutputFile* listing = nullptr;
    output::OutputFile* csv = nullptr;  // the indices, one column per series
    output::IndexKind index = output::IndexKind::difference;
    std::optional<PlotFiles> plots;
    int jobs = 0;  // see detrendInOrder
    std::function<void()> seriesDone;  // after each series, for a progress line
};

// Detrends the planned series of `set` (whose values are released as they
// are delivered) and writes their results. A series without a spline is
// skipped with a message; with the ratio index written, a series whose
// spline is not positive everywhere is named. Ends with the summary line
// "LABEL: N series detrended, M skipped", unless an output could not be
// written, which is reported instead. Returns whether every series was
// detrended and every output written.
bool detrendSet(formats::SeriesSet& set, const SetPlan& plan, const SetOutputs& outputs, std::string_view label,
                output::Messages& messages);

}  // namespace detrend::pipeline
