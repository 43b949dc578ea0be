// The reader of series tables in CSV files.
//
// The first line that is not blank is the header: the year column's title,
// then one series name per column. Cells are separated by the separator
// csvSeparator picks in the header. A cell may be enclosed in double quotes,
// "" standing for one quote inside; a quoted cell ends on its line. Blanks
// around a cell are dropped. Every further line is a row: a year, rising by
// one from row to row, and one cell per series, as many cells as the header
// has. A cell is missing when empty, NA or NaN (in any case) or equal to the
// missing-value flag. With ';' or tab as separator a decimal comma is
// accepted. Blank lines, and rows of nothing but empty cells, are skipped.
#pragma once

#include <cstddef>
#include <string_view>

#include "formats/series_set.hpp"

namespace detrend::formats {

struct CsvOptions {
    double missing = -999.0;  // the missing-value flag (--missing)
};

// Reads the whole file `bytes` into `out` (replacing what it held): one
// series per column after the year, named as in the header, from its first
// to its last non-missing year, the missing cells in between NaN; a column
// without a value is kept with the problem "it has no values". A cell equals
// the flag when its number equals `options.missing` or the float nearest to
// it. Returns false and fills `error` (line, column, message) when the file
// cannot be read; never throws.
bool readCsv(std::string_view bytes, const CsvOptions& options, SeriesSet& out, InputError& error);

// The separator of a header line: of ',' ';' and tab, the one found most
// often outside double quotes (the first of them in this order on a tie);
// '\0' when there is none.
char csvSeparator(std::string_view header);

// How often `separator` occurs in `line` outside double quotes.
std::size_t csvSeparatorCount(std::string_view line, char separator);

}  // namespace detrend::formats
