#include "formats/read_csv.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "formats/detect_format.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr double missingValue = std::numeric_limits<double>::quiet_NaN();

struct Cell {
    std::string text;
    long column = 0;  // of the cell's first character after blanks
};

// A quoted cell starting at line[pos] (the quote): its text, and the
// position after the closing quote; the fault when it is not closed.
base::Status quotedCell(std::string_view line, std::size_t& pos, Cell& cell) {
    for (++pos;; ++pos) {
        if (pos >= line.size()) return base::failure("expected a closing quote on the same line", 0, cell.column);
        if (line[pos] == '"') {
            if (pos + 1 < line.size() && line[pos + 1] == '"') {
                ++pos;
            } else {
                ++pos;
                return {};
            }
        }
        cell.text.push_back(line[pos]);
    }
}

// Splits `line` into `cells`; the fault (at a column, line 0) when a quoted
// cell is not closed or text follows its closing quote. The header, and rows
// the quick reading leaves, are read so.
base::Status splitCells(std::string_view line, char separator, std::vector<Cell>& cells) {
    const std::string_view blanks = csvBlanks(separator);
    cells.clear();
    std::size_t pos = 0;
    for (;;) {
        pos = std::min(line.find_first_not_of(blanks, pos), line.size());
        Cell cell;
        cell.column = columnOf(pos);
        if (pos < line.size() && line[pos] == '"') {
            if (base::Status closed = quotedCell(line, pos, cell); !closed) return closed;
            pos = std::min(line.find_first_not_of(blanks, pos), line.size());
            if (pos < line.size() && line[pos] != separator)
                return base::failure("expected a separator after the closing quote, found " +
                                         base::quoted(line.substr(pos, line.find(separator, pos) - pos)),
                                     0, columnOf(pos));
        } else {
            const std::size_t end = std::min(line.find(separator, pos), line.size());
            cell.text = base::trimmed(line.substr(pos, end - pos), blanks);
            pos = end;
        }
        cells.push_back(std::move(cell));
        if (pos >= line.size()) return {};
        ++pos;  // the separator
    }
}

bool isMissingMark(std::string_view text) {
    if (text.empty()) return true;
    if (text.size() < 2 || text.size() > 3 || (text[0] != 'N' && text[0] != 'n')) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(text[1]) == 'a' && (text.size() == 2 || lower(text[2]) == 'n');
}

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
    CsvReader(std::string_view bytes, const CsvOptions& options, SeriesSet& out)
        : bytes_(bytes),
          lastByte_(bytes.data() + (bytes.find_last_not_of('\x1A') + 1)),
          lines_(bytes, "the file", LineRules::batch(false)),
          missing_(options.missing),
          missingAsFloat_(static_cast<double>(static_cast<float>(options.missing))),
          out_(out) {}

    base::Status read() {
        if (base::Status header = readHeader(); !header) return header;
        while (lines_.next()) {
            const std::string_view line = lines_.line();
            if (isBlankLine(line) || (width_ == 0 && emptyCells(line))) continue;
            if (width_ == 0) {
                if (base::Status shape = shapeFrom(line); !shape) return shape;
            }
            if (base::Status row = readRow(line); !row) return row;
        }
        if (!lines_.status()) return lines_.status();
        if (!anyRow_) return base::failure("no data rows after the header", headerLine_);
        finish();
        return {};
    }

private:
    // A fault of the current line at a column.
    base::Status fail(long column, std::string what) const {
        return base::failure(std::move(what), lines_.lineNumber(), column);
    }
    // A fault at a column (its line 0) placed on the current line.
    base::Status onThisLine(const base::Status& fault) const {
        return fault ? fault : fail(fault.error().column, fault.error().what);
    }

    base::Status readHeader();
    base::Status shapeFrom(std::string_view row);
    bool emptyCells(std::string_view line);
    base::Status nextCell(std::string_view line, std::size_t& pos, CellView& cell);
    base::Status readRow(std::string_view line);
    base::Status readYear(const CellView& cell);
    bool quickCell(std::string_view line, std::size_t& pos, bool& last, std::size_t k);
    base::Status cellCountFault(std::string_view line);
    // The series of cell k (k >= 1, not the year's).
    std::size_t seriesOf(std::size_t k) const { return k - 1 - (rowNumbers_ && k > yearCell_ ? 1 : 0); }
    void store(std::size_t k, double value) {
        if (value == missing_ || value == missingAsFloat_) value = missingValue;
        columns_[seriesOf(k)].push_back(value);
    }
    bool findYearColumn(std::string_view row);
    base::Status readRowNumber(const CellView& cell);
    bool endsWithoutLineEnd(std::string_view line) const {
        return line.data() + line.size() == lastByte_ && separatorCount(line, separator_) + 1 < width_;
    }
    base::Status readCutRow(std::string_view line);
    void finish();

    std::string_view bytes_;
    const char* lastByte_;  // the end of the bytes, without end-of-file marks
    LineReader lines_;
    const double missing_, missingAsFloat_;
    SeriesSet& out_;
    long headerLine_ = 0, headerEnd_ = 0;
    char separator_ = ',';
    std::string_view blanks_;
    std::vector<Cell> header_, cells_;
    std::string unquoted_;  // a quoted cell's text with "" made one quote
    std::size_t width_ = 0;  // cells per row, the year's included; 0 before the first row
    bool rowNames_ = false;  // the header names every column but the year's
    bool rowNamesLikely_ = false;  // most rows examined have a cell more than the header
    // The first column counts the rows (R's write.csv, pandas' to_csv) and
    // the years stand in cell yearCell_; else the years are the first cell.
    bool rowNumbers_ = false;
    std::size_t yearCell_ = 0;
    long long rowNumber_ = 0;  // of the latest row
    std::vector<std::vector<double>> columns_;
    long long firstYear_ = 0, year_ = 0;
    bool anyRow_ = false;
};

base::Status CsvReader::readHeader() {
    while (lines_.next() && isBlankLine(lines_.line())) {
    }
    if (lines_.lineNumber() == 0 || isBlankLine(lines_.line())) return base::failure("the file is empty");
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
    blanks_ = csvBlanks(separator_);
    if (base::Status split = splitCells(header, separator_, header_); !split) return onThisLine(split);
    headerEnd_ = columnOf(header.size());
    return {};
}

// Takes the table's width from the first row: that of the header, or one
// cell more, as R writes row names, when more of the rows examined have that
// one cell more than have the header's -- unless that cell is empty, after a
// separator ending the row: then a column without a name. Otherwise a first
// row with a cell more is a faulty row.
base::Status CsvReader::shapeFrom(std::string_view row) {
    const bool oneMore = rowNamesLikely_ && separatorCount(row, separator_) == header_.size();
    const bool endsInSeparator = base::trimmed(row, blanks_).ends_with(separator_);
    rowNames_ = oneMore && !endsInSeparator;
    if (!rowNames_ && header_.size() < 2)
        return base::failure("expected series names after the year column's title", headerLine_, headerEnd_);
    width_ = header_.size() + (oneMore ? 1 : 0);
    rowNumbers_ = !rowNames_ && findYearColumn(row);
    for (std::size_t k = rowNames_ ? 0 : 1; k < header_.size(); ++k)
        if (!rowNumbers_ || k != yearCell_) out_.series.push_back({std::move(header_[k].text), 0, {}, {}, false});
    if (oneMore && endsInSeparator) out_.series.push_back({});
    columns_.resize(width_ - (rowNumbers_ ? 2 : 1));
    const std::size_t rows = lineCountBound(bytes_);
    for (std::vector<double>& column : columns_) column.reserve(rows);
    if (rowNames_)
        out_.warnings.push_back("line " + std::to_string(headerLine_) + ", the header, names " +
                                std::to_string(header_.size()) + " series for rows of " + std::to_string(width_) +
                                " cells: the first column is read as the years, as R writes row names");
    return {};
}

// Whether the first column, its header cell empty, counts the rows from 0
// or 1 while a later header cell is named like a year column ("year",
// "Year", "yr", ...), as R's write.csv and pandas' to_csv write a table
// with its row numbers: then the years are read from that column.
bool CsvReader::findYearColumn(std::string_view row) {
    if (header_.empty() || !header_[0].text.empty() || !splitCells(row, separator_, cells_) || cells_.empty())
        return false;
    long long first = 0;
    if (!wholeInteger(cells_[0].text, first) || (first != 0 && first != 1)) return false;
    for (std::size_t k = 1; k < header_.size(); ++k) {
        const std::string name = base::asciiLowered(base::trimmed(header_[k].text));
        if (name == "year" || name == "years" || name == "yr" || name == "jahr") {
            yearCell_ = k;
            rowNumber_ = first - 1;
            out_.warnings.push_back(
                "the first column, without a name, counts the rows (as R's write.csv or "
                "pandas' to_csv writes them); the years are read from column " +
                std::to_string(k + 1) + ", " + base::quoted(header_[k].text));
            return true;
        }
    }
    return false;
}

base::Status CsvReader::readRowNumber(const CellView& cell) {
    long long number = 0;
    if (!wholeInteger(cell.text, number) || number != rowNumber_ + 1)
        return fail(cell.column,
                    "expected the row number " + std::to_string(rowNumber_ + 1) + ", found " + base::quoted(cell.text));
    rowNumber_ = number;
    return {};
}

// Whether every cell of `line` is empty (a line that splits without fault).
bool CsvReader::emptyCells(std::string_view line) {
    if (!splitCells(line, separator_, cells_)) return false;
    return std::all_of(cells_.begin(), cells_.end(), [](const Cell& c) { return c.text.empty(); });
}

base::Status CsvReader::nextCell(std::string_view line, std::size_t& pos, CellView& cell) {
    pos = std::min(line.find_first_not_of(blanks_, pos), line.size());
    cell.column = columnOf(pos);
    if (pos < line.size() && line[pos] == '"') {
        std::size_t close = pos + 1;
        unquoted_.clear();
        for (;;) {
            const std::size_t quote = line.find('"', close);
            if (quote == npos) return fail(cell.column, "expected a closing quote on the same line");
            unquoted_.append(line.substr(close, quote - close));
            close = quote + 1;
            if (close == line.size() || line[close] != '"') break;
            unquoted_.push_back('"');
            ++close;
        }
        cell.text = unquoted_;
        pos = std::min(line.find_first_not_of(blanks_, close), line.size());
        if (pos < line.size() && line[pos] != separator_)
            return fail(columnOf(pos), "expected a separator after the closing quote, found " +
                                           base::quoted(line.substr(pos, line.find(separator_, pos) - pos)));
    } else {
        const std::size_t end = std::min(line.find(separator_, pos), line.size());
        cell.text = base::trimmed(line.substr(pos, end - pos), blanks_);
        pos = end;
    }
    cell.last = pos >= line.size();
    ++pos;  // past the separator
    return {};
}

base::Status CsvReader::readRow(std::string_view line) {
    if (endsWithoutLineEnd(line)) return readCutRow(line);
    std::size_t pos = 0;
    CellView cell;
    if (base::Status first = nextCell(line, pos, cell); !first) return first;
    if (cell.text.empty() && emptyCells(line)) return {};
    if (base::Status first = rowNumbers_ ? readRowNumber(cell) : readYear(cell); !first) return first;
    bool last = cell.last;
    for (std::size_t k = 1; k < width_; ++k) {
        if (last) return cellCountFault(line);
        if (k != yearCell_ && quickCell(line, pos, last, k)) continue;
        if (base::Status next = nextCell(line, pos, cell); !next) return next;
        last = cell.last;
        if (rowNumbers_ && k == yearCell_) {
            if (base::Status year = readYear(cell); !year) return year;
            continue;
        }
        double value = missingValue;
        const char* const end = cell.text.data() + cell.text.size();
        if (!isMissingMark(cell.text) && !parseCsvNumber(cell.text.data(), end, value, separator_ != ',').endsAt(end))
            return fail(cell.column, "expected a number, found " + base::quoted(cell.text));
        store(k, value);
    }
    if (!last) return cellCountFault(line);
    anyRow_ = true;
    return {};
}

// The last line, without a line end, holds fewer cells than the rows: the
// file was cut off. The cells before the last one present are read, the
// rest are missing (the last one present may be cut); without a value
// before it, the row is left out. Noted.
base::Status CsvReader::readCutRow(std::string_view line) {
    if (base::Status split = splitCells(line, separator_, cells_); !split) return onThisLine(split);
    const std::size_t present = cells_.size(), yearAt = rowNumbers_ ? yearCell_ : 0;
    std::string note = "line " + std::to_string(lines_.lineNumber()) + ", the last, has no line end and " +
                       std::to_string(present) + " of " + std::to_string(width_) + " cells: the file seems cut off; ";
    if (present <= yearAt + 1) {
        out_.warnings.push_back(note + "the row is left out");
        return {};
    }
    if (rowNumbers_) {
        if (base::Status number = readRowNumber({cells_[0].text, cells_[0].column, false}); !number) return number;
    }
    if (base::Status year = readYear({cells_[yearAt].text, cells_[yearAt].column, false}); !year) return year;
    for (std::size_t k = 1; k < width_; ++k) {
        if (rowNumbers_ && k == yearCell_) continue;
        double value = missingValue;
        if (k + 1 < present) {
            const std::string& text = cells_[k].text;
            const char* const end = text.data() + text.size();
            if (!isMissingMark(text) && !parseCsvNumber(text.data(), end, value, separator_ != ',').endsAt(end))
                return fail(cells_[k].column, "expected a number, found " + base::quoted(text));
        }
        store(k, value);
    }
    out_.warnings.push_back(note + "its cells from column " + std::to_string(cells_[present - 1].column) +
                            " on are read as missing");
    anyRow_ = true;
    return {};
}

// Reads the cell at line[pos] when it is a number the quick reading takes
// whole; false, moving nothing, when it is not.
bool CsvReader::quickCell(std::string_view line, std::size_t& pos, bool& last, std::size_t k) {
    const char* const end = line.data() + line.size();
    const char* p = line.data() + pos;
    while (p != end && (*p == ' ' || (*p == '\t' && separator_ != '\t'))) ++p;
    double value;
    const NumberRead read = quickDecimal<double, false>(p, end, value);
    if (read.ec != std::errc()) return false;
    const char* stop = read.ptr;
    while (stop != end && (*stop == ' ' || (*stop == '\t' && separator_ != '\t'))) ++stop;
    if (stop != end && *stop != separator_) return false;
    store(k, value);
    last = stop == end;
    pos = static_cast<std::size_t>(stop - line.data()) + 1;
    return true;
}

base::Status CsvReader::readYear(const CellView& cell) {
    long long rowYear = 0;
    if (!csvYear(cell.text, rowYear)) return fail(cell.column, "expected a year, found " + base::quoted(cell.text));
    if (rowYear < -yearLimit || rowYear > yearLimit) return fail(cell.column, yearOutOfRange(rowYear));
    if (!anyRow_) {
        firstYear_ = rowYear;
    } else if (rowYear != year_ + 1) {
        return fail(cell.column, "expected year " + std::to_string(year_ + 1) + ", found " + std::to_string(rowYear));
    }
    year_ = rowYear;
    return {};
}

// A row with more or fewer cells than the first: where, and how many.
base::Status CsvReader::cellCountFault(std::string_view line) {
    if (base::Status split = splitCells(line, separator_, cells_); !split) return onThisLine(split);
    const std::size_t found = cells_.size();
    const long where = found < width_ ? columnOf(line.size()) : cells_[width_].column;
    std::string message = std::to_string(found) + " cells, the header has " + std::to_string(header_.size());
    if (rowNames_)
        message = std::to_string(found) + " cells where the rows have " + std::to_string(width_) +
                  " (the header names " + std::to_string(header_.size()) + " series)";
    return fail(where, message);
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

base::Result<SeriesSet> readCsv(std::string_view bytes, const CsvOptions& options) {
    SeriesSet set;
    if (base::Status read = CsvReader(bytes, options, set).read(); !read) return read.error();
    return set;
}

}  // namespace detrend::formats
