// Which batch reader an input file needs, told from its content; the file
// name breaks a tie.
#pragma once

#include <string_view>

namespace detrend::formats {

enum class InputFormat { table, tucson, csv };

// The lines detection examines after the header lines of a Tucson file.
inline constexpr int tucsonLinesExamined = 20;

struct Detection {
    InputFormat format = InputFormat::table;
    // The name ends in .crn: a chronology, not ring widths, refused.
    bool chronology = false;
    // The last line detection looked at: a reader's error up to there may
    // mean that the format was taken wrongly.
    long lastLine = 0;
};

// The format of `bytes` (a UTF-8 byte order mark ignored; blank lines play
// no part), `fileName` ("" for standard input) breaking a tie. The first
// rule that holds:
//  1. a name ending in .crn (in any case) is a chronology;
//  2. the content fits a Tucson file and CSV both: CSV for a name ending in
//     .csv, Tucson otherwise;
//  3. tucson: after at most three header lines (classifyTucsonLine: of the
//     archive's shape, or not of a data line's), the next lines that are
//     not blank, up to tucsonLinesExamined, are data lines (any line of a
//     data line's shape that cannot be read counts against one that can, so
//     that a file with a bad first line is read, to report it) or headers,
//     with a stop marker (999 or -9999) ending a line, or a line continuing
//     the line before under the same id (letter case aside) -- unless every
//     id is a number one more than the id before, as in the rows of an
//     integer table with the year in front;
//  4. csv: csvFit finds a separator that fits consistently;
//  5. the name suggests the format and the content resembles it: .rwl,
//     .raw or .tuc with a line of a Tucson data line's shape after the
//     header lines; .csv with a separator in the first line;
//  6. csv: csvFit finds a separator that fits loosely;
//  7. table: anything else, a free-layout table of names and rows.
Detection detectFormat(std::string_view bytes, std::string_view fileName = {});

// How messages name a format: "a Tucson file", "CSV", "a free-layout table".
std::string_view formatName(InputFormat format);

}  // namespace detrend::formats
