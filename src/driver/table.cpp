#include "driver/table.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <string_view>

#include "driver/failure.hpp"
#include "driver/layout.hpp"

namespace detrend {

std::string shownItem(std::string_view text) {
    constexpr int shownCharacters = 20;
    std::string shown;
    std::size_t pos = 0;
    for (int kept = 0; kept < shownCharacters && pos < text.size(); ++kept) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        bool valid = length > 0 && pos + length <= text.size();
        for (std::size_t i = 1; valid && i < length; ++i)
            valid = (static_cast<unsigned char>(text[pos + i]) & 0xC0) == 0x80;
        if (!valid || lead < 0x20 || lead == 0x7F) {
            shown += '?';
            ++pos;
        } else {
            shown.append(text.substr(pos, length));
            pos += length;
        }
    }
    return shown;
}

namespace {

// Ends the run when a read of the table failed.
void checkRead(const ScanResult& result, FreeReader& file) {
    if (result.status == ScanStatus::ok) return;
    std::string where = file.lines().description();
    if (result.status != ScanStatus::endOfFile) {
        where += ", line " + std::to_string(result.line);
        if (result.item > 0) where += ", item " + std::to_string(result.item) + ": \"" + shownItem(result.token) + "\"";
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

}  // namespace

SeriesTable::SeriesTable()
    : names(maxColumns, SeriesName::from("")),
      values(nullptr, &std::free),
      IYR(maxColumns, 0),
      LYR(maxColumns, 0),
      length(maxColumns, 0) {}

void SeriesTable::allocate() {
    if (values) return;
    values.reset(static_cast<double*>(std::calloc(static_cast<std::size_t>(maxRows) * maxColumns, sizeof(double))));
    if (!values) throw std::bad_alloc();
}

void checkColumnCount(int columns) {
    constexpr int maxColumns = SeriesTable::maxColumns;
    if (columns > maxColumns)
        fail("too many columns: " + std::to_string(columns) + " typed, at most " + std::to_string(maxColumns) +
             " (the year column and " + std::to_string(maxColumns - 1) + " series)");
}

void readtable(FreeReader& file, int columns, float flag, Console& console, SeriesTable& table) {
    constexpr int maxRows = SeriesTable::maxRows;

    table.columnCount = columns;
    checkColumnCount(columns);
    table.allocate();
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 0));

    const ScanResult names = file.read(std::span(table.names.data(), width));
    checkRead(names, file);
    // One warning at most: about the names, or else about the first data row.
    const bool namesWarned = warnIgnoredItems(file, console, names, columns, "names");
    bool firstRow = true;

    // Rows are read into a zeroed row and copied into the table once complete,
    // so that a row cut short by the end of the file leaves no trace.
    std::vector<double> row(width);
    int N = 0;
    for (;;) {
        std::fill(row.begin(), row.end(), 0.0);
        const ScanResult result = file.read(std::span(row));
        if (result.status == ScanStatus::endOfFile) break;
        checkRead(result, file);
        if (firstRow && !namesWarned) warnIgnoredItems(file, console, result, columns, "values");
        firstRow = false;
        if (columns < 1) continue;
        if (N == maxRows)
            failTable(file, "too many rows: more than " + std::to_string(maxRows) + " data rows (line " +
                                std::to_string(result.line) + ")");
        for (int k = 1; k <= columns; ++k) table.column(k)[N] = row[static_cast<std::size_t>(k - 1)];
        ++N;
    }
    const bool hasSeries = columns >= 2;
    if (hasSeries && N == 0) failTable(file, "no data rows after the names");

    // Whole parts of the years, checked to fit the 32-bit years of the table.
    const double* year = table.column(1);
    auto wholeYear = [&](int i) { return static_cast<int>(std::trunc(year[i - 1])); };
    if (hasSeries) {
        for (int i = 1; i <= N; ++i) {
            const double whole = std::trunc(year[i - 1]);
            if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
                failTable(file, "the year of data row " + std::to_string(i) + " does not fit a 32-bit integer");
        }
    }

    console.emptyLine();
    console.line(" Series Read:________________________");
    console.line(" Name                     IYR     LYR");

    const double missingFlag = flag;
    auto missing = [&](double v) { return v == missingFlag || std::isnan(v); };
    Line line;
    for (int k = 2; k <= columns; ++k) {
        const int s = k - 1;
        const double* v = table.column(k);
        int first = wholeYear(1), last = wholeYear(N);
        for (int i = 1; i <= N; ++i) {
            if (missing(v[i - 1])) continue;
            if (i > 1 && missing(v[i - 2])) first = wholeYear(i);
            if (i < N && missing(v[i])) last = wholeYear(i);
        }
        table.IYR[s - 1] = first;
        table.LYR[s - 1] = last;
        table.length[s - 1] = static_cast<int>(static_cast<long long>(last) - first + 1);
        line.clear();
        line.blank().text(table.names[k - 1].view()).integer(first, 8).integer(last, 8);
        console.line(line.view());
    }

    // The table must describe its series: the listing labels value i of a
    // series with the year IYR + i - 1.
    for (int i = 2; i <= N && hasSeries; ++i) {
        if (static_cast<long long>(wholeYear(i)) != static_cast<long long>(wholeYear(i - 1)) + 1)
            failTable(file, "years do not rise by one at row " + std::to_string(i) +
                                (i == 2 ? " (the number of columns may be wrong: " + std::to_string(columns) + " typed)"
                                        : ""));
    }
    for (int k = 2; k <= columns; ++k) {
        const double* v = table.column(k);
        int first = 0, last = 0;
        for (int i = 1; i <= N; ++i) {
            if (missing(v[i - 1])) continue;
            if (first == 0) first = i;
            last = i;
        }
        const std::string name(table.names[k - 1].trimmed());
        if (first == 0) failTable(file, "series " + name + " has no values");
        for (int i = first; i <= last; ++i)
            if (missing(v[i - 1])) failTable(file, "series " + name + " has a missing value inside it");
    }

    table.columnCount = columns - 1;

    // Compaction: every series' values move up to row 1 of its own column,
    // one column to the left, missing values left out.
    for (int s = 1; s <= table.columnCount; ++s) {
        const double* from = table.column(s + 1);
        double* to = table.column(s);
        int next = 0;
        for (int i = 0; i < N; ++i)
            if (!missing(from[i])) to[next++] = from[i];
    }
    for (int s = 1; s <= table.columnCount; ++s) table.names[s - 1] = table.names[s];
}

}  // namespace detrend
