// What a site's index series make together: the chronology, its file and
// picture, and the signal statistics (of the whole site, and in running
// windows), with the series grouped into trees.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "formats/series_set.hpp"
#include "numeric/running_statistics.hpp"
#include "numeric/signal_statistics.hpp"
#include "output/messages.hpp"
#include "output/output_file.hpp"
#include "output/write_csv.hpp"
#include "pipeline/run_plan.hpp"

namespace detrend::pipeline {

// Where a site's results go: the settings of the run, the input's plan (for
// the picture directory and base name), and its open chronology file, if
// one is written.
struct SiteOutputs {
    const RunSettings& settings;
    const InputPlan& input;
    output::OutputFile* chronologyFile = nullptr;
    output::OutputFile* residualFile = nullptr;  // the residual chronology's .crn
    SiteHeader site;  // for the .crn's header lines: the code, name and species
    // Where the chronology's picture goes, finished: it replaces its target
    // with the input's other outputs.
    std::vector<std::unique_ptr<output::OutputFile>>& pictures;
    std::string siteTitle = {};  // the site's code and name for the picture's title; empty: none given
    // The tree each series detrended has in its file (Heidelberg's TreeNo,
    // TRiDaS's element), one per index column; empty where the file says none.
    std::vector<std::string> fileTrees = {};
};

// The statistics of a site, for the run's tables and the summary line.
struct SiteSummary {
    std::size_t series = 0;  // the series detrended
    numeric::SiteStatistics statistics;
    std::vector<numeric::RunningWindow> running;  // when asked for
};

// The site of a .crn: --site, --site-name and --species where given, else
// what the file's header says, the code else the first six characters of
// the input's base name.
SiteHeader crnSite(const RunSettings& settings, const formats::SeriesSet& set, const std::string& base);

// The tree of each series for the statistics (empty: one tree per series),
// from `settings`: read from the names, or from the table of trees. A note
// says when the names do not split, or the table lacks a series, and
// `noted` asks for it.
// With `fileTrees` naming a tree for every series (as Heidelberg and TRiDaS
// files do), those trees come first for `automatic`.
std::vector<std::size_t> treesOf(const std::vector<std::string>& names, const RunSettings& settings,
                                 const std::string& label, output::Messages& messages, bool noted,
                                 const std::vector<std::string>& fileTrees = {});

// Builds what `settings` asks for from `indices` (one column per series
// detrended, in the order of the file): the chronology (with the subsample
// signal strength of each year, cut to the years that pass the cut when one
// is asked for, naming the years cut), written to its file (finished, not
// committed) and, with pictures, drawn to PLOTDIR/BASE-chron.EXT (into
// `pictures`); the statistics into `summary`. A series whose index has no
// value inside it is named in a note, as it is left out of the residual
// chronology. Returns false, with a message, when the chronology cannot be
// written (a year its layout cannot hold, an output that fails).
bool buildSite(const std::vector<output::IndexColumn>& indices, const SiteOutputs& outputs, output::Messages& messages,
               std::optional<SiteSummary>& summary);

}  // namespace detrend::pipeline
