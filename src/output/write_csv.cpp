#include "output/write_csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace detrend::output {

std::string csvField(std::string_view name) {
    const bool quote = name.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!name.empty() && (name.front() == ' ' || name.back() == ' '));
    if (!quote) return std::string(name);
    std::string field = "\"";
    for (char c : name) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

std::string wideCsv(const std::vector<IndexColumn>& columns) {
    std::string all;
    (void)writeWideCsv(columns, [&](std::string_view piece) {
        all += piece;
        return Status::success();
    });
    return all;
}

Status writeWideCsv(const std::vector<IndexColumn>& columns, const std::function<Status(std::string_view)>& put) {
    constexpr std::size_t piece = 1 << 20;
    std::string text = "year";
    long long first = std::numeric_limits<long long>::max(), last = std::numeric_limits<long long>::min();
    for (const IndexColumn& c : columns) {
        text += ',';
        text += csvField(c.name);
        if (c.values.empty()) continue;
        first = std::min(first, c.firstYear);
        last = std::max(last, c.firstYear + static_cast<long long>(c.values.size()) - 1);
    }
    text += '\n';
    char number[64];
    for (long long year = first; year <= last; ++year) {
        text.append(number, std::to_chars(number, number + sizeof number, year).ptr);
        for (const IndexColumn& c : columns) {
            text += ',';
            const long long i = year - c.firstYear;
            if (i < 0 || i >= static_cast<long long>(c.values.size()) ||
                !std::isfinite(c.values[static_cast<std::size_t>(i)])) {
                text += "NA";
                continue;
            }
            text.append(number,
                        std::to_chars(number, number + sizeof number, c.values[static_cast<std::size_t>(i)]).ptr);
        }
        text += '\n';
        if (text.size() >= piece) {
            if (Status written = put(text); !written.ok()) return written;
            text.clear();
        }
    }
    return put(text);
}

}  // namespace detrend::output
