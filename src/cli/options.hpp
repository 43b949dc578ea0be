// The batch command line: detrend [OPTIONS] INPUT...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/read_series.hpp"
#include "numeric/chronology.hpp"
#include "numeric/correlation.hpp"
#include "numeric/index.hpp"
#include "pipeline/series_outcome.hpp"

namespace detrend::cli {

struct Options {
    pipeline::Cutoff cutoff;
    std::optional<std::string> output;  // -o: the listing ("-": standard output)
    std::optional<std::string> csv;  // --csv ("-": standard output)
    std::optional<std::string> outputDir;  // -d
    std::optional<std::string> plotDir;  // --plot
    std::string plotFormat = "png";  // --plot-format
    numeric::IndexKind index = numeric::IndexKind::ratio;
    // --chron: "" when given without FILE (one per input, with -d).
    std::optional<std::string> chronology;
    bool chronologyCrn = false;  // --chron-format crn, or a FILE ending in .crn
    numeric::ChronologyMean chronologyMean = numeric::ChronologyMean::biweight;
    // --stats: "" when given without FILE (one per input, with -d).
    std::optional<std::string> statistics;
    numeric::CorrelationMethod correlation = numeric::CorrelationMethod::spearman;
    formats::ReadOptions read;  // --format, --missing, --columns
    std::uint64_t maxInput = formats::defaultInputLimit;  // --max-input
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    std::vector<std::string> inputs;
    // The listing goes to standard output: one input and no output named.
    bool listingToStandardOutput() const {
        return !output && !csv && !outputDir && !(chronology && !chronology->empty()) &&
               !(statistics && !statistics->empty());
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
