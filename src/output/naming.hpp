// Where a batch run's outputs go: the names made from an input's base name,
// the directories they need, and the refusals of an output that would be
// written over an input or over another output of the run.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "output/chronology_files.hpp"
#include "output/file_identity.hpp"

namespace detrend::output {

// "-" names standard output as an output and standard input as an input.
inline constexpr std::string_view standardStream = "-";

// The files written for each input, by kind.
// With the .crn layout, which holds one chronology a file, `chronology` is
// the standard chronology and `residualChronology` the residual one.
enum class OutputKind { listing, indices, chronology, residualChronology, statistics, running, fits };
inline constexpr int outputKinds = 7;

// The suffix of a kind's file in -d DIR (DIR/BASE + suffix); the
// chronology's follows its format.
std::string_view outputSuffix(OutputKind kind, ChronologyFormat chronologyFormat);

// The residual chronology's .crn beside the standard one's: FILE.crn gives
// FILE-res.crn (any letter case of the extension), another name NAME-res.crn.
std::string residualCrnPath(const std::string& standard);

// The formats the series read can be written in again (--write-series).
enum class SeriesFormat { tucson, heidelberg, csv };

// The suffix of the series written in -d DIR: ".rwl", ".fh" or
// "-series.csv" (BASE.csv is the indices).
std::string_view seriesSuffix(SeriesFormat format);

// The format the extension of `path` names (.rwl, .fh or .csv, in any
// letter case); none for another extension or none.
std::optional<SeriesFormat> seriesFormatOf(std::string_view path);

// The suffix of a picture in the plot directory: "-STEM.EXT" for a series,
// "-chron.EXT" for the chronology.
std::string seriesPictureSuffix(std::string_view stem, std::string_view extension);
std::string chronologyPictureSuffix(std::string_view extension);

// The crossdating files in -d DIR (DIR/BASE + suffix): the report and the
// series statistics.
inline constexpr std::string_view crossdatingReportSuffix = "-xdate.txt", seriesTableSuffix = "-series.csv";

// `path` without the extension of its file name (from its last '.', unless
// that starts the name): "out/x.txt" -> "out/x".
std::string withoutExtension(const std::string& path);

// The names of the tables and the picture beside a crossdating report:
// the report's path without its extension, then "-series.csv",
// "-overall.csv", "-segments.csv", "-lags.csv" and "." + the picture's
// extension.
struct CrossdatingNames {
    std::string series, overall, segments, lags, picture;
};
CrossdatingNames crossdatingNames(const std::string& report, std::string_view pictureExtension);

// The input's file name without directories and without its extension;
// "stdin" for standard input.
std::string baseName(const std::string& input);

// How messages name an input: its path, or "standard input".
std::string inputLabel(const std::string& input);

// DIR/BASE + suffix, the name of an output made from an input's base name.
std::string outputPath(const std::string& dir, const std::string& base, std::string_view suffix);

// One file name stem per series, unique within the input: the name's
// trailing blanks dropped, every character but letters, digits, '-', '_' and
// '.' made '_' ("_" for an empty name), cut to 100 bytes; a stem met again, in any letter
// case, gets "-2", "-3", ..., never one that another series has as its own.
std::vector<std::string> seriesStems(const std::vector<std::string>& seriesNames);

// Makes directory `path` and its missing parents, as mkdir -p does. The
// value tells whether `path` itself was made; the failure names the cause
// (a file of that name that is not a directory included).
base::Result<bool> makeDirectory(const std::string& path);

// The path of an output as the file system will resolve it, so that two
// spellings of one target compare equal before the file exists: a final
// symbolic link followed (dangling or not), the directory made absolute.
std::string resolvedTarget(const std::string& path);

// The outputs a run has written so far, and its inputs: the one place that
// refuses an output that would destroy an input or an earlier result.
class OutputClaims {
public:
    // Registers the input files; standard input ("-") when it is read from
    // a regular file.
    void addInputs(const std::vector<std::string>& inputs);
    // Whether `path` may be written for `input` ("" for an output of the
    // whole run); a refusal says why. Standard output and the null device
    // are never refused.
    base::Status check(const std::string& path, const std::string& input) const;
    // Records that `path` is written for `input`.
    void claim(const std::string& path, const std::string& input);
    // Whether a .crn with site code `code` may be written into the directory
    // of `path` for `input`: two inputs of one code in one directory could
    // not be told apart by the field's tools. Records it when it may.
    base::Status claimSiteCode(const std::string& path, const std::string& code, const std::string& input);

private:
    InputFiles inputs_;
    std::map<std::string, std::string> written_;  // resolvedTarget of each output, with its input
    std::map<std::pair<std::string, std::string>, std::string> siteCodes_;  // (directory, code) -> input
};

}  // namespace detrend::output
