// The one entry to the batch readers: the bytes of an input file, read in
// the format asked for or the one detected from the content.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/detect_format.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

enum class FormatChoice { automatic, table, tucson, csv };

struct ReadOptions {
    FormatChoice format = FormatChoice::automatic;
    double missing = -999.0;  // the missing-value flag of a table or CSV
    int columns = 0;  // the columns of a table, year column included; 0: from its first line
    std::string fileName;  // breaks a tie of the format detected; "" for standard input
};

// Reads `bytes` into `out` (replacing what it held). Returns false and fills
// `error` when they cannot be read; never throws. With the format detected,
// the message of an error ends in the format assumed, "[read as CSV]", and
// names --format when the error lies in the lines detection looked at; a
// .crn file is refused as a chronology.
bool readSeries(std::string_view bytes, const ReadOptions& options, SeriesSet& out, InputError& error);

// The most bytes read from an input that is not a regular file (a pipe, a
// device), unless the caller sets another limit.
inline constexpr std::uint64_t defaultInputLimit = std::uint64_t{4} << 30;

// Reads the whole file `path` ("-": standard input) into `bytes`. Returns
// false and fills `error` (about the whole file) when it cannot be read, or
// when it is not a regular file and holds more than `limit` bytes.
bool readInputFile(const std::string& path, std::string& bytes, InputError& error,
                   std::uint64_t limit = defaultInputLimit);

}  // namespace detrend::formats
