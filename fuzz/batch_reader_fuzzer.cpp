// The batch readers (Tucson, CSV, free-layout table) and the format detection on arbitrary
// bytes. Each reader either reads the bytes into series the batch run can
// rely on, or reports an error at a place that exists in the input.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/detect_format.hpp"
#include "formats/lines.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_table.hpp"
#include "formats/read_tucson.hpp"

using namespace detrend::formats;

namespace {

constexpr long long yearLimit = 1000000;

void check(bool condition) {
    if (!condition) std::abort();
}

// The error names no line or a line of the input, and a column of that line
// or just after its end.
void checkError(const InputError& error, const std::vector<std::string_view>& lines) {
    check(!error.message.empty());
    if (error.line == 0) return check(error.column == 0);
    check(error.line >= 1 && static_cast<std::size_t>(error.line) <= lines.size());
    const long length = static_cast<long>(lines[static_cast<std::size_t>(error.line - 1)].size());
    check(error.column >= 0 && error.column <= length + 1);
}

// `slack`: how far the years of values may go past the limit of the years
// written in the input (a Tucson line's year is that of its first value).
// `bound`: the largest magnitude of a year the format accepts.
void checkSet(const SeriesSet& set, bool tucson, long long slack, long long bound = yearLimit) {
    for (const Series& series : set.series) {
        check(!series.values.empty() || !series.problem.empty());
        const long long last = series.firstYear + static_cast<long long>(series.values.size());
        check(series.firstYear >= -bound && last <= bound + slack + 1);
        if (series.values.empty()) continue;
        check(!std::isnan(series.values.front()) && !std::isnan(series.values.back()));
        if (tucson) {
            const auto given =
                std::count_if(series.values.begin(), series.values.end(), [](double v) { return !std::isnan(v); });
            check(static_cast<long long>(series.values.size()) <= tucsonSpanLimit(given));
        }
        for (double value : series.values) {
            check(std::isnan(value) || std::isfinite(value));
            if (tucson) check(std::isnan(value) || value >= 0.0);
        }
    }
    for (const std::string& warning : set.warnings) check(!warning.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    LineReader splitter(bytes, "input", LineRules::batch(false));
    while (splitter.next()) lines.push_back(splitter.line());

    const InputFormat format = detectFormat(bytes);
    check(format == InputFormat::table || format == InputFormat::tucson || format == InputFormat::csv);

    SeriesSet set;
    InputError error;
    if (readTucson(bytes, set, error)) {
        check(error.message.empty());
        checkSet(set, true, static_cast<long long>(size));
    } else {
        checkError(error, lines);
    }
    if (readCsv(bytes, CsvOptions{}, set, error)) {
        check(error.message.empty());
        checkSet(set, false, 0);
    } else {
        checkError(error, lines);
    }
    // The free-layout table as batch runs read it: its errors come from the
    // line reader, which counts lines its own way, so only their text is
    // checked.
    error = {};
    if (readTable(bytes, TableOptions{}, set, error)) {
        check(error.message.empty());
        checkSet(set, false, 0, 1'000'000'000'000'000);
    } else {
        check(!error.message.empty() && error.line >= 0 && error.column >= 0);
    }
    return 0;
}
