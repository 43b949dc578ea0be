#include "formats/read_table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/free_layout.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

// Years are kept as 64-bit integers; beyond this a year is surely a mistake.
constexpr double largestYear = 1e15;

// Without repeat counts every value takes at least two bytes of the file;
// with them (1000*0) a few bytes can stand for any number of values. A table
// of more values than this is refused rather than left to fill the memory.
std::size_t valueLimit(std::string_view bytes) { return std::max<std::size_t>(bytes.size(), std::size_t{1} << 20); }

std::string tooManyValuesForFile(std::size_t limit, std::size_t bytes) {
    return "the table would hold more than " + std::to_string(limit) + " values, from a file of " +
           std::to_string(bytes) + " bytes: is a repeat count (r*v) too large?";
}

base::Diagnostic readError(const FreeReader& reader, const ScanResult& result) {
    base::Diagnostic error = reader.diagnostic(result);
    if (result.status == ScanStatus::unreadable) return error;
    if (result.status == ScanStatus::endOfFile) error.what = "the file ends before all the names are read";
    if (result.item > 0)
        error.what += " (item " + std::to_string(result.item) + ": " + base::quoted(result.token) + ")";
    return error;
}

// Where an item stands: 1-based line and column.
struct Place {
    long line = 0, column = 0;
};

// The table's values column after column, so that each series can take its
// column over without a copy, and where each row's year stands.
struct Columns {
    std::vector<std::vector<double>> values;
    std::vector<Place> yearPlaces;
    long cutRowLine = 0;  // the line of a last row the file ends inside, or 0
};

// Whether `text` holds a decimal comma: a digit, a comma, a digit.
bool holdsDecimalComma(std::string_view text) {
    for (std::size_t at = text.find(','); at != std::string_view::npos; at = text.find(',', at + 1))
        if (at > 0 && at + 1 < text.size() && isDigit(text[at - 1]) && isDigit(text[at + 1])) return true;
    return false;
}

// Why a row that ends on `row` holds `count` values where the names line
// gave `width` columns; `begin`: the line where the row begins.
std::string tooManyValues(std::size_t count, std::size_t width, std::string_view row, long begin, long end,
                          bool slashInNames) {
    std::string message =
        std::to_string(count) + " values where the names line has " + std::to_string(width) + " columns";
    if (begin < end)
        return message + " (the row begins on line " + std::to_string(begin) + ": does it lack a value there?)";
    if (holdsDecimalComma(row)) return message + ": are these decimal commas? Write 2.84, not 2,84";
    if (slashInNames) return message + ": a \"/\" ends the names line early (a name may not hold \"/\")";
    if (count == width + 1) return message + ": is the year column's label missing from the names line?";
    return message + " (a missing year label, decimal commas or a \"/\" in a name?)";
}

// The columns of a table and where their number came from.
struct Shape {
    std::size_t width = 0;
    bool given = false;  // by the caller, not by the names line
    bool slashInNames = false;  // a "/" ended the names line before its end
};

// The items after the names or a row on the line where it ended: counted
// in `ignored` when the columns were given, an error otherwise.
base::Status checkRest(FreeReader& reader, const Shape& shape, ItemsIgnored& ignored) {
    std::size_t column = 0;
    const std::size_t extra = reader.itemsAfterRead(column);
    if (extra == 0) return {};
    const long line = reader.lines().lineNumber();
    if (shape.given) {
        if (ignored.lines++ == 0) {
            ignored.firstLine = line;
            ignored.found = shape.width + extra;
            ignored.columns = shape.width;
        }
        return {};
    }
    return base::failure(tooManyValues(shape.width + extra, shape.width, reader.lines().line(), reader.firstItemLine(),
                                       line, shape.slashInNames),
                         line, static_cast<long>(column));
}

// The text of the year just read: the item at its place when it stands on
// the reader's line, else the number as read.
std::string yearText(FreeReader& reader, double year) {
    const std::string_view line = reader.lines().line();
    const std::size_t at = reader.firstItemColumn() - 1;
    if (reader.firstItemLine() == reader.lines().lineNumber() && at < line.size())
        return std::string(line.substr(at, line.find_first_of(" ,/", at) - at));
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, year);
    return std::string(text, written.ptr);
}

// A row's year: a whole number (a zero fraction allowed), in range.
base::Status checkYear(FreeReader& reader, double year, Place place) {
    if (!(std::fabs(year) <= largestYear))
        return base::failure("the year is not a number of at most 15 digits", place.line, place.column);
    if (year != std::trunc(year))
        return base::failure("expected a year, found " + base::quoted(yearText(reader, year)), place.line,
                             place.column);
    if (std::fabs(year) > static_cast<double>(yearLimit))
        return base::failure(yearOutOfRange(static_cast<long long>(year)), place.line, place.column);
    return {};
}

base::Status readRows(std::string_view bytes, FreeReader& reader, const Shape& shape, Columns& columns,
                      ItemsIgnored& ignored) {
    const std::size_t width = shape.width;
    columns.values.assign(width, {});
    // No more rows than lines: enough room from the start, no regrowth.
    const std::size_t limit = valueLimit(bytes);
    const std::size_t rowLimit = limit / width;
    const std::size_t rowsReserved = std::min(lineCountBound(bytes), rowLimit);
    for (auto& c : columns.values) c.reserve(rowsReserved);
    std::vector<double> row(width);
    for (;;) {
        std::fill(row.begin(), row.end(), 0.0);
        const ScanResult r = reader.read(std::span(row));
        if (r.status == ScanStatus::endOfFile) {
            // Items found before the end: a row cut short.
            columns.cutRowLine = reader.firstItemLine();
            break;
        }
        if (r.status != ScanStatus::ok) return readError(reader, r);
        if (base::Status rest = checkRest(reader, shape, ignored); !rest) return rest;
        const Place place{reader.firstItemLine(), static_cast<long>(reader.firstItemColumn())};
        if (base::Status year = checkYear(reader, row[0], place); !year) return year;
        if (columns.yearPlaces.size() == rowLimit)
            return base::failure(tooManyValuesForFile(limit, bytes.size()), place.line, place.column);
        for (std::size_t k = 0; k < width; ++k) columns.values[k].push_back(row[k]);
        columns.yearPlaces.push_back(place);
    }
    if (columns.yearPlaces.empty()) return base::failure("no data rows after the names", reader.lines().lineNumber());
    return {};
}

// The year column, rising by one (each year checked as its row was read).
base::Status readYears(const Columns& columns, std::vector<long long>& years) {
    const std::size_t rows = columns.yearPlaces.size();
    years.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        years[i] = static_cast<long long>(columns.values[0][i]);
        if (i > 0 && years[i] != years[i - 1] + 1) {
            const Place place = columns.yearPlaces[i];
            return base::failure(
                "years do not rise by one: " + std::to_string(years[i]) + " follows " + std::to_string(years[i - 1]),
                place.line, place.column);
        }
    }
    return {};
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
    LineReader lines(bytes, "the file", LineRules::batch(true));
    while (lines.next()) {
        if (lines.line().find_first_not_of(' ') != std::string_view::npos)
            return static_cast<int>(std::min<std::size_t>(countItems(lines.line()), 1u << 30));
    }
    return 0;
}

namespace {

// Whether the first line that is not blank holds a "/" with text after it
// (outside quotes), which ends the names there.
bool slashEndsNames(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(true));
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (line.find_first_not_of(' ') == std::string_view::npos) continue;
        char quote = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (quote != 0) {
                if (line[i] == quote) quote = 0;
            } else if (line[i] == '\'' || line[i] == '"') {
                quote = line[i];
            } else if (line[i] == '!') {
                return false;
            } else if (line[i] == '/') {
                return line.find_first_not_of(' ', i + 1) != std::string_view::npos;
            }
        }
        return false;
    }
    return false;
}

}  // namespace

base::Result<SeriesSet> readTable(std::string_view bytes, const TableOptions& options) {
    // The byte order mark and end-of-file marks the line splitter skips are
    // no content either.
    const std::string_view content = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    if (content.find_first_not_of(" \t\r\n\x1A") == std::string_view::npos) return base::failure("the file is empty");
    const int columns = options.columns > 0 ? options.columns : countFirstLineNames(bytes);
    if (columns < 2) return base::failure("the first line must name the year column and at least one series", 1, 1);
    if (static_cast<std::size_t>(columns) > valueLimit(bytes))
        return base::failure(tooManyValuesForFile(valueLimit(bytes), bytes.size()), 1, 1);
    const Shape shape{static_cast<std::size_t>(columns), options.columns > 0, slashEndsNames(bytes)};
    LineReader lines(bytes, "the file", LineRules::batch(true));
    FreeReader reader(lines);
    std::vector<SeriesName> names(shape.width, SeriesName::from(""));
    if (const ScanResult r = reader.read(std::span(names)); r.status != ScanStatus::ok) return readError(reader, r);
    ItemsIgnored ignored;
    Columns table;
    std::vector<long long> years;
    if (base::Status read = checkRest(reader, shape, ignored); !read) return read.error();
    if (base::Status read = readRows(bytes, reader, shape, table, ignored); !read) return read.error();
    if (base::Status read = readYears(table, years); !read) return read.error();
    SeriesSet out;
    for (std::size_t k = 1; k < shape.width; ++k)
        out.series.push_back(columnSeries(names[k].trimmed(), table.values[k], years, options.missing));
    if (ignored.lines > 0) out.itemsIgnored = ignored;
    if (table.cutRowLine > 0)
        out.warnings.push_back("the file ends inside the row of line " + std::to_string(table.cutRowLine) +
                               ", before its " + std::to_string(shape.width) +
                               " values: the file seems cut off; that row is left out");
    return out;
}

}  // namespace detrend::formats
