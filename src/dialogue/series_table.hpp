// The dialogue's series table: the questions about its layout, and its
// reader.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "dialogue/console.hpp"
#include "formats/free_layout.hpp"
#include "formats/series_name.hpp"

namespace detrend::dialogue {

// The table read from the input file. Its values are taken, zero-filled and
// at full capacity, when the table is read. Rows, columns and series are
// numbered from 1.
struct SeriesTable {
    static constexpr int maxRows = 10000;
    static constexpr int maxColumns = 700;  // the year column included

    // While reading: the columns typed, year column included; after
    // readSeriesTable: the number of series.
    int columnCount = 0;
    std::vector<formats::SeriesName> names;  // maxColumns entries
    // maxRows x maxColumns, column after column. Taken zero-filled from the
    // system, so pages the run never touches cost nothing.
    std::unique_ptr<double[], decltype(&std::free)> values;
    std::vector<int> firstYear, lastYear, length;  // per series, maxColumns entries

    SeriesTable();
    // Takes the values' storage, zero-filled, unless already taken.
    void allocate();

    // Rows 1..maxRows of column `column`.
    double* column(int column) { return values.get() + static_cast<std::size_t>(column - 1) * maxRows; }
    const double* column(int column) const { return values.get() + static_cast<std::size_t>(column - 1) * maxRows; }
};

// The dialogue's questions about the table's layout: the number of columns
// (year column included) and the missing-value flag.
base::Status askColumnsAndFlag(Console& console, int& columns, float& flag);

// Ends the run when a table of `columns` columns does not fit the table.
base::Status checkColumnCount(int columns);

// Reads the whole table of `columns` columns (year column included) from
// `file` (names, then one row per year until the end of the file), with
// `flag` marking missing values, prints the Series Read list, checks that
// the table describes its series (years rising by one, every series with
// values and no gaps), and leaves every series s in column s from row 1 with
// its name, first and last year and length; columnCount becomes the number of
// series.
//
// Ends the run with a report naming `file`'s description and line when the
// table cannot be read or does not fit the table's capacity.
base::Status readSeriesTable(formats::FreeReader& file, int columns, float flag, Console& console, SeriesTable& table);

}  // namespace detrend::dialogue
