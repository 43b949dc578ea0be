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
#include "numeric/chronology.hpp"
#include "numeric/correlation.hpp"
#include "numeric/signal_statistics.hpp"
#include "numeric/index.hpp"
#include "output/messages.hpp"
#include "output/output_file.hpp"
#include "pipeline/series_outcome.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::pipeline {

// The series of a set that can be detrended, each with its cutoff.
struct SetPlan {
    std::vector<std::size_t> usable;  // indices into the set's series
    std::vector<int> cutoffs;  // one per usable series
    int skipped = 0;
};

// Plans the set: a series that cannot be detrended (skipReason) is skipped
// with a message "LABEL: series "NAME" skipped: REASON". With a cutoff that
// is a share of each series' length, a note says how many series have a
// filter (and extension) longer than a third of their length.
SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, std::string_view label,
                output::Messages& messages);

struct PlotFiles {
    std::string dir;
    plot::PlotFormat format = plot::PlotFormat::png;
    std::string base;  // file names are BASE-NAME.EXT, the chronology's BASE.chron.EXT
};

// The site chronology of the indices of the series detrended.
struct ChronologyFile {
    output::OutputFile* file = nullptr;  // its CSV or .crn file, or none
    bool crn = false;  // the Tucson chronology format, else CSV
    numeric::ChronologyMean mean = numeric::ChronologyMean::biweight;
    std::string site;  // the .crn's site ID and the picture's title: the input's base name
};

// Where the results of a set go; outputs left out are not written.
struct SetOutputs {
    output::OutputFile* listing = nullptr;
    output::OutputFile* csv = nullptr;  // the indices, one column per series
    numeric::IndexKind index = numeric::IndexKind::difference;
    std::optional<PlotFiles> plots;
    std::optional<ChronologyFile> chronology;
    // The signal statistics of the series detrended, with this correlation.
    std::optional<numeric::CorrelationMethod> statistics;
    int jobs = 0;  // see detrendInOrder
    std::function<void()> seriesDone;  // after each series, for a progress line
};

struct SetResult {
    bool complete = false;  // every series detrended and every output written
    std::optional<numeric::SignalStatistics> statistics;  // when asked for
};

// Detrends the planned series of `set` (whose values are released as they
// are delivered) and writes their results: the listing, the indices, the
// pictures, then the chronology and the statistics of the indices. A series
// without a spline is skipped with a message; with the ratio index written,
// a series whose spline is not positive everywhere is named. Ends with the
// summary line "LABEL: N series detrended, M skipped", with the statistics
// when asked for, unless an output could not be written, which is reported
// instead.
SetResult detrendSet(formats::SeriesSet& set, const SetPlan& plan, const SetOutputs& outputs, std::string_view label,
                     output::Messages& messages);

}  // namespace detrend::pipeline
