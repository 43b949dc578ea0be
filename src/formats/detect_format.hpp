// Which batch reader an input file needs, told from its content alone (never
// from its name).
#pragma once

#include <string_view>

namespace detrend::formats {

enum class InputFormat { table, tucson, csv };

// The format of `bytes`, a UTF-8 byte order mark ignored. Empty and blank
// lines play no part. The header is the first line that is not blank; a
// separator is the one csvSeparator picks in it. The first rule that holds:
//  1. csv: the header has a separator and the next line has as many of it
//     and a whole number (a year) in its first cell;
//  2. tucson: some line reads as a Tucson data line by the fixed columns
//     (readTucsonColumns), with an id that is not all digits or a stop marker
//     (999 or -9999) as its last value -- so that rows of an aligned integer
//     table with the year in front are not taken for Tucson lines;
//  3. csv: the header has a separator and some later line is a row as in 1
//     (a csv file whose first row is faulty, read to report the fault);
//  4. table: anything else, a free-layout table of names and rows.
InputFormat detectFormat(std::string_view bytes);

}  // namespace detrend::formats
