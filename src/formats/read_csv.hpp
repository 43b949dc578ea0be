// The reader of series tables in CSV files.
//
// The first line that is not blank is the header: the year column's title,
// then one series name per column; or, as R writes a data frame with row
// names, the series names alone, when the rows hold one cell more than the
// header (read with a warning). Cells are separated by the separator csvFit
// finds over the first lines. A cell may be enclosed in double quotes, ""
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

// The rows csvFit examines after the header.
inline constexpr int csvRowsExamined = 20;

// How the first lines of a file fit a CSV table: the first line that is not
// blank (the header) and up to csvRowsExamined lines after it that are not
// blank (the rows), for each of tab, ';' and ',' (counted outside double
// quotes). A separator fits consistently when every row holds the same
// number of it, at least one, and begins with a year, and the header holds
// as many or one fewer. It fits loosely when the header holds it, and every
// row holds it and begins with a year (a CSV file with a faulty row).
struct CsvFit {
    char separator = '\0';  // '\0': none fits
    bool consistent = false;
    bool inHeader = false;  // the header holds one of the three
    long lastLine = 0;  // the last line examined
    // Of the rows examined: how many hold one separator more than the header
    // (as R writes row names), and how many as many as the header.
    std::size_t rowsOneMore = 0, rowsAsHeader = 0;
};
// The first separator of tab, ';' and ',' that fits consistently; else the
// first that fits loosely.
CsvFit csvFit(std::string_view bytes);

// Reads the number of a CSV cell (blanks around it dropped) exactly as
// std::from_chars does, with a leading '+' allowed; with `decimalComma`, a
// single comma in a number without a point stands for the point. False when
// `text` is not all of a finite number.
bool parseCsvNumber(std::string_view text, bool decimalComma, double& value);

}  // namespace detrend::formats
