#include "driver/csv.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "driver/input_format.hpp"

namespace detrend {
namespace {

constexpr long long yearLimit = 1000000;
constexpr std::size_t npos = std::string_view::npos;

struct Cell {
    std::string text;
    long column = 0;  // of the cell's first character after blanks
};

struct Fault {
    long column = 0;
    std::string message;
};

long column(std::size_t offset) { return static_cast<long>(offset) + 1; }

// `text` in double quotes, cut to 20 characters.
std::string quoted(std::string_view text) {
    constexpr std::size_t shown = 20;
    return "\"" + std::string(text.substr(0, shown)) + (text.size() > shown ? "...\"" : "\"");
}

// Splits `line` into `cells`; false with `fault` when a quoted cell is not
// closed or text follows its closing quote.
bool splitCells(std::string_view line, char separator, std::vector<Cell>& cells, Fault& fault) {
    const char* blanks = separator == '\t' ? " " : " \t";
    cells.clear();
    std::size_t pos = 0;
    for (;;) {
        pos = std::min(line.find_first_not_of(blanks, pos), line.size());
        Cell cell;
        cell.column = column(pos);
        if (pos < line.size() && line[pos] == '"') {
            for (++pos;; ++pos) {
                if (pos >= line.size()) {
                    fault = {cell.column, "expected a closing quote on the same line"};
                    return false;
                }
                if (line[pos] == '"') {
                    if (pos + 1 < line.size() && line[pos + 1] == '"') {
                        ++pos;
                    } else {
                        break;
                    }
                }
                cell.text.push_back(line[pos]);
            }
            pos = std::min(line.find_first_not_of(blanks, pos + 1), line.size());
            if (pos < line.size() && line[pos] != separator) {
                fault = {column(pos), "expected a separator after the closing quote, found " +
                                          quoted(line.substr(pos, line.find(separator, pos) - pos))};
                return false;
            }
        } else {
            const std::size_t end = std::min(line.find(separator, pos), line.size());
            std::string_view text = line.substr(pos, end - pos);
            const std::size_t last = text.find_last_not_of(blanks);
            cell.text = text.substr(0, last == npos ? 0 : last + 1);
            pos = end;
        }
        cells.push_back(std::move(cell));
        if (pos >= line.size()) return true;
        ++pos;  // the separator
    }
}

bool isMissingMark(std::string_view text) {
    if (text.empty()) return true;
    if (text.size() > 3) return false;
    std::string folded;
    for (char c : text) folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return folded == "na" || folded == "nan";
}

bool parseYear(std::string_view text, long long& year) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, year);
    return status == std::errc() && stop == end;
}

// A finite decimal number making up all of `text`; with `decimalComma`, a
// single comma in a number without a point stands for the point.
bool parseValue(std::string text, bool decimalComma, double& value) {
    if (decimalComma && text.find('.') == npos) {
        const std::size_t comma = text.find(',');
        if (comma != npos && text.find(',', comma + 1) == npos) text[comma] = '.';
    }
    std::string_view digits = text;
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
        if (digits.starts_with('-')) return false;
    }
    if (digits.empty()) return false;
    const char* end = digits.data() + digits.size();
    const auto [stop, status] = std::from_chars(digits.data(), end, value, std::chars_format::general);
    return status == std::errc() && stop == end && std::isfinite(value);
}

}  // namespace

char csvSeparator(std::string_view header) {
    char best = '\0';
    std::size_t most = 0;
    for (char separator : {',', ';', '\t'}) {
        const std::size_t count = csvSeparatorCount(header, separator);
        if (count > most) {
            most = count;
            best = separator;
        }
    }
    return best;
}

std::size_t csvSeparatorCount(std::string_view line, char separator) {
    std::size_t count = 0;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') inQuotes = !inQuotes;
        if (c == separator && !inQuotes) ++count;
    }
    return count;
}

bool readCsv(std::string_view bytes, const CsvOptions& options, SeriesSet& out, InputError& error) {
    out = {};
    error = {};
    const double missing = options.missing;
    const double missingAsFloat = static_cast<double>(static_cast<float>(missing));

    TextLines lines(bytes);
    while (lines.next() && isBlankLine(lines.line())) {
    }
    if (lines.number() == 0 || isBlankLine(lines.line())) {
        error = {0, 0, "the file is empty"};
        return false;
    }
    const long headerLine = lines.number();
    const char separator = csvSeparator(lines.line()) != '\0' ? csvSeparator(lines.line()) : ',';
    std::vector<Cell> cells;
    Fault fault;
    if (!splitCells(lines.line(), separator, cells, fault)) {
        error = {headerLine, fault.column, std::move(fault.message)};
        return false;
    }
    if (cells.size() < 2) {
        error = {headerLine, column(lines.line().size()), "expected series names after the year column's title"};
        return false;
    }
    const std::size_t width = cells.size();
    std::vector<std::vector<double>> columns(width - 1);
    for (std::size_t k = 1; k < width; ++k) {
        Series series;
        series.name = std::move(cells[k].text);
        out.series.push_back(std::move(series));
    }

    long long firstYear = 0, year = 0;
    bool anyRow = false;
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (!splitCells(line, separator, cells, fault)) {
            error = {lines.number(), fault.column, std::move(fault.message)};
            return false;
        }
        bool empty = true;
        for (const Cell& cell : cells) empty = empty && cell.text.empty();
        if (empty) continue;
        if (cells.size() != width) {
            const long where = cells.size() < width ? column(line.size()) : cells[width].column;
            error = {
                lines.number(), where,
                "expected " + std::to_string(width) + " cells as in the header, found " + std::to_string(cells.size())};
            return false;
        }
        long long rowYear = 0;
        if (!parseYear(cells[0].text, rowYear)) {
            error = {lines.number(), cells[0].column, "expected a year, found " + quoted(cells[0].text)};
            return false;
        }
        if (rowYear < -yearLimit || rowYear > yearLimit) {
            error = {lines.number(), cells[0].column,
                     "year " + std::to_string(rowYear) + " is out of range (-1000000 to 1000000)"};
            return false;
        }
        if (!anyRow) {
            firstYear = rowYear;
        } else if (rowYear != year + 1) {
            error = {lines.number(), cells[0].column,
                     "expected year " + std::to_string(year + 1) + ", found " + std::to_string(rowYear)};
            return false;
        }
        year = rowYear;
        anyRow = true;
        for (std::size_t k = 1; k < width; ++k) {
            double value = std::numeric_limits<double>::quiet_NaN();
            const std::string& text = cells[k].text;
            if (!isMissingMark(text)) {
                if (!parseValue(text, separator != ',', value)) {
                    error = {lines.number(), cells[k].column, "expected a number, found " + quoted(text)};
                    return false;
                }
                if (value == missing || value == missingAsFloat) value = std::numeric_limits<double>::quiet_NaN();
            }
            columns[k - 1].push_back(value);
        }
    }
    if (!anyRow) {
        error = {headerLine, 0, "no data rows after the header"};
        return false;
    }

    for (std::size_t s = 0; s < columns.size(); ++s) {
        const std::vector<double>& values = columns[s];
        Series& series = out.series[s];
        std::size_t first = 0, end = values.size();
        while (first < end && std::isnan(values[first])) ++first;
        while (end > first && std::isnan(values[end - 1])) --end;
        series.firstYear = firstYear + static_cast<long long>(first);
        if (first == end) {
            series.problem = "it has no values";
            series.firstYear = firstYear;
        } else {
            series.values.assign(values.begin() + static_cast<std::ptrdiff_t>(first),
                                 values.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }
    return true;
}

}  // namespace detrend
