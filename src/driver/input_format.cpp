#include "driver/input_format.hpp"

#include <cstddef>

#include "driver/csv.hpp"
#include "driver/tucson.hpp"

namespace detrend {
namespace {

// A Tucson line that a table row cannot be mistaken for (see detectFormat).
bool isTucsonLine(std::string_view line) {
    TucsonColumns columns;
    if (!readTucsonColumns(line, columns)) return false;
    const bool numericId = columns.id.find_first_not_of("0123456789") == std::string_view::npos;
    return !numericId || columns.lastValue == 999 || columns.lastValue == -9999;
}

// Whether the first cell of `line` is a whole number, as the year of a csv
// row is.
bool startsWithYear(std::string_view line, char separator) {
    std::string_view cell = line.substr(0, line.find(separator));
    const std::size_t first = cell.find_first_not_of(" \t\"");
    if (first == std::string_view::npos) return false;
    cell = cell.substr(first, cell.find_last_not_of(" \t\"") - first + 1);
    if (cell.starts_with('-')) cell.remove_prefix(1);
    return !cell.empty() && cell.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

TextLines::TextLines(std::string_view bytes) : rest_(bytes) {
    if (rest_.starts_with("\xEF\xBB\xBF")) rest_.remove_prefix(3);
    while (rest_.ends_with('\x1A')) rest_.remove_suffix(1);
}

bool TextLines::next() {
    if (atEnd_ || rest_.empty()) {
        atEnd_ = true;
        line_ = {};
        return false;
    }
    const std::size_t newline = rest_.find('\n');
    if (newline == std::string_view::npos) {
        line_ = rest_;
        rest_ = {};
    } else {
        line_ = rest_.substr(0, newline);
        rest_.remove_prefix(newline + 1);
        while (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
    }
    ++number_;
    return true;
}

bool isBlankLine(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

InputFormat detectFormat(std::string_view bytes) {
    TextLines lines(bytes);
    bool haveHeader = false, tucson = false, csvLater = false;
    char separator = '\0';
    std::size_t separators = 0;
    long dataLines = 0;
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (isBlankLine(line)) continue;
        tucson = tucson || isTucsonLine(line);
        if (!haveHeader) {
            haveHeader = true;
            separator = csvSeparator(line);
            if (separator != '\0') separators = csvSeparatorCount(line, separator);
            continue;
        }
        ++dataLines;
        const bool csvRow =
            separator != '\0' && csvSeparatorCount(line, separator) == separators && startsWithYear(line, separator);
        if (dataLines == 1 && csvRow) return InputFormat::csv;
        csvLater = csvLater || csvRow;
        if (tucson) return InputFormat::tucson;
    }
    if (tucson) return InputFormat::tucson;
    return csvLater ? InputFormat::csv : InputFormat::table;
}

}  // namespace detrend
