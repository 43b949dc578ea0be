#include "driver/free_table.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "driver/failure.hpp"
#include "driver/freeform.hpp"
#include "driver/lines.hpp"
#include "driver/table.hpp"

namespace detrend {
namespace {

// Years are kept as 64-bit integers; beyond this a year is surely a mistake.
constexpr double largestYear = 1e15;

bool readError(const ScanResult& result, InputError& error) {
    error.line = result.line;
    error.column = static_cast<long>(result.column);
    error.message = std::string(reasonText(result.status));
    if (result.status == ScanStatus::endOfFile) error.message = "the file ends before all the names are read";
    if (result.item > 0)
        error.message += " (item " + std::to_string(result.item) + ": \"" + shownItem(result.token) + "\")";
    return false;
}

}  // namespace

int countFirstLineNames(std::string_view bytes) {
    LineReader lines(bytes, "table");
    std::string_view text;
    for (;;) {
        if (!lines.next()) return 0;
        text = lines.line();
        if (text.find_first_not_of(' ') != std::string_view::npos) break;
    }
    int count = 0;
    std::size_t pos = 0;
    bool afterItem = false;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ') {
            ++pos;
        } else if (c == ',') {
            if (!afterItem) ++count;  // an empty item
            afterItem = false;
            ++pos;
        } else if (c == '!' || c == '/') {
            break;
        } else if (c == '\'' || c == '"') {
            ++pos;
            for (; pos < text.size(); ++pos) {
                if (text[pos] != c) continue;
                if (pos + 1 < text.size() && text[pos + 1] == c) {
                    ++pos;
                    continue;
                }
                ++pos;
                break;
            }
            ++count;
            afterItem = true;
        } else {
            while (pos < text.size() && text[pos] != ' ' && text[pos] != ',' && text[pos] != '/') ++pos;
            ++count;
            afterItem = true;
        }
    }
    return count;
}

bool readFreeTable(std::string_view bytes, const FreeTableOptions& options, SeriesSet& out, InputError& error) {
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
    try {
        LineReader lines(bytes, "table");
        FreeReader reader(lines);
        std::vector<SeriesName> names(width, SeriesName::from(""));
        if (const ScanResult r = reader.read(std::span(names)); r.status != ScanStatus::ok) return readError(r, error);

        // The values column after column, so that each series can take its
        // column over without a copy.
        std::vector<std::vector<double>> columnValues(width);
        // No more rows than lines: enough room from the start, no regrowth.
        const auto lineCount = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
        for (auto& c : columnValues) c.reserve(lineCount);
        std::vector<long> rowLines;
        std::vector<double> row(width);
        for (;;) {
            std::fill(row.begin(), row.end(), 0.0);
            const ScanResult r = reader.read(std::span(row));
            if (r.status == ScanStatus::endOfFile) break;
            if (r.status != ScanStatus::ok) return readError(r, error);
            for (std::size_t k = 0; k < width; ++k) columnValues[k].push_back(row[k]);
            rowLines.push_back(r.line);
        }
        const std::size_t N = rowLines.size();
        if (N == 0) {
            error = {lines.lineNumber(), 0, "no data rows after the names"};
            return false;
        }

        std::vector<long long> years(N);
        for (std::size_t i = 0; i < N; ++i) {
            const double whole = std::trunc(columnValues[0][i]);
            if (!(std::fabs(whole) <= largestYear)) {
                error = {rowLines[i], 1, "the year is not a number of at most 15 digits"};
                return false;
            }
            years[i] = static_cast<long long>(whole);
            if (i > 0 && years[i] != years[i - 1] + 1) {
                error = {rowLines[i], 1,
                         "years do not rise by one: " + std::to_string(years[i]) + " follows " +
                             std::to_string(years[i - 1])};
                return false;
            }
        }

        const double flag = options.missing;
        const double singleFlag = static_cast<double>(static_cast<float>(flag));
        auto missing = [&](double v) { return v == flag || v == singleFlag || std::isnan(v); };
        for (std::size_t k = 1; k < width; ++k) {
            Series series;
            series.name = std::string(names[k].trimmed());
            std::vector<double>& v = columnValues[k];
            std::size_t first = N, last = 0;
            for (std::size_t i = 0; i < N; ++i) {
                if (missing(v[i])) continue;
                if (first == N) first = i;
                last = i;
            }
            if (first == N) {
                series.problem = "it has no values";
            } else {
                series.firstYear = years[first];
                for (std::size_t i = first; i <= last; ++i)
                    if (missing(v[i])) v[i] = std::nan("");
                v.resize(last + 1);
                v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(first));
                series.values = std::move(v);
            }
            std::vector<double>().swap(v);
            out.series.push_back(std::move(series));
        }
    } catch (const RunEnd& end) {  // the line reader's limits
        error = {0, 0, end.report};
        return false;
    }
    return true;
}

}  // namespace detrend
