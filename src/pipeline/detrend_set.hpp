// The batch treatment of one input's series: which of them can be detrended,
// and the detrending of those in order, each delivered to the outputs asked
// for (the listing, the wide CSV of the indices, one plot file per series).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series_set.hpp"
#include "numeric/signal_statistics.hpp"
#include "output/messages.hpp"
#include "output/fits_table.hpp"
#include "output/naming.hpp"
#include "output/output_file.hpp"
#include "pipeline/series_outcome.hpp"
#include "pipeline/run_plan.hpp"
#include "pipeline/site.hpp"

namespace detrend::pipeline {

// The series of a set that can be detrended, each with its cutoff.
struct SetPlan {
    std::vector<std::size_t> usable;  // indices into the set's series
    std::vector<int> cutoffs;  // one per usable series
    int skipped = 0;
    // Per usable series, the years filled by --gaps fill (gaps.hpp), NA in
    // every output; empty (or empty for a series) when none was.
    std::vector<std::vector<bool>> filled;
};

// Plans the set: a series that cannot be detrended (skipReason) is skipped
// with a message "LABEL: series "NAME" skipped: REASON". With a cutoff that
// is a share of each series' length, a note says how many series have a
// filter (and extension) longer than a third of their length.
SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, const RunSettings& settings,
                std::string_view label, output::Messages& messages);

struct SetResult {
    bool complete = false;  // every series detrended and every output written
    bool replaced = false;  // the outputs replaced their targets
    std::optional<SiteSummary> statistics;  // when asked for
    std::vector<output::FitRow> fits;  // when asked for: the fit of each series detrended
};

// Opens the outputs `input` names (each checked by `claims` and claimed),
// detrends the planned series of `set` (whose values are released as they
// are delivered) and writes what `settings` asks for: the listing, the
// indices, the pictures, then the chronology and the statistics of the
// indices (into the input's own statistics file when it has one). An output
// refused or not opened ends the input with "LABEL: WHY" before any series
// is detrended. A series without a spline is skipped with a message; with
// the ratio index written, a series whose spline is not positive everywhere
// is named. Ends with the summary line "LABEL: N series detrended, M
// skipped", with the statistics when asked for, unless an output could not
// be written, which is reported instead. `seriesDone` is called after each
// series (for a progress line). The outputs replace their targets together,
// with the files `alongside` holds (finished by the caller), once every one
// is complete; when one is not, or nothing could be detrended, none does.
SetResult detrendSet(formats::SeriesSet& set, const SetPlan& plan, const RunSettings& settings, const InputPlan& input,
                     output::OutputClaims& claims, output::Messages& messages, const std::function<void()>& seriesDone,
                     std::vector<std::unique_ptr<output::OutputFile>>* alongside = nullptr);

}  // namespace detrend::pipeline
