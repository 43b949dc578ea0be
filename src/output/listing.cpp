#include "output/listing.hpp"

#include <algorithm>

#include "output/fixed_columns.hpp"

namespace detrend::output {
namespace {
constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view columnHeading = " year  unfilt  spline  resids";
constexpr std::size_t yearLineLength = 31;
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
    for (std::size_t i = 0; i < series.size(); ++i, line += yearLineLength) {
        formatInteger(line, 5, firstYear + static_cast<long long>(i));
        formatReal(line + 5, 8, 3, static_cast<double>(series[i]));
        formatReal(line + 13, 8, 3, static_cast<double>(spline[i]));
        formatReal(line + 21, 8, 3, static_cast<double>(residual[i]));
        line[29] = '\r';
        line[30] = '\n';
    }
}

}  // namespace detrend::output
