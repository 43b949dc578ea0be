#include "plot/files/axis.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace detrend::plot::files {

std::string tickLabel(double value, int decimals, bool scientific) {
    if (scientific && value == 0) return "0";
    char buffer[64];
    const auto format = scientific ? std::chars_format::scientific : std::chars_format::fixed;
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format, decimals);
    if (error != std::errc{}) return "?";
    // A negative zero, rounded or not, is written without its sign.
    if (buffer[0] == '-' && std::string_view(buffer + 1, end).find_first_of("123456789") == std::string_view::npos)
        return std::string(buffer + 1, end);
    return std::string(buffer, end);
}

Axis makeAxis(double lo, double hi, double ticks, bool whole) {
    Axis axis{lo, hi};
    const double raw = (hi - lo) / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double ratio = raw / magnitude;
    const double mantissa = ratio < 1.5 ? 1 : ratio < 3 ? 2 : ratio < 7 ? 5 : 10;
    axis.step = mantissa * magnitude;
    axis.minorStep = axis.step / (mantissa == 2 ? 4 : 5);
    if (whole) {
        axis.step = std::max(axis.step, 1.0);
        if (axis.minorStep < 1) axis.minorStep = axis.step > 1 ? 1 : 0;
    }
    axis.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(axis.step) + 1e-9)));
    const double largest = std::max(std::fabs(lo), std::fabs(hi));
    if (axis.decimals > 6 || largest >= 1e7) {
        axis.scientific = true;
        const double digits = std::floor(std::log10(largest)) - std::floor(std::log10(axis.step) + 1e-9);
        axis.decimals = static_cast<int>(std::clamp(digits, 0.0, 6.0));
    }
    return axis;
}

std::vector<double> multiples(double lo, double hi, double step) {
    std::vector<double> values;
    if (!(step > 0)) return values;
    const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
    if (!(last - first < 200)) return values;
    for (double k = first; k <= last; ++k) {
        values.push_back(k * step);
        // Beyond 2^53 adding one may leave k as it is (bounds a double's
        // precision apart): the count would never pass `last`.
        if (k + 1 == k) break;
    }
    return values;
}

Axis valueAxis(Range range, double ticks) {
    if (!(range.lo <= range.hi)) {
        range.lo = 0;
        range.hi = 1;
    } else if (range.lo == range.hi) {
        const double half = range.lo == 0 ? 1 : std::fabs(range.lo) * 0.05;
        range.lo -= half;
        range.hi += half;
    }
    const double margin = (range.hi - range.lo) * 0.04;
    return makeAxis(range.lo - margin, range.hi + margin, ticks, false);
}

Axis yearAxis(int firstYear, std::size_t n) {
    double lo = firstYear, hi = lo + static_cast<double>(n - 1);
    if (n == 1) {
        lo -= 1;
        hi += 1;
    }
    return makeAxis(lo, hi, 9, true);
}

}  // namespace detrend::plot::files
