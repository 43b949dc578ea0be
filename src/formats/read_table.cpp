#include "formats/read_table.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/fields.hpp"
#include "formats/free_layout.hpp"
#include "formats/lines.hpp"

namespace detrend::formats {
namespace {

// Years are kept as 64-bit integers; beyond this a year is surely a mistake.
constexpr double largestYear = 1e15;

bool readError(const ScanResult& result, const LineReader& lines, InputError& error) {
    if (result.status == ScanStatus::unreadable) {
        error = {0, 0, lines.error()};
        return false;
    }
    error.line = result.line;
    error.column = static_cast<long>(result.column);
    error.message = std::string(reasonText(result.status));
    if (result.status == ScanStatus::endOfFile) error.message = "the file ends before all the names are read";
    if (result.item > 0) error.message += " (item " + std::to_string(result.item) + ": " + quoted(result.token) + ")";
    return false;
}

// The table's values column after column, so that each series can take its
// column over without a copy, and the line of each row.
struct Columns {
    std::vector<std::vector<double>> values;
    std::vector<long> rowLines;
};

bool readRows(std::string_view bytes, FreeReader& reader, std::size_t width, Columns& columns, InputError& error) {
    columns.values.assign(width, {});
    // No more rows than lines: enough room from the start, no regrowth.
    const auto lineCount = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    for (auto& c : columns.values) c.reserve(lineCount);
    std::vector<double> row(width);
    for (;;) {
        std::fill(row.begin(), row.end(), 0.0);
        const ScanResult r = reader.read(std::span(row));
        if (r.status == ScanStatus::endOfFile) break;
        if (r.status != ScanStatus::ok) return readError(r, reader.lines(), error);
        for (std::size_t k = 0; k < width; ++k) columns.values[k].push_back(row[k]);
        columns.rowLines.push_back(r.line);
    }
    if (columns.rowLines.empty()) {
        error = {reader.lines().lineNumber(), 0, "no data rows after the names"};
        return false;
    }
    return true;
}

// The whole parts of the year column, rising by one.
bool readYears(const Columns& columns, std::vector<long long>& years, InputError& error) {
    const std::size_t rows = columns.rowLines.size();
    years.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        const double whole = std::trunc(columns.values[0][i]);
        if (!(std::fabs(whole) <= largestYear)) {
            error = {columns.rowLines[i], 1, "the year is not a number of at most 15 digits"};
            return false;
        }
        years[i] = static_cast<long long>(whole);
        if (i > 0 && years[i] != years[i - 1] + 1) {
            error = {
                columns.rowLines[i], 1,
                "years do not rise by one: " + std::to_string(years[i]) + " follows " + std::to_string(years[i - 1])};
            return false;
        }
    }
    return true;
}

// Series `name` from its column: its first to its last value, the missing
// values in between NaN.
Series columnSeries(std::string_view name, std::vector<double>& column, const std::vector<long long>& years,
                    double flag) {
    const double singleFlag = static_cast<double>(static_cast<float>(flag));
    auto missing = [&](double v) { return v == flag || v == singleFlag || std::isnan(v); };
    Series series;
    series.name = std::string(name);
    const ValueSpan span = presentSpan(column, [&](double v) { return !missing(v); });
    if (span.empty()) {
        series.problem = "it has no values";
    } else {
        series.firstYear = years[span.first];
        for (std::size_t i = span.first; i < span.end; ++i)
            if (missing(column[i])) column[i] = std::nan("");
        column.resize(span.end);
        column.erase(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(span.first));
        series.values = std::move(column);
    }
    std::vector<double>().swap(column);
    return series;
}

}  // namespace

int countFirstLineNames(std::string_view bytes) {
    LineReader lines(bytes, "table");
    while (lines.next()) {
        if (lines.line().find_first_not_of(' ') != std::string_view::npos)
            return static_cast<int>(std::min<std::size_t>(countItems(lines.line()), 1u << 30));
    }
    return 0;
}

bool readTable(std::string_view bytes, const TableOptions& options, SeriesSet& out, InputError& error) {
    out = {};
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        error = {0, 0, "the file is empty"};
        return false;
    }
    const int columns = options.columns > 0 ? options.columns : countFirstLineNames(bytes);
    if (columns < 2) {
        error = {1, 1, "the first line must name the year column and at least one series"};
        return false;
    }
    const std::size_t width = static_cast<std::size_t>(columns);
    LineReader lines(bytes, "table");
    FreeReader reader(lines);
    std::vector<SeriesName> names(width, SeriesName::from(""));
    if (const ScanResult r = reader.read(std::span(names)); r.status != ScanStatus::ok)
        return readError(r, lines, error);
    Columns table;
    std::vector<long long> years;
    if (!readRows(bytes, reader, width, table, error) || !readYears(table, years, error)) return false;
    for (std::size_t k = 1; k < width; ++k)
        out.series.push_back(columnSeries(names[k].trimmed(), table.values[k], years, options.missing));
    return true;
}

}  // namespace detrend::formats
