// The batch command line: detrend [OPTIONS] INPUT...
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace detrend {

enum class InputFormatChoice { automatic, table, tucson, csv };
enum class IndexKind { difference, ratio };

struct Cutoff {
    int years = 0;  // a fixed cutoff, or
    int percent = 0;  // the share of each series' length (years == 0)

    // The cutoff for a series of n values: the fixed one, or percent of n
    // rounded down, at least 1.
    int forLength(long long n) const;
};

struct BatchOptions {
    Cutoff cutoff;
    std::optional<std::string> output;  // -o: the listing ("-": standard output)
    std::optional<std::string> csv;  // --csv ("-": standard output)
    std::optional<std::string> outputDir;  // -d
    std::optional<std::string> plotDir;  // --plot
    std::string plotFormat = "png";  // --plot-format
    IndexKind index = IndexKind::difference;
    InputFormatChoice format = InputFormatChoice::automatic;
    double missing = -999.0;
    int columns = 0;  // 0: from the first line
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    std::vector<std::string> inputs;
    // The listing goes to standard output: one input and no other output named.
    bool listingToStandardOutput() const { return !output && !csv && !outputDir; }
};

struct ParsedCommandLine {
    enum class Action { run, help, version, usageError } action = Action::run;
    BatchOptions options;
    std::string error;  // for usageError: what is wrong, without "detrend: "
};

// Parses the arguments after the program name, GNU style (short and long
// options, "--" ends the options, "-" is an input: standard input).
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
extern const char* const batchHelp;

}  // namespace detrend
