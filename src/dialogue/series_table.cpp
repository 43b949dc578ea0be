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
base::Status checkRead(const ScanResult& result, FreeReader& file) {
    if (result.status == ScanStatus::ok) return base::Status::success();
    const base::Diagnostic why = file.diagnostic(result);
    if (result.status == ScanStatus::unreadable) return endRun(why.what);
    std::string where = file.lines().description();
    if (result.status != ScanStatus::endOfFile) {
        where += ", line " + std::to_string(result.line);
        if (result.item > 0) where += ", item " + std::to_string(result.item) + ": " + base::quoted(result.token);
    } else if (result.line == 0) {
        where += ", which is empty";
    } else {
        where += ", which ends after line " + std::to_string(result.line);
    }
    return endRun(why.what + " (" + where + ")");
}

base::Diagnostic failTable(FreeReader& file, const std::string& what) {
    return endRun(file.lines().description() + ": " + what);
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

// Rows are read into a block of rows and copied into the table's columns a
// block at a time: a column's stretch of the block is one run of memory.
// A row cut short by the end of the file leaves no trace.
class RowBlock {
public:
    static constexpr int rowsPerBlock = 32;

    explicit RowBlock(std::size_t width) : width_(width), values_(width * rowsPerBlock) {}

    // The next row, zeroed.
    std::span<double> next() {
        const std::span<double> row(values_.data() + static_cast<std::size_t>(held_) * width_, width_);
        std::fill(row.begin(), row.end(), 0.0);
        return row;
    }
    // Keeps the row next() gave, the table's row `row`; full: into the table.
    void keep(SeriesTable& table, int row) {
        if (++held_ == rowsPerBlock) copyInto(table, row + 1);
    }
    // Copies the rows held, which end before row `end`, into the table.
    void copyInto(SeriesTable& table, int end) {
        const int first = end - held_;
        for (std::size_t k = 0; k < width_; ++k) {
            double* to = table.column(static_cast<int>(k) + 1) + first;
            for (int r = 0; r < held_; ++r) to[r] = values_[static_cast<std::size_t>(r) * width_ + k];
        }
        held_ = 0;
    }

private:
    const std::size_t width_;
    std::vector<double> values_;
    int held_ = 0;
};

// Reads the names and every complete row into the table; returns the number
// of rows.
base::Result<int> readNamesAndRows(FreeReader& file, int columns, Console& console, SeriesTable& table) {
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 0));
    const ScanResult names = file.read(std::span(table.names.data(), width));
    if (base::Status read = checkRead(names, file); !read.ok()) return read.error();
    // One warning at most: about the names, or else about the first data row.
    const bool namesWarned = warnIgnoredItems(file, console, names, columns, "names");
    bool firstRow = true;
    RowBlock block(width);
    int rows = 0;
    for (;;) {
        const ScanResult result = file.read(block.next());
        if (result.status == ScanStatus::endOfFile) break;
        if (base::Status read = checkRead(result, file); !read.ok()) return read.error();
        if (firstRow && !namesWarned) warnIgnoredItems(file, console, result, columns, "values");
        firstRow = false;
        if (columns < 1) continue;
        if (rows == SeriesTable::maxRows)
            return failTable(file, "too many rows: more than " + std::to_string(SeriesTable::maxRows) +
                                       " data rows (line " + std::to_string(result.line) + ")");
        block.keep(table, rows++);
    }
    block.copyInto(table, rows);
    return rows;
}

// The whole parts of the years, checked to fit the table's 32-bit years.
base::Result<std::vector<int>> wholeYears(FreeReader& file, const SeriesTable& table, int rows) {
    std::vector<int> years(static_cast<std::size_t>(rows));
    for (int i = 1; i <= rows; ++i) {
        const double whole = std::trunc(table.column(1)[i - 1]);
        if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
            return failTable(file, "the year of data row " + std::to_string(i) + " does not fit a 32-bit integer");
        years[static_cast<std::size_t>(i - 1)] = static_cast<int>(whole);
    }
    return years;
}

// The first row (from 2) whose year is not its predecessor's plus one, or 0.
int firstYearJump(const std::vector<int>& years) {
    for (std::size_t i = 1; i < years.size(); ++i)
        if (static_cast<long long>(years[i]) != static_cast<long long>(years[i - 1]) + 1)
            return static_cast<int>(i) + 1;
    return 0;
}

// What is wrong with a column for the listing: nothing, no values, or a
// missing value between its first and last.
enum class ColumnProblem { none, noValues, gap };

// One pass over column k: its first and last year, as the Series Read list
// shows them (those of the first and last row, moved to a value that follows
// or precedes a missing one, a later row overriding an earlier one), whether
// it describes a series, and its values moved up to row 1 of column k - 1,
// missing ones left out.
ColumnProblem settleColumn(SeriesTable& table, int k, const std::vector<int>& years, double flag) {
    const auto missing = [flag](double v) { return v == flag || std::isnan(v); };
    const int rows = static_cast<int>(years.size());
    const double* v = table.column(k);
    double* to = table.column(k - 1);
    int first = years.front(), last = years.back();
    int present = 0, lastPresent = -1, firstPresent = -1;
    for (int i = 0; i < rows; ++i) {
        const double value = v[i];
        if (missing(value)) continue;
        if (i > 0 && missing(v[i - 1])) first = years[static_cast<std::size_t>(i)];
        if (i + 1 < rows && missing(v[i + 1])) last = years[static_cast<std::size_t>(i)];
        if (firstPresent < 0) firstPresent = i;
        lastPresent = i;
        to[present++] = value;
    }
    const std::size_t s = static_cast<std::size_t>(k - 2);
    table.firstYear[s] = first;
    table.lastYear[s] = last;
    table.length[s] = static_cast<int>(static_cast<long long>(last) - first + 1);
    if (present == 0) return ColumnProblem::noValues;
    return present == lastPresent - firstPresent + 1 ? ColumnProblem::none : ColumnProblem::gap;
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

base::Status askColumnsAndFlag(Console& console, int& columns, float& flag) {
    console.prompt("Enter number of columns");
    if (base::Status read = console.numberReply(columns); !read.ok()) return read;
    if (base::Status count = checkColumnCount(columns); !count.ok()) return count;
    console.prompt("Enter missing value flag e.g., -999.00");
    return console.numberReply(flag);
}

base::Status checkColumnCount(int columns) {
    constexpr int maxColumns = SeriesTable::maxColumns;
    if (columns > maxColumns)
        return endRun("too many columns: " + std::to_string(columns) + " typed, at most " + std::to_string(maxColumns) +
                      " (the year column and " + std::to_string(maxColumns - 1) + " series)");
    return base::Status::success();
}

base::Status readSeriesTable(FreeReader& file, int columns, float flag, Console& console, SeriesTable& table) {
    table.columnCount = columns;
    if (base::Status count = checkColumnCount(columns); !count.ok()) return count;
    table.allocate();
    const base::Result<int> read = readNamesAndRows(file, columns, console, table);
    if (!read.ok()) return read.error();
    const int rows = *read;
    const bool hasSeries = columns >= 2;
    if (hasSeries && rows == 0) return failTable(file, "no data rows after the names");
    base::Result<std::vector<int>> whole = hasSeries ? wholeYears(file, table, rows) : std::vector<int>{};
    if (!whole.ok()) return whole.error();
    const std::vector<int>& years = *whole;
    const int yearJump = firstYearJump(years);

    console.emptyLine();
    console.line(" Series Read:________________________");
    console.line(" Name                     IYR     LYR");
    output::Line line;
    int problemColumn = 0;
    ColumnProblem problem = ColumnProblem::none;
    for (int k = 2; k <= columns; ++k) {
        const ColumnProblem found = settleColumn(table, k, years, static_cast<double>(flag));
        if (problem == ColumnProblem::none && found != ColumnProblem::none) problem = found, problemColumn = k;
        const std::size_t s = static_cast<std::size_t>(k - 2);
        line.clear();
        line.blank()
            .text(table.names[static_cast<std::size_t>(k - 1)].view())
            .integer(table.firstYear[s], 8)
            .integer(table.lastYear[s], 8);
        console.line(line.view());
    }

    // The table must describe its series: the listing labels value i of a
    // series with the year firstYear + i - 1.
    if (yearJump > 0)
        return failTable(
            file,
            "years do not rise by one at row " + std::to_string(yearJump) +
                (yearJump == 2 ? " (the number of columns may be wrong: " + std::to_string(columns) + " typed)" : ""));
    if (problem != ColumnProblem::none) {
        const std::string name(table.names[static_cast<std::size_t>(problemColumn - 1)].trimmed());
        return failTable(
            file, "series " + name +
                      (problem == ColumnProblem::noValues ? " has no values" : " has a missing value inside it"));
    }
    table.columnCount = columns - 1;
    for (std::size_t s = 1; s <= static_cast<std::size_t>(std::max(table.columnCount, 0)); ++s)
        table.names[s - 1] = table.names[s];
    return base::Status::success();
}

}  // namespace detrend::dialogue
