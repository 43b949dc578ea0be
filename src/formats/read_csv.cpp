#include "formats/read_csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formats/decimal.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"

namespace detrend::formats {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr double missingValue = std::numeric_limits<double>::quiet_NaN();

// The blanks dropped around a cell.
std::string_view blanksFor(char separator) { return separator == '\t' ? " " : " \t"; }

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
// closed or text follows its closing quote. The header, and rows the quick
// reading leaves, are read so.
bool splitCells(std::string_view line, char separator, std::vector<Cell>& cells, Fault& fault) {
    const std::string_view blanks = blanksFor(separator);
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
                                            base::quoted(line.substr(pos, line.find(separator, pos) - pos))};
                return false;
            }
        } else {
            const std::size_t end = std::min(line.find(separator, pos), line.size());
            cell.text = base::trimmed(line.substr(pos, end - pos), blanks);
            pos = end;
        }
        cells.push_back(std::move(cell));
        if (pos >= line.size()) return true;
        ++pos;  // the separator
    }
}

bool isMissingMark(std::string_view text) {
    if (text.empty()) return true;
    if (text.size() < 2 || text.size() > 3 || (text[0] != 'N' && text[0] != 'n')) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(text[1]) == 'a' && (text.size() == 2 || lower(text[2]) == 'n');
}

// All of `text` as a year: a whole number, or one with a zero fraction.
bool parseYear(std::string_view text, long long& year) {
    const std::size_t point = text.find('.');
    if (point != npos) {
        if (text.substr(point + 1).find_first_not_of('0') != npos) return false;
        text = text.substr(0, point);
    }
    return parseInteger(text, year);
}

// How often `separator` occurs in `line` outside double quotes.
std::size_t separatorCount(std::string_view line, char separator) {
    std::size_t count = 0;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') inQuotes = !inQuotes;
        if (c == separator && !inQuotes) ++count;
    }
    return count;
}

// Whether the first cell of `line` is a year, quoted or not.
bool startsWithYear(std::string_view line, char separator) {
    std::string_view cell = base::trimmed(line.substr(0, line.find(separator)), blanksFor(separator));
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
    long long year = 0;
    return parseYear(base::trimmed(cell, " "), year);
}

}  // namespace

bool parseCsvNumber(std::string_view text, bool decimalComma, double& value) {
    const char* end = text.data() + text.size();
    const char* stop = nullptr;
    if (quickDecimal<double, false>(text.data(), end, value, stop) && stop == end) return true;
    thread_local std::string rewritten;
    if (decimalComma && text.find('.') == npos) {
        const std::size_t comma = text.find(',');
        if (comma != npos && text.find(',', comma + 1) == npos) {
            rewritten.assign(text);
            rewritten[comma] = '.';
            text = rewritten;
        }
    }
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) return false;
    }
    if (text.empty()) return false;
    end = text.data() + text.size();
    const auto [last, status] = std::from_chars(text.data(), end, value, std::chars_format::general);
    return status == std::errc() && last == end && std::isfinite(value);
}

CsvFit csvFit(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    std::string header;
    std::vector<std::string> rows;
    bool haveHeader = false;
    CsvFit fit;
    while (rows.size() < static_cast<std::size_t>(csvRowsExamined) && lines.next()) {
        if (isBlankLine(lines.line())) continue;
        (haveHeader ? rows.emplace_back(lines.line()) : header.assign(lines.line()));
        haveHeader = true;
        fit.lastLine = lines.lineNumber();
    }
    for (char separator : {'\t', ';', ','}) fit.inHeader = fit.inHeader || separatorCount(header, separator) > 0;
    CsvFit loose;
    for (char separator : {'\t', ';', ','}) {
        const std::size_t inHeader = separatorCount(header, separator);
        const std::size_t inFirstRow = rows.empty() ? 0 : separatorCount(rows.front(), separator);
        bool same = !rows.empty() && inFirstRow >= 1 && (inHeader == inFirstRow || inHeader + 1 == inFirstRow);
        bool holds = haveHeader && inHeader >= 1;
        for (const std::string& row : rows) {
            const std::size_t count = separatorCount(row, separator);
            const bool year = startsWithYear(row, separator);
            same = same && count == inFirstRow && year;
            holds = holds && count >= 1 && year;
        }
        if (same) {
            loose = {separator, true, fit.inHeader, fit.lastLine};
            break;
        }
        if (holds && loose.separator == '\0') loose = {separator, false, true, fit.lastLine};
    }
    if (loose.separator == '\0') return fit;
    const std::size_t inHeader = separatorCount(header, loose.separator);
    for (const std::string& row : rows) {
        const std::size_t count = separatorCount(row, loose.separator);
        loose.rowsOneMore += count == inHeader + 1 ? 1 : 0;
        loose.rowsAsHeader += count == inHeader ? 1 : 0;
    }
    return loose;
}

namespace {

// A cell of a row as the general reading takes it: its text (a quoted cell
// without its quotes, "" as one quote), its column, and whether the line
// ends after it.
struct CellView {
    std::string_view text;
    long column = 0;
    bool last = false;
};

// One CSV file while it is read. The header is split into cells; every row
// is read in one pass, a number by the quick reading straight into its
// column, and a cell the quick reading does not take (quoted, missing, a
// decimal comma, a fault) by the general one.
class CsvReader {
public:
    CsvReader(std::string_view bytes, const CsvOptions& options, SeriesSet& out, InputError& error)
        : bytes_(bytes),
          lines_(bytes, "the file", LineRules::batch(false)),
          missing_(options.missing),
          missingAsFloat_(static_cast<double>(static_cast<float>(options.missing))),
          out_(out),
          error_(error) {}

    bool read() {
        if (!readHeader()) return false;
        while (lines_.next()) {
            const std::string_view line = lines_.line();
            if (isBlankLine(line) || (width_ == 0 && emptyCells(line))) continue;
            if (width_ == 0 && !shapeFrom(line)) return false;
            if (!readRow(line)) return false;
        }
        if (!lines_.error().empty()) return fail(0, 0, lines_.error());
        if (!anyRow_) return fail(headerLine_, 0, "no data rows after the header");
        finish();
        return true;
    }

private:
    bool fail(long line, long column, std::string message) {
        error_ = {line, column, std::move(message)};
        return false;
    }
    bool fail(const Fault& fault) { return fail(lines_.lineNumber(), fault.column, fault.message); }

    bool readHeader();
    bool shapeFrom(std::string_view row);
    bool emptyCells(std::string_view line);
    bool nextCell(std::string_view line, std::size_t& pos, CellView& cell);
    bool readRow(std::string_view line);
    bool readYear(const CellView& cell);
    bool quickCell(std::string_view line, std::size_t& pos, bool& last, std::size_t k);
    bool cellCountFault(std::string_view line);
    void store(std::size_t k, double value) {
        if (value == missing_ || value == missingAsFloat_) value = missingValue;
        columns_[k - 1].push_back(value);
    }
    void finish();

    std::string_view bytes_;
    LineReader lines_;
    const double missing_, missingAsFloat_;
    SeriesSet& out_;
    InputError& error_;
    long headerLine_ = 0, headerEnd_ = 0;
    char separator_ = ',';
    std::string_view blanks_;
    std::vector<Cell> header_, cells_;
    std::string unquoted_;  // a quoted cell's text with "" made one quote
    std::size_t width_ = 0;  // cells per row, the year's included; 0 before the first row
    bool rowNames_ = false;  // the header names every column but the year's
    bool rowNamesLikely_ = false;  // most rows examined have a cell more than the header
    std::vector<std::vector<double>> columns_;
    long long firstYear_ = 0, year_ = 0;
    bool anyRow_ = false;
};

bool CsvReader::readHeader() {
    while (lines_.next() && isBlankLine(lines_.line())) {
    }
    if (lines_.lineNumber() == 0 || isBlankLine(lines_.line())) return fail(0, 0, "the file is empty");
    headerLine_ = lines_.lineNumber();
    const std::string_view header = lines_.line();
    const CsvFit fit = csvFit(bytes_);
    separator_ = fit.separator;
    rowNamesLikely_ = fit.rowsOneMore > fit.rowsAsHeader;
    if (separator_ == '\0') {  // none fits the rows: the one most frequent in the header
        std::size_t most = 0;
        for (char separator : {',', ';', '\t'})
            if (const std::size_t count = separatorCount(header, separator); count > most)
                most = count, separator_ = separator;
    }
    if (separator_ == '\0') separator_ = ',';
    blanks_ = blanksFor(separator_);
    Fault fault;
    if (!splitCells(header, separator_, header_, fault)) return fail(fault);
    headerEnd_ = columnOf(header.size());
    return true;
}

// Takes the table's width from the first row: that of the header, or one
// cell more, as R writes row names, when more of the rows examined have that
// one cell more than have the header's -- unless that cell is empty, after a
// separator ending the row: then a column without a name. Otherwise a first
// row with a cell more is a faulty row.
bool CsvReader::shapeFrom(std::string_view row) {
    const bool oneMore = rowNamesLikely_ && separatorCount(row, separator_) == header_.size();
    const bool endsInSeparator = base::trimmed(row, blanks_).ends_with(separator_);
    rowNames_ = oneMore && !endsInSeparator;
    if (!rowNames_ && header_.size() < 2)
        return fail(headerLine_, headerEnd_, "expected series names after the year column's title");
    width_ = header_.size() + (oneMore ? 1 : 0);
    for (std::size_t k = rowNames_ ? 0 : 1; k < header_.size(); ++k)
        out_.series.push_back({std::move(header_[k].text), 0, {}, {}});
    if (oneMore && endsInSeparator) out_.series.push_back({});
    columns_.resize(width_ - 1);
    const std::size_t rows = lineCountBound(bytes_);
    for (std::vector<double>& column : columns_) column.reserve(rows);
    if (rowNames_)
        out_.warnings.push_back("line " + std::to_string(headerLine_) + ", the header, names " +
                                std::to_string(header_.size()) + " series for rows of " + std::to_string(width_) +
                                " cells: the first column is read as the years, as R writes row names");
    return true;
}

// Whether every cell of `line` is empty (a line that splits without fault).
bool CsvReader::emptyCells(std::string_view line) {
    Fault fault;
    if (!splitCells(line, separator_, cells_, fault)) return false;
    return std::all_of(cells_.begin(), cells_.end(), [](const Cell& c) { return c.text.empty(); });
}

bool CsvReader::nextCell(std::string_view line, std::size_t& pos, CellView& cell) {
    pos = std::min(line.find_first_not_of(blanks_, pos), line.size());
    cell.column = columnOf(pos);
    if (pos < line.size() && line[pos] == '"') {
        std::size_t close = pos + 1;
        unquoted_.clear();
        for (;;) {
            const std::size_t quote = line.find('"', close);
            if (quote == npos) return fail({cell.column, "expected a closing quote on the same line"});
            unquoted_.append(line.substr(close, quote - close));
            close = quote + 1;
            if (close == line.size() || line[close] != '"') break;
            unquoted_.push_back('"');
            ++close;
        }
        cell.text = unquoted_;
        pos = std::min(line.find_first_not_of(blanks_, close), line.size());
        if (pos < line.size() && line[pos] != separator_)
            return fail({columnOf(pos), "expected a separator after the closing quote, found " +
                                            base::quoted(line.substr(pos, line.find(separator_, pos) - pos))});
    } else {
        const std::size_t end = std::min(line.find(separator_, pos), line.size());
        cell.text = base::trimmed(line.substr(pos, end - pos), blanks_);
        pos = end;
    }
    cell.last = pos >= line.size();
    ++pos;  // past the separator
    return true;
}

bool CsvReader::readRow(std::string_view line) {
    std::size_t pos = 0;
    CellView cell;
    if (!nextCell(line, pos, cell)) return false;
    if (cell.text.empty() && emptyCells(line)) return true;
    if (!readYear(cell)) return false;
    bool last = cell.last;
    for (std::size_t k = 1; k < width_; ++k) {
        if (last) return cellCountFault(line);
        if (quickCell(line, pos, last, k)) continue;
        if (!nextCell(line, pos, cell)) return false;
        last = cell.last;
        double value = missingValue;
        if (!isMissingMark(cell.text) && !parseCsvNumber(cell.text, separator_ != ',', value))
            return fail({cell.column, "expected a number, found " + base::quoted(cell.text)});
        store(k, value);
    }
    if (!last) return cellCountFault(line);
    anyRow_ = true;
    return true;
}

// Reads the cell at line[pos] when it is a number the quick reading takes
// whole; false, moving nothing, when it is not.
bool CsvReader::quickCell(std::string_view line, std::size_t& pos, bool& last, std::size_t k) {
    const char* const end = line.data() + line.size();
    const char* p = line.data() + pos;
    while (p != end && (*p == ' ' || (*p == '\t' && separator_ != '\t'))) ++p;
    double value;
    const char* stop;
    if (!quickDecimal<double, false>(p, end, value, stop)) return false;
    while (stop != end && (*stop == ' ' || (*stop == '\t' && separator_ != '\t'))) ++stop;
    if (stop != end && *stop != separator_) return false;
    store(k, value);
    last = stop == end;
    pos = static_cast<std::size_t>(stop - line.data()) + 1;
    return true;
}

bool CsvReader::readYear(const CellView& cell) {
    const long number = lines_.lineNumber();
    long long rowYear = 0;
    if (!parseYear(cell.text, rowYear))
        return fail(number, cell.column, "expected a year, found " + base::quoted(cell.text));
    if (rowYear < -yearLimit || rowYear > yearLimit) return fail(number, cell.column, yearOutOfRange(rowYear));
    if (!anyRow_) {
        firstYear_ = rowYear;
    } else if (rowYear != year_ + 1) {
        return fail(number, cell.column,
                    "expected year " + std::to_string(year_ + 1) + ", found " + std::to_string(rowYear));
    }
    year_ = rowYear;
    return true;
}

// A row with more or fewer cells than the first: where, and how many.
bool CsvReader::cellCountFault(std::string_view line) {
    Fault fault;
    if (!splitCells(line, separator_, cells_, fault)) return fail(fault);
    const std::size_t found = cells_.size();
    const long where = found < width_ ? columnOf(line.size()) : cells_[width_].column;
    std::string message = std::to_string(found) + " cells, the header has " + std::to_string(header_.size());
    if (rowNames_)
        message = std::to_string(found) + " cells where the rows have " + std::to_string(width_) +
                  " (the header names " + std::to_string(header_.size()) + " series)";
    return fail(lines_.lineNumber(), where, message);
}

// Each series from its first to its last value, its column taken over;
// trailing columns without a name or a value are no series.
void CsvReader::finish() {
    for (std::size_t s = 0; s < columns_.size(); ++s) {
        std::vector<double>& values = columns_[s];
        Series& series = out_.series[s];
        const ValueSpan span = presentSpan(values, [](double v) { return !std::isnan(v); });
        series.firstYear = firstYear_ + static_cast<long long>(span.first);
        if (span.empty()) {
            series.problem = "it has no values";
            series.firstYear = firstYear_;
            continue;
        }
        values.resize(span.end);
        values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(span.first));
        series.values = std::move(values);
    }
    while (!out_.series.empty() && out_.series.back().name.empty() && out_.series.back().values.empty())
        out_.series.pop_back();
}

}  // namespace

bool readCsv(std::string_view bytes, const CsvOptions& options, SeriesSet& out, InputError& error) {
    out = {};
    error = {};
    return CsvReader(bytes, options, out, error).read();
}

}  // namespace detrend::formats
