#include "output/listing.hpp"

#include <algorithm>
#include <cstring>

#include "output/field_format.hpp"

namespace detrend::output {
namespace {
constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view columnHeading = " year  unfilt  spline  resids";
constexpr std::size_t yearLineLength = 31;
constexpr int yearWidth = 5;

// The year field of the line after `previous`, one year later: the digits
// counted up by one, as formatting the next year would write them. Only for
// years from 0 that stay within the field.
void nextYear(const char* previous, char* year) {
    std::memcpy(year, previous, yearWidth);
    for (int k = yearWidth - 1; k >= 0; --k) {
        if (year[k] == '9') {
            year[k] = '0';
        } else {
            year[k] = year[k] == ' ' ? '1' : static_cast<char>(year[k] + 1);
            return;
        }
    }
}
}  // namespace

void formatListingBlock(std::string& out, const formats::SeriesName& name, long long firstYear,
                        std::span<const float> series, std::span<const float> spline, std::span<const float> residual) {
    std::string heading;
    heading.append(lineEnd).append(" Input series is: ").append(name.view()).append(lineEnd);
    heading.append(columnHeading).append(lineEnd);
    // Resized, not cleared: a string that held a block of the same length is
    // not filled with zeros first.
    out.resize(heading.size() + series.size() * yearLineLength);
    std::copy(heading.begin(), heading.end(), out.begin());
    char* line = out.data() + heading.size();
    const long long lastYear = firstYear + static_cast<long long>(series.size()) - 1;
    const bool counted = firstYear >= 0 && lastYear <= 99999;  // years that need no sign and fit
    for (std::size_t i = 0; i < series.size(); ++i, line += yearLineLength) {
        if (counted && i > 0) {
            nextYear(line - yearLineLength, line);
        } else {
            fields::integerField(line, yearWidth, firstYear + static_cast<long long>(i));
        }
        fields::realField<3>(line + 5, 8, static_cast<double>(series[i]));
        fields::realField<3>(line + 13, 8, static_cast<double>(spline[i]));
        fields::realField<3>(line + 21, 8, static_cast<double>(residual[i]));
        line[29] = '\r';
        line[30] = '\n';
    }
}

}  // namespace detrend::output
