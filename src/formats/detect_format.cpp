#include "formats/detect_format.hpp"

#include <cstddef>

#include "formats/lines.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::formats {
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

InputFormat detectFormat(std::string_view bytes) {
    LineReader lines(bytes, "input", LineRules::batch(false));
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

}  // namespace detrend::formats
