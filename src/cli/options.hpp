// The batch command line: detrend [OPTIONS] INPUT...
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formats/read_series.hpp"
#include "numeric/chronology.hpp"
#include "numeric/correlation.hpp"
#include "numeric/crossdating.hpp"
#include "numeric/detrending.hpp"
#include "numeric/methods.hpp"
#include "output/chronology_files.hpp"
#include "output/naming.hpp"
#include "numeric/index.hpp"
#include "pipeline/gaps.hpp"
#include "pipeline/run_plan.hpp"
#include "pipeline/series_outcome.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::cli {

// An output named by a file, or one per input in the output directory
// (DIR/BASE + the kind's suffix).
struct Destination {
    std::string file;  // empty: one per input
    bool perInput() const { return file.empty(); }
};

struct Options {
    pipeline::Cutoff cutoff;
    numeric::Method method = numeric::Method::burgSpline;  // --method
    numeric::MethodOptions methodOptions;  // --constrain, --pos-slope, --nyrs0, --bass, --span
    numeric::FilterLength filterLength;  // --filter-length
    std::optional<Destination> fits;  // --fits[=FILE]
    std::optional<std::string> output;  // -o: the listing ("-": standard output)
    std::optional<std::string> csv;  // --csv ("-": standard output)
    std::optional<std::string> outputDir;  // -d
    std::optional<std::string> plotDir;  // --plot
    plot::PlotFormat plotFormat = plot::PlotFormat::png;  // --plot-format
    numeric::IndexKind index = numeric::IndexKind::ratio;
    std::optional<Destination> chronology;  // --chron[=FILE]
    // --chron-format, or a FILE ending in .crn
    output::ChronologyFormat chronologyFormat = output::ChronologyFormat::csv;
    numeric::ChronologyMean chronologyMean = numeric::ChronologyMean::biweight;
    std::optional<Destination> statistics;  // --stats[=FILE]
    numeric::CorrelationMethod correlation = numeric::CorrelationMethod::spearman;
    numeric::Zeros zeros = numeric::Zeros::missing;  // --zeros
    pipeline::TreeIdSource treeIds = pipeline::TreeIdSource::automatic;  // --ids
    std::string treeTable;  // --ids FILE
    std::map<std::string, pipeline::TreeAndCore> trees;  // its rows, once read
    std::optional<Destination> running;  // --running[=FILE]
    numeric::RunningOptions window;  // --window, --window-overlap
    std::optional<pipeline::ChronologyCut> chronologyCut;  // --chron-cut
    pipeline::SiteHeader site;  // --site, --site-name, --species
    formats::ReadOptions read;  // --format, --missing, --columns
    pipeline::GapRule gaps = pipeline::GapRule::skip;  // --gaps
    std::uint64_t maxInput = formats::defaultInputLimit;  // --max-input
    // --write-series FILE, or with -d one per input: the series read,
    // written again in the format of --series-format or of FILE's extension
    // (set once the command line is checked).
    std::optional<Destination> writeSeries;
    std::optional<output::SeriesFormat> seriesFormat;
    // A cutoff, a method or a method's option was given (set once the
    // command line is checked).
    bool detrendingAsked = false;
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    std::vector<std::string> inputs;
    // Crossdating: the report with its tables and picture (--xdate[=FILE]),
    // the series statistics (--series-stats[=FILE]), and the analysis'
    // settings (--xdate-cor, --seg-length, --bin-floor, --pcrit, --lag-max,
    // --xdate-filter).
    std::optional<Destination> xdate;
    std::optional<Destination> seriesStats;
    numeric::CrossdatingOptions crossdating;
    // Whether the run detrends: when an output of the detrending or the
    // detrending itself is asked for, or nothing but the detrending can be:
    // a run that only crossdates or writes the series read does not. With
    // --xdate, --plot alone names where its picture goes.
    bool detrends() const {
        return output || csv || chronology || statistics || running || fits || (plotDir && !xdate) || detrendingAsked ||
               (!xdate && !seriesStats && !writeSeries);
    }
    // The listing goes to standard output: the run detrends, one input and no
    // output named.
    bool listingToStandardOutput() const {
        return detrends() && !output && !csv && !outputDir && !(chronology && !chronology->perInput()) &&
               !(statistics && !statistics->perInput()) && !(running && !running->perInput()) &&
               !(fits && !fits->perInput()) && !(xdate && !xdate->perInput()) &&
               !(seriesStats && !seriesStats->perInput()) && !(writeSeries && !writeSeries->perInput());
    }
};

struct ParsedCommandLine {
    enum class Action { run, help, version, usageError } action = Action::run;
    Options options;
    std::string error;  // for usageError: what is wrong, without "detrend: "
};

// Parses the arguments after the program name, GNU style (short and long
// options, "--" ends the options, "-" is an input: standard input).
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
extern const char* const helpText;

}  // namespace detrend::cli
