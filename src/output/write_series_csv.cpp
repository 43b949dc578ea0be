#include "output/write_series_csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "output/write_csv.hpp"

namespace detrend::output {
namespace {

void appendValue(std::string& text, double value) {
    if (std::isnan(value)) {
        text += "NA";
    } else if (std::isinf(value)) {
        text += value > 0 ? "Inf" : "-Inf";
    } else {
        char digits[32];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
}

// The value of `s` in `year`; NaN outside it.
double valueIn(const formats::Series& s, long long year) {
    const long long i = year - s.firstYear;
    if (i < 0 || i >= static_cast<long long>(s.values.size())) return std::numeric_limits<double>::quiet_NaN();
    return s.values[static_cast<std::size_t>(i)];
}

}  // namespace

std::string seriesCsv(const std::vector<formats::Series>& series) {
    std::string text = "year";
    long long first = std::numeric_limits<long long>::max(), last = std::numeric_limits<long long>::min();
    for (const formats::Series& s : series) {
        text += ',';
        text += csvField(s.name);
        const auto present = [](double v) { return !std::isnan(v); };
        const auto begin = std::find_if(s.values.begin(), s.values.end(), present);
        if (begin == s.values.end()) continue;
        const auto end = std::find_if(s.values.rbegin(), s.values.rend(), present).base();
        first = std::min(first, s.firstYear + (begin - s.values.begin()));
        last = std::max(last, s.firstYear + (end - s.values.begin()) - 1);
    }
    text += '\n';
    for (long long year = first; year <= last; ++year) {
        char digits[24];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, year).ptr);
        for (const formats::Series& s : series) {
            text += ',';
            appendValue(text, valueIn(s, year));
        }
        text += '\n';
    }
    return text;
}

}  // namespace detrend::output
