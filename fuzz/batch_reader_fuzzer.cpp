// The batch readers (Tucson, CSV, free-layout table, Heidelberg, compact,
// TRiDaS), the format detection
// and readSeries on arbitrary bytes. Each reader either reads the bytes into
// series the batch run can rely on, or reports an error at a place that
// exists in the input, in a message without a NUL byte.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/detect_format.hpp"
#include "formats/lines.hpp"
#include "formats/read_compact.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_heidelberg.hpp"
#include "formats/read_series.hpp"
#include "formats/read_table.hpp"
#include "formats/read_tridas.hpp"
#include "formats/read_tucson.hpp"
#include "output/messages.hpp"

using namespace detrend::formats;

namespace {

constexpr long long yearLimit = 1000000;
constexpr long long tucsonYearLimit = 9999;

void check(bool condition) {
    if (!condition) std::abort();
}

// The error names no line or a line of the input, and a column of that line
// or just after its end (`tabsExpanded`: counted with tabs expanded to 8
// columns at most each), in a message that, as the messages show it, holds
// no control character: input text quoted in it may hold any byte.
void checkError(const detrend::base::Diagnostic& error, const std::vector<std::string_view>& lines,
                bool tabsExpanded = false) {
    check(!error.what.empty());
    const std::string shown = detrend::base::escapedControls(error.what);
    check(std::none_of(shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    if (error.line == 0) return check(error.column == 0);
    check(error.line >= 1 && static_cast<std::size_t>(error.line) <= lines.size());
    const std::string_view line = lines[static_cast<std::size_t>(error.line - 1)];
    const long tabs = tabsExpanded ? static_cast<long>(std::count(line.begin(), line.end(), '\t')) : 0;
    const long length = static_cast<long>(line.size()) + 7 * tabs;
    check(error.column >= 0 && error.column <= length + 1);
}

// `slack`: how far the years of values may go past the limit of the years
// written in the input (a Tucson line's year is that of its first value).
// `bound`: the largest magnitude of a year the format accepts. A Tucson
// series holds no missing value at all: an absent ring inside it is 0, and
// years without a line make it unusable.
void checkSet(const SeriesSet& set, bool tucson, long long slack, long long bound = yearLimit) {
    for (const Series& series : set.series) {
        check(!series.values.empty() || series.problem);
        check(!series.problem || !series.problem->empty());
        check(series.depths.empty() || series.depths.size() == series.values.size());
        const long long last = series.firstYear + static_cast<long long>(series.values.size());
        check(series.firstYear >= -bound && last <= bound + slack + 1);
        if (series.values.empty()) continue;
        check(!std::isnan(series.values.front()) && !std::isnan(series.values.back()));
        for (double value : series.values) {
            check(std::isnan(value) || std::isfinite(value));
            if (tucson) check(std::isnan(value) ? series.problem.has_value() : value >= 0.0);
        }
        check(!series.onlyGaps || series.problem);
    }
    for (const std::string& warning : set.warnings) check(!warning.empty());
    if (set.itemsIgnored) check(set.itemsIgnored->lines >= 1 && set.itemsIgnored->found > set.itemsIgnored->columns);
}

// A reader's outcome: series to rely on, or an error at a place that exists.
void checkRead(const detrend::base::Result<SeriesSet>& read, const std::vector<std::string_view>& lines, bool tucson,
               long long slack, long long bound = yearLimit, bool tabsExpanded = false) {
    if (read) return checkSet(*read, tucson, slack, bound);
    checkError(read.error(), lines, tabsExpanded);
}

// readSeries with the format detected: the reader detection chose, and an
// error that tells which format was assumed; a hint to name the format only
// with one assumed, within the lines detection looked at.
void checkReadSeries(std::string_view bytes, std::string_view name, const std::vector<std::string_view>& lines) {
    ReadOptions options;
    options.fileName = std::string(name);
    const Read<SeriesSet> read = readSeries(bytes, options);
    if (read.result) return check(read.hint == ReadHint::none && !read.assumed);
    checkError(read.result.error(), lines, true);
    const bool crn = name.ends_with(".crn");
    check(crn == (read.hint == ReadHint::formatTucsonReadsIt));
    const bool blank = bytes.find_first_not_of(" \t\r\n\x1A") == std::string_view::npos;
    const bool notText = read.result.error().what.starts_with("not a text file");
    check(notText != static_cast<bool>(read.assumed) || crn || blank);
    if (read.hint == ReadHint::giveFormat)
        check(read.assumed && read.result.error().line <= detectFormat(bytes, name).lastLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    LineReader splitter(bytes, "input", LineRules::batch(false));
    while (splitter.next()) lines.push_back(splitter.line());

    for (std::string_view name : {"", "in.rwl", "in.csv", "in.crn", "in.fh", "in.xml"}) {
        const Detection detection = detectFormat(bytes, name);
        check(detection.format == InputFormat::table || detection.format == InputFormat::tucson ||
              detection.format == InputFormat::csv || detection.format == InputFormat::heidelberg ||
              detection.format == InputFormat::compact || detection.format == InputFormat::tridas);
        check(detection.chronology == (name == "in.crn"));
        check(detection.lastLine >= 0 && static_cast<std::size_t>(detection.lastLine) <= lines.size());
    }
    checkReadSeries(bytes, "", lines);
    checkReadSeries(bytes, "in.rwl", lines);
    checkReadSeries(bytes, "in.fh", lines);

    checkRead(readTucson(bytes), lines, true, static_cast<long long>(size), tucsonYearLimit);
    checkRead(readCsv(bytes, CsvOptions{}), lines, false, 0);
    checkRead(readHeidelberg(bytes), lines, false, 0);
    checkRead(readCompact(bytes), lines, false, 0);
    checkRead(readTridas(bytes), lines, false, 0);
    // The free-layout table as batch runs read it: the same lines, columns
    // counted with tabs expanded; with its columns given too.
    checkRead(readTable(bytes, TableOptions{}), lines, false, 0, 1'000'000'000'000'000, true);
    checkRead(readTable(bytes, TableOptions{3, -999.0}), lines, false, 0, 1'000'000'000'000'000, true);
    return 0;
}
