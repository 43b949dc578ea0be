// The reader of series tables in CSV files.
//
// The first line that is not blank is the header: the year column's title,
// then one series name per column; or, as R writes a data frame with row
// names, the series names alone, when the rows hold one cell more than the
// header (read with a warning). Cells are separated by the separator csvFit
// (detect_format.hpp) finds over the first lines. A cell may be enclosed in double quotes, ""
// standing for one quote inside; a quoted cell ends on its line. Blanks
// around a cell are dropped (only blanks, not tabs, when tab separates).
// Every further line is a row: a year, rising by one from row to row, and
// one cell per series, as many cells as the first row has. A year is a whole
// number, or one with a zero fraction (1900.0, as pandas writes the years of
// a column that holds a missing value). A cell is missing when empty, NA or
// NaN (in any case) or equal to the missing-value flag. With ';' or tab as
// separator a decimal comma is accepted. Blank lines, and rows of nothing
// but empty cells, are skipped. Trailing columns with an empty header cell
// and no value in any row are no series (a separator ending every line).
#pragma once

#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

struct CsvOptions {
    double missing = -999.0;  // the missing-value flag
};

// Reads the whole file `bytes`: one series per column after the year, named
// as in the header, from its first to its last non-missing year, the missing
// cells in between NaN; a column without a value is kept with the problem
// "it has no values". A cell equals the flag when its number equals
// `options.missing` or the float nearest to it. The Diagnostic (line,
// column, what) when the file cannot be read; never throws.
base::Result<SeriesSet> readCsv(std::string_view bytes, const CsvOptions& options);

}  // namespace detrend::formats
