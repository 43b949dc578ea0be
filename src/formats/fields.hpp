// What the batch readers share: the column of an offset, the range of years,
// a bound on the number of lines, the span of a series from its first to its
// last value and the cut to it, and the loop over fixed-width fields. (Their
// messages quote text with base/text.hpp.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/text.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

// The 1-based column of a 0-based byte offset.
inline long columnOf(std::size_t offset) { return static_cast<long>(offset) + 1; }

// The years a batch reader accepts: -yearLimit..yearLimit.
inline constexpr long long yearLimit = 1000000;
// "year Y is out of range (-1000000 to 1000000)".
std::string yearOutOfRange(long long year);

// At least the number of lines in `bytes`, whatever ends them (LF, CR LF or
// CR): room enough for one value per line.
inline std::size_t lineCountBound(std::string_view bytes) {
    const auto count = [&](char c) { return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), c)); };
    const std::size_t newlines = count('\n');
    return 1 + (bytes.find('\r') == std::string_view::npos ? newlines : std::max(newlines, count('\r')));
}

// The span [first, end) of a series' values from its first present value to
// its last; first == end when none is present.
struct ValueSpan {
    std::size_t first = 0, end = 0;
    bool empty() const { return first == end; }
};
template <class Values, class Present>
ValueSpan presentSpan(const Values& values, Present present) {
    ValueSpan span{0, static_cast<std::size_t>(std::size(values))};
    while (span.first < span.end && !present(values[span.first])) ++span.first;
    while (span.end > span.first && !present(values[span.end - 1])) --span.end;
    return span;
}

// Cuts `series` (and its depths, when it has them) to its first to last
// value that is not NaN; a series with none is emptied, its problem "it has
// no values".
void cutToValues(Series& series);

// Calls take(value, column) for each field of `width` bytes of `text` that
// holds more than blanks, with the field trimmed and the 1-based column of its
// first character; blank fields at the end are ignored, and a blank field
// before a value is refused at its column as "an empty field between values
// (columns A-B)". Stops at the first failure take returns.
template <class Take>
base::Status forEachFixedField(std::string_view text, std::size_t width, long line, Take take) {
    constexpr std::string_view blanks = " \t";
    std::size_t blankAt = std::string_view::npos;
    for (std::size_t pos = 0; pos < text.size(); pos += width) {
        const std::string_view field = text.substr(pos, width);
        const std::size_t start = field.find_first_not_of(blanks);
        if (start == std::string_view::npos) {
            blankAt = std::min(blankAt, pos);
            continue;
        }
        if (blankAt != std::string_view::npos)
            return base::failure("an empty field between values (columns " + std::to_string(blankAt + 1) + "-" +
                                     std::to_string(blankAt + width) + ")",
                                 line, columnOf(blankAt));
        if (base::Status taken = take(base::trimmed(field, blanks), columnOf(pos + start)); !taken) return taken;
    }
    return {};
}

}  // namespace detrend::formats
