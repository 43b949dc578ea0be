#include "formats/read_csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formats/fields.hpp"
#include "formats/lines.hpp"

namespace detrend::formats {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct Cell {
    std::string text;
    long column = 0;  // of the cell's first character after blanks
};

// A quoted cell starting at line[pos] (the quote): its text, and the
// position after the closing quote; false with `fault` when it is not closed.
bool quotedCell(std::string_view line, std::size_t& pos, Cell& cell, Fault& fault) {
    for (++pos;; ++pos) {
        if (pos >= line.size()) {
            fault = {cell.column, "expected a closing quote on the same line"};
            return false;
        }
        if (line[pos] == '"') {
            if (pos + 1 < line.size() && line[pos + 1] == '"') {
                ++pos;
            } else {
                ++pos;
                return true;
            }
        }
        cell.text.push_back(line[pos]);
    }
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
        cell.column = columnOf(pos);
        if (pos < line.size() && line[pos] == '"') {
            if (!quotedCell(line, pos, cell, fault)) return false;
            pos = std::min(line.find_first_not_of(blanks, pos), line.size());
            if (pos < line.size() && line[pos] != separator) {
                fault = {columnOf(pos), "expected a separator after the closing quote, found " +
                                            quoted(line.substr(pos, line.find(separator, pos) - pos))};
                return false;
            }
        } else {
            const std::size_t end = std::min(line.find(separator, pos), line.size());
            cell.text = trimmed(line.substr(pos, end - pos), blanks);
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

// One CSV file while it is read.
class CsvReader {
public:
    CsvReader(std::string_view bytes, const CsvOptions& options, SeriesSet& out, InputError& error)
        : lines_(bytes, "csv", LineRules::batch(false)),
          missing_(options.missing),
          missingAsFloat_(static_cast<double>(static_cast<float>(options.missing))),
          out_(out),
          error_(error) {}

    bool read() {
        if (!readHeader()) return false;
        while (lines_.next())
            if (!readRow(lines_.line())) return false;
        if (!anyRow_) return fail(headerLine_, 0, "no data rows after the header");
        finish();
        return true;
    }

private:
    bool fail(long line, long column, std::string message) {
        error_ = {line, column, std::move(message)};
        return false;
    }

    bool readHeader() {
        while (lines_.next() && isBlankLine(lines_.line())) {
        }
        if (lines_.lineNumber() == 0 || isBlankLine(lines_.line())) return fail(0, 0, "the file is empty");
        headerLine_ = lines_.lineNumber();
        const std::string_view header = lines_.line();
        separator_ = csvSeparator(header) != '\0' ? csvSeparator(header) : ',';
        Fault fault;
        if (!splitCells(header, separator_, cells_, fault)) return fail(headerLine_, fault.column, fault.message);
        if (cells_.size() < 2)
            return fail(headerLine_, columnOf(header.size()), "expected series names after the year column's title");
        width_ = cells_.size();
        columns_.resize(width_ - 1);
        for (std::size_t k = 1; k < width_; ++k) out_.series.push_back({std::move(cells_[k].text), 0, {}, {}});
        return true;
    }

    bool readRow(std::string_view line) {
        const long number = lines_.lineNumber();
        Fault fault;
        if (!splitCells(line, separator_, cells_, fault)) return fail(number, fault.column, fault.message);
        if (std::all_of(cells_.begin(), cells_.end(), [](const Cell& c) { return c.text.empty(); })) return true;
        if (cells_.size() != width_) {
            const long where = cells_.size() < width_ ? columnOf(line.size()) : cells_[width_].column;
            return fail(number, where,
                        "expected " + std::to_string(width_) + " cells as in the header, found " +
                            std::to_string(cells_.size()));
        }
        if (!readYear(number)) return false;
        for (std::size_t k = 1; k < width_; ++k) {
            double value = std::numeric_limits<double>::quiet_NaN();
            const std::string& text = cells_[k].text;
            if (!isMissingMark(text)) {
                if (!parseValue(text, separator_ != ',', value))
                    return fail(number, cells_[k].column, "expected a number, found " + quoted(text));
                if (value == missing_ || value == missingAsFloat_) value = std::numeric_limits<double>::quiet_NaN();
            }
            columns_[k - 1].push_back(value);
        }
        return true;
    }

    bool readYear(long number) {
        const Cell& cell = cells_[0];
        long long rowYear = 0;
        if (!parseInteger(cell.text, rowYear))
            return fail(number, cell.column, "expected a year, found " + quoted(cell.text));
        if (rowYear < -yearLimit || rowYear > yearLimit) return fail(number, cell.column, yearOutOfRange(rowYear));
        if (!anyRow_) {
            firstYear_ = rowYear;
        } else if (rowYear != year_ + 1) {
            return fail(number, cell.column,
                        "expected year " + std::to_string(year_ + 1) + ", found " + std::to_string(rowYear));
        }
        year_ = rowYear;
        anyRow_ = true;
        return true;
    }

    // Each series from its first to its last value.
    void finish() {
        for (std::size_t s = 0; s < columns_.size(); ++s) {
            const std::vector<double>& values = columns_[s];
            Series& series = out_.series[s];
            const ValueSpan span = presentSpan(values, [](double v) { return !std::isnan(v); });
            series.firstYear = firstYear_ + static_cast<long long>(span.first);
            if (span.empty()) {
                series.problem = "it has no values";
                series.firstYear = firstYear_;
            } else {
                series.values.assign(values.begin() + static_cast<std::ptrdiff_t>(span.first),
                                     values.begin() + static_cast<std::ptrdiff_t>(span.end));
            }
        }
    }

    LineReader lines_;
    const double missing_, missingAsFloat_;
    SeriesSet& out_;
    InputError& error_;
    long headerLine_ = 0;
    char separator_ = ',';
    std::size_t width_ = 0;
    std::vector<Cell> cells_;
    std::vector<std::vector<double>> columns_;
    long long firstYear_ = 0, year_ = 0;
    bool anyRow_ = false;
};

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
    return CsvReader(bytes, options, out, error).read();
}

}  // namespace detrend::formats
