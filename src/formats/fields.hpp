// What the batch readers share: where a field fails, how a field's text is
// shown in a message, integers, trimming, the range of years, and the span of
// a series from its first to its last value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace detrend::formats {

// Why a field of a line cannot be read, and where (1-based; 0: not known).
struct Fault {
    long column = 0;
    std::string message;
};

// The 1-based column of a 0-based byte offset.
inline long columnOf(std::size_t offset) { return static_cast<long>(offset) + 1; }

// The years a batch reader accepts: -yearLimit..yearLimit.
inline constexpr long long yearLimit = 1000000;
// "year Y is out of range (-1000000 to 1000000)".
std::string yearOutOfRange(long long year);

// `text` in double quotes for a message, cut after 60 characters (a byte
// outside UTF-8 sequences counting as one) with "..." after the cut. The
// messages show control characters in it escaped.
std::string quoted(std::string_view text);

// The length of the UTF-8 sequence that starts at text[pos] (1 to 4), or 0
// when no valid one does (a stray continuation byte, a cut or overlong
// sequence, a surrogate, a code point past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos);

// All of `text` as a decimal integer with an optional minus sign.
bool parseInteger(std::string_view text, long long& value);

// `text` without the characters of `blanks` at its start and end.
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t");
// `text` without the blanks at its end.
inline std::string_view withoutTrailingBlanks(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

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

}  // namespace detrend::formats
