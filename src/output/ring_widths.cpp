#include "output/ring_widths.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/text.hpp"
#include "output/field_format.hpp"

namespace detrend::output {
namespace {

// `value` in its shortest form that reads back to the same double.
std::string shortest(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A finite, non-negative magnitude below 1e7 in whole units of 10^-decimals,
// rounded half away from zero on its exact binary value.
template <int decimals>
long long units(double value) {
    const auto [whole, fraction] = fields::scaledMagnitude<decimals>(value);
    return static_cast<long long>(whole * fields::powerOfTen(decimals) + fraction);
}

// Why `value`, present in `year` of `series`, cannot be written; "" when it
// can (in thousandths at least).
std::string refusal(const formats::Series& series, long long year, double value) {
    const std::string where = "series " + base::quoted(series.name) + ", year " + std::to_string(year) + ": ";
    if (std::isinf(value)) return where + "the value " + shortest(value) + " is not a width";
    if (value < 0) return where + "the value " + shortest(value) + " is negative; a ring width cannot be";
    if (value >= 1e7 || units<2>(value) > mostRingUnits)
        return where + "the value " + shortest(value) + " mm does not fit six columns of hundredths of a millimetre";
    return {};
}

}  // namespace

base::Result<RingWidths> ringWidths(const formats::Series& series) {
    const std::vector<double>& values = series.values;
    std::size_t first = 0, end = values.size();
    while (first < end && std::isnan(values[first])) ++first;
    while (end > first && std::isnan(values[end - 1])) --end;
    RingWidths widths;
    widths.firstYear = series.firstYear + static_cast<long long>(first);
    bool hundredths = true;
    for (std::size_t i = first; i < end; ++i) {
        const double v = values[i];
        const long long year = series.firstYear + static_cast<long long>(i);
        if (std::isnan(v))
            return base::failure("series " + base::quoted(series.name) + ", year " + std::to_string(year) +
                                 ": no value inside the series, and the file has no mark for a missing year");
        if (std::string why = refusal(series, year, v); !why.empty()) return base::failure(std::move(why));
        // 999 hundredths would read as the stop marker: 9.99 mm is written in
        // thousandths.
        hundredths = hundredths && static_cast<double>(units<2>(v)) / 100.0 == v && units<2>(v) != 999;
    }
    widths.thousandths = !hundredths;
    widths.units.reserve(end - first);
    for (std::size_t i = first; i < end; ++i) {
        const double v = values[i];
        const long long u = hundredths ? units<2>(v) : units<3>(v);
        if (u > mostRingUnits)
            return base::failure("series " + base::quoted(series.name) + ", year " +
                                 std::to_string(series.firstYear + static_cast<long long>(i)) + ": the value " +
                                 shortest(v) + " mm does not fit six columns of thousandths of a millimetre");
        if (!hundredths && static_cast<double>(u) / 1000.0 != v && widths.rounded++ == 0)
            widths.firstRounded = series.firstYear + static_cast<long long>(i);
        widths.units.push_back(u);
    }
    return widths;
}

std::string roundingNote(const formats::Series& series, const RingWidths& widths) {
    if (widths.rounded == 0) return {};
    return "series " + base::quoted(series.name) + ": " + std::to_string(widths.rounded) + " value" +
           (widths.rounded == 1 ? "" : "s") + " rounded to 0.001 mm, first in " + std::to_string(widths.firstRounded);
}

std::string leftOutNote(const formats::Series& series) {
    return "series " + base::quoted(series.name) + " has no values and is left out";
}

namespace {
bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }
}  // namespace

bool holdsControl(std::string_view text) { return std::any_of(text.begin(), text.end(), isControl); }

std::string withoutControls(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), isControl, '_');
    return out;
}

}  // namespace detrend::output
