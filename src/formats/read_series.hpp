// The one entry to the batch readers: the bytes of an input file, read in
// the format asked for or the one detected from the content.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "formats/detect_format.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

enum class FormatChoice { automatic, table, tucson, csv, heidelberg, compact, tridas };

struct ReadOptions {
    FormatChoice format = FormatChoice::automatic;
    double missing = -999.0;  // the missing-value flag of a table or CSV
    int columns = 0;  // the columns of a table, year column included; 0: from its first line
    std::string fileName;  // breaks a tie of the format detected; "" for standard input
};

// What a front end may add to the words of a failed read: the way of asking
// for something that would help, which only it can name.
enum class ReadHint {
    none,
    giveFormat,  // the format detected may be wrong: asking for the right one would help
    formatTucsonReadsIt,  // a .crn refused: the Tucson reader reads it if it holds ring widths
    maxInput,  // more bytes than the limit: a larger limit would help
};

// The outcome of a read: the value, or the Diagnostic with its hint and,
// when the format was detected rather than asked for, the format assumed
// (which the words of the failure should name).
template <class T>
struct Read {
    base::Result<T> result;
    ReadHint hint = ReadHint::none;
    std::optional<InputFormat> assumed{};
};

// Reads `bytes` in the format asked for or detected; never throws. Bytes
// that are no text (a PNG image, a spreadsheet, NUL bytes in the first
// kilobytes) are refused as "not a text file", saying what they look like
// when their first bytes tell. A .crn
// file is refused as a chronology (formatTucsonReadsIt). With the format
// detected, a failure has the format assumed, and the hint giveFormat when
// the error lies in the lines detection looked at -- unless the bytes are
// empty (no format then).
Read<SeriesSet> readSeries(std::string_view bytes, const ReadOptions& options);

// The most bytes read from an input that is not a regular file (a pipe, a
// device), unless the caller sets another limit.
inline constexpr std::uint64_t defaultInputLimit = std::uint64_t{4} << 30;

// Reads the whole file `path` ("-": standard input). A Diagnostic about the
// whole file when it cannot be read (a directory: "is a directory: name the
// files in it (DIR/*.rwl)"), or when it is not a regular file and
// holds more than `limit` bytes (with the hint maxInput).
Read<std::string> readInputFile(const std::string& path, std::uint64_t limit = defaultInputLimit);

}  // namespace detrend::formats
