#include "dialogue/series_table.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <string_view>

#include "dialogue/run_end.hpp"
#include "formats/fields.hpp"
#include "output/fixed_columns.hpp"

namespace detrend::dialogue {
namespace {

using formats::FreeReader;
using formats::ScanResult;
using formats::ScanStatus;

// Ends the run when a read of the table failed.
void checkRead(const ScanResult& result, FreeReader& file) {
    if (result.status == ScanStatus::ok) return;
    if (result.status == ScanStatus::unreadable) fail(file.lines().error());
    std::string where = file.lines().description();
    if (result.status != ScanStatus::endOfFile) {
        where += ", line " + std::to_string(result.line);
        if (result.item > 0) where += ", item " + std::to_string(result.item) + ": " + formats::quoted(result.token);
    } else if (result.line == 0) {
        where += ", which is empty";
    } else {
        where += ", which ends after line " + std::to_string(result.line);
    }
    fail(std::string(reasonText(result.status)) + " (" + where + ")");
}

[[noreturn]] void failTable(FreeReader& file, const std::string& what) {
    fail(file.lines().description() + ": " + what);
}

// Warns when the line where a read of the table ended holds more `what`
// (names or values) than the columns typed; the extra ones are ignored.
// Returns whether it warned.
bool warnIgnoredItems(FreeReader& file, Console& console, const ScanResult& result, int columns, const char* what) {
    const std::size_t ignored = file.itemsIgnored();
    if (ignored == 0) return false;
    console.note(file.lines().description() + ", line " + std::to_string(result.line) + ": " +
                 std::to_string(static_cast<std::size_t>(std::max(columns, 0)) + ignored) + " " + what + " found, " +
                 std::to_string(columns) + " columns typed; the extra ones are ignored");
    return true;
}

// Reads the names and every complete row into the table; returns the number
// of rows. Rows are read into a zeroed row and copied into the table once
// complete, so that a row cut short by the end of the file leaves no trace.
int readNamesAndRows(FreeReader& file, int columns, Console& console, SeriesTable& table) {
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 0));
    const ScanResult names = file.read(std::span(table.names.data(), width));
    checkRead(names, file);
    // One warning at most: about the names, or else about the first data row.
    const bool namesWarned = warnIgnoredItems(file, console, names, columns, "names");
    bool firstRow = true;
    std::vector<double> row(width);
    int rows = 0;
    for (;;) {
        std::fill(row.begin(), row.end(), 0.0);
        const ScanResult result = file.read(std::span(row));
        if (result.status == ScanStatus::endOfFile) break;
        checkRead(result, file);
        if (firstRow && !namesWarned) warnIgnoredItems(file, console, result, columns, "values");
        firstRow = false;
        if (columns < 1) continue;
        if (rows == SeriesTable::maxRows)
            failTable(file, "too many rows: more than " + std::to_string(SeriesTable::maxRows) + " data rows (line " +
                                std::to_string(result.line) + ")");
        for (int k = 1; k <= columns; ++k) table.column(k)[rows] = row[static_cast<std::size_t>(k - 1)];
        ++rows;
    }
    return rows;
}

// The table's years and missing values while it is checked.
class TableColumns {
public:
    TableColumns(SeriesTable& table, int rows, float flag)
        : table_(table), rows_(rows), flag_(static_cast<double>(flag)) {}

    bool missing(double v) const { return v == flag_ || std::isnan(v); }
    // The whole part of the year of row i (1-based).
    int wholeYear(int i) const { return static_cast<int>(std::trunc(table_.column(1)[i - 1])); }

    void checkYearsFit(FreeReader& file) const {
        for (int i = 1; i <= rows_; ++i) {
            const double whole = std::trunc(table_.column(1)[i - 1]);
            if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
                failTable(file, "the year of data row " + std::to_string(i) + " does not fit a 32-bit integer");
        }
    }

    // The first and last year of column k: those of the first and last row,
    // moved to a value that follows or precedes a missing one. A later row
    // overrides an earlier one.
    void spanOfColumn(int k) {
        const double* v = table_.column(k);
        int first = wholeYear(1), last = wholeYear(rows_);
        for (int i = 1; i <= rows_; ++i) {
            if (missing(v[i - 1])) continue;
            if (i > 1 && missing(v[i - 2])) first = wholeYear(i);
            if (i < rows_ && missing(v[i])) last = wholeYear(i);
        }
        const std::size_t s = static_cast<std::size_t>(k - 2);
        table_.firstYear[s] = first;
        table_.lastYear[s] = last;
        table_.length[s] = static_cast<int>(static_cast<long long>(last) - first + 1);
    }

    // The table must describe its series: the listing labels value i of a
    // series with the year firstYear + i - 1.
    void checkDescribesSeries(FreeReader& file, int columns) const {
        for (int i = 2; i <= rows_; ++i) {
            if (static_cast<long long>(wholeYear(i)) != static_cast<long long>(wholeYear(i - 1)) + 1)
                failTable(
                    file,
                    "years do not rise by one at row " + std::to_string(i) +
                        (i == 2 ? " (the number of columns may be wrong: " + std::to_string(columns) + " typed)" : ""));
        }
        for (int k = 2; k <= columns; ++k) {
            const std::span<const double> v(table_.column(k), static_cast<std::size_t>(rows_));
            const auto span = formats::presentSpan(v, [&](double x) { return !missing(x); });
            const std::string name(table_.names[static_cast<std::size_t>(k - 1)].trimmed());
            if (span.empty()) failTable(file, "series " + name + " has no values");
            for (std::size_t i = span.first; i < span.end; ++i)
                if (missing(v[i])) failTable(file, "series " + name + " has a missing value inside it");
        }
    }

    // Every series' values move up to row 1 of its own column, one column
    // to the left, missing values left out; so do the names.
    void compact() {
        for (int s = 1; s <= table_.columnCount; ++s) {
            const double* from = table_.column(s + 1);
            double* to = table_.column(s);
            int next = 0;
            for (int i = 0; i < rows_; ++i)
                if (!missing(from[i])) to[next++] = from[i];
        }
        for (std::size_t s = 1; s <= static_cast<std::size_t>(std::max(table_.columnCount, 0)); ++s)
            table_.names[s - 1] = table_.names[s];
    }

private:
    SeriesTable& table_;
    const int rows_;
    const double flag_;  // the single-precision flag, widened
};

void printSeriesRead(Console& console, TableColumns& columns, SeriesTable& table) {
    console.emptyLine();
    console.line(" Series Read:________________________");
    console.line(" Name                     IYR     LYR");
    output::Line line;
    for (int k = 2; k <= table.columnCount; ++k) {
        columns.spanOfColumn(k);
        const std::size_t s = static_cast<std::size_t>(k - 2);
        line.clear();
        line.blank()
            .text(table.names[static_cast<std::size_t>(k - 1)].view())
            .integer(table.firstYear[s], 8)
            .integer(table.lastYear[s], 8);
        console.line(line.view());
    }
}

}  // namespace

SeriesTable::SeriesTable()
    : names(maxColumns, formats::SeriesName::from("")),
      values(nullptr, &std::free),
      firstYear(maxColumns, 0),
      lastYear(maxColumns, 0),
      length(maxColumns, 0) {}

void SeriesTable::allocate() {
    if (values) return;
    values.reset(static_cast<double*>(std::calloc(static_cast<std::size_t>(maxRows) * maxColumns, sizeof(double))));
    if (!values) throw std::bad_alloc();
}

void askColumnsAndFlag(Console& console, int& columns, float& flag) {
    console.prompt("Enter number of columns");
    console.numberReply(columns);
    checkColumnCount(columns);
    console.prompt("Enter missing value flag e.g., -999.00");
    console.numberReply(flag);
}

void checkColumnCount(int columns) {
    constexpr int maxColumns = SeriesTable::maxColumns;
    if (columns > maxColumns)
        fail("too many columns: " + std::to_string(columns) + " typed, at most " + std::to_string(maxColumns) +
             " (the year column and " + std::to_string(maxColumns - 1) + " series)");
}

void readSeriesTable(FreeReader& file, int columns, float flag, Console& console, SeriesTable& table) {
    table.columnCount = columns;
    checkColumnCount(columns);
    table.allocate();
    const int rows = readNamesAndRows(file, columns, console, table);
    const bool hasSeries = columns >= 2;
    if (hasSeries && rows == 0) failTable(file, "no data rows after the names");
    TableColumns checked(table, rows, flag);
    if (hasSeries) checked.checkYearsFit(file);
    printSeriesRead(console, checked, table);
    if (hasSeries) checked.checkDescribesSeries(file, columns);
    table.columnCount = columns - 1;
    checked.compact();
}

}  // namespace detrend::dialogue
