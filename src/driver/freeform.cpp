#include "driver/freeform.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace detrend {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSeparator(char c) { return c == ' ' || c == ',' || c == '/'; }
bool isExponentLetter(char c) {
    switch (c) {
        case 'E':
        case 'e':
        case 'D':
        case 'd':
        case 'Q':
        case 'q': return true;
        default: return false;
    }
}

// Checks the decimal grammar; on success `exponentAt` is the position of the
// exponent letter (or npos).
bool isDecimal(std::string_view t, std::size_t& exponentAt) {
    std::size_t i = 0;
    const std::size_t n = t.size();
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && isDigit(t[i])) ++i, ++digits;
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && isDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    exponentAt = std::string_view::npos;
    if (i < n && isExponentLetter(t[i])) {
        exponentAt = i++;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        if (i == n || !isDigit(t[i])) return false;
        while (i < n && isDigit(t[i])) ++i;
    }
    return i == n;
}

// Powers of ten held exactly by each type: 10^22 = 2^22 * 5^22 with
// 5^22 < 2^53, and 10^10 = 2^10 * 5^10 with 5^10 < 2^24.
constexpr double exactDoublePowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr float exactFloatPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

template <class T>
struct ExactRange;
template <>
struct ExactRange<double> {
    static constexpr std::uint64_t largestMantissa = std::uint64_t{1} << 53;
    static constexpr int largestPower = 22;
    static double power(int n) { return exactDoublePowers[n]; }
};
template <>
struct ExactRange<float> {
    static constexpr std::uint64_t largestMantissa = std::uint64_t{1} << 24;
    static constexpr int largestPower = 10;
    static float power(int n) { return exactFloatPowers[n]; }
};

// Reads a number of the decimal grammar starting at `p` in one pass, for the
// common case where that is easy: at most 19 significant digits, which as an
// integer m are exact in T, and a decimal exponent e small enough for 10^|e|
// to be exact in T as well. Then m * 10^e or m / 10^-e is one operation on
// exact operands, which IEEE arithmetic rounds correctly, giving the same
// value as a full conversion. (For a float, going through double would round
// twice; float arithmetic rounds once.) Returns false when the text is not a
// number or the case is not easy; otherwise sets `value`, and `stop` to the
// first character after the number, which the caller must check.
template <class T>
[[gnu::always_inline]] inline bool quickDecimal(const char* p, const char* end, T& value, const char*& stop) {
    constexpr std::ptrdiff_t longestMantissa = 19;  // below 2^64
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // The digits accumulate without a check; a mantissa too long to be
    // right (it may have wrapped around) is refused after.
    std::uint64_t mantissa = 0;
    auto digitsFrom = [&](const char* q) {
        for (; q != end && isDigit(*q); ++q) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
        return q;
    };
    const char* const wholeStart = p;
    while (p != end && *p == '0') ++p;  // leading zeros
    const char* significantStart = p;
    p = digitsFrom(p);
    std::ptrdiff_t significant = p - significantStart;
    std::ptrdiff_t digits = p - wholeStart;
    int power = 0;
    if (p != end && *p == '.') {
        const char* const fractionStart = ++p;
        if (significant == 0)
            while (p != end && *p == '0') ++p;
        significantStart = p;
        p = digitsFrom(p);
        significant += p - significantStart;
        digits += p - fractionStart;
        if (p - fractionStart > 400) return false;  // surely not easy; keeps the power small
        power = -static_cast<int>(p - fractionStart);
    }
    if (digits == 0 || significant > longestMantissa) return false;
    if (p != end && isExponentLetter(*p)) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !isDigit(*p)) return false;
        int exponent = 0;
        for (; p != end && isDigit(*p); ++p)
            if (exponent < 10000) exponent = exponent * 10 + (*p - '0');
        power += negativeExponent ? -exponent : exponent;
    }
    using Range = ExactRange<T>;
    if (mantissa > Range::largestMantissa || power < -Range::largestPower || power > Range::largestPower) return false;
    const T m = static_cast<T>(mantissa);
    const T magnitude = power < 0 ? m / Range::power(-power) : m * Range::power(power);
    value = negative ? -magnitude : magnitude;
    stop = p;
    return true;
}

template <class T>
T strtoT(const char* s, char** end);
template <>
double strtoT<double>(const char* s, char** end) {
    return std::strtod(s, end);
}
template <>
float strtoT<float>(const char* s, char** end) {
    return std::strtof(s, end);
}

template <class T>
ScanStatus parseFloating(std::string_view token, T& value) {
    const char* const tokenEnd = token.data() + token.size();
    T quick;
    const char* stop;
    if (quickDecimal(token.data(), tokenEnd, quick, stop) && stop == tokenEnd) {
        value = quick;
        return ScanStatus::ok;
    }
    std::size_t exponentAt;
    if (!isDecimal(token, exponentAt)) return ScanStatus::illegalCharacter;
    // from_chars takes neither a plus sign nor the exponent letters D and Q;
    // only tokens that have them are rewritten.
    thread_local std::string text;
    std::string_view digits = token.substr(token[0] == '+' ? 1 : 0);
    if (exponentAt != std::string_view::npos && token[exponentAt] != 'E' && token[exponentAt] != 'e') {
        text.assign(digits);
        text[exponentAt - (token.size() - digits.size())] = 'e';
        digits = text;
    }
    T parsed;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (ec == std::errc::result_out_of_range) {
        // Too large, or too small: strtod tells which, and gives the
        // underflowed value.
        text.assign(digits);
        parsed = strtoT<T>(text.c_str(), nullptr);
        if (std::isinf(parsed)) return ScanStatus::outOfRange;
    } else if (ec != std::errc() || ptr != digits.data() + digits.size()) {
        return ScanStatus::illegalCharacter;
    }
    value = parsed;
    return ScanStatus::ok;
}

// Items handed to the generic reader: how one token is parsed and stored.
template <class T>
struct NumberItems {
    using Value = T;
    static constexpr bool namesMayBeQuoted = false;
    static constexpr bool decimal = std::is_floating_point_v<T>;
    std::span<T> out;
    std::size_t size() const { return out.size(); }
    ScanStatus parse(std::string_view token, T& v) const { return parseNumber(token, v); }
    void store(std::size_t i, const T& v) const { out[i] = v; }
};

struct NameItems {
    using Value = SeriesName;
    static constexpr bool namesMayBeQuoted = true;
    static constexpr bool decimal = false;
    std::span<SeriesName> out;
    std::size_t size() const { return out.size(); }
    ScanStatus parse(std::string_view token, SeriesName& v) const {
        v = SeriesName::from(token);
        return ScanStatus::ok;
    }
    void store(std::size_t i, const SeriesName& v) const { out[i] = v; }
};

// Reads a quoted name starting at text[pos] (the quote); a line end before
// the closing quote ends the name. Returns the position after it.
std::size_t readQuoted(std::string_view text, std::size_t pos, SeriesName& name) {
    const char quote = text[pos++];
    name.chars.fill(' ');
    std::size_t kept = 0;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == quote) {
            if (pos < text.size() && text[pos] == quote) {
                ++pos;
            } else {
                break;
            }
        }
        if (kept < name.chars.size()) name.chars[kept++] = c;
    }
    return pos;
}

}  // namespace

std::string_view reasonText(ScanStatus status) {
    switch (status) {
        case ScanStatus::ok: return "no error";
        case ScanStatus::illegalCharacter: return "Illegal character in numeric input";
        case ScanStatus::outOfRange: return "Number out of range in numeric input";
        case ScanStatus::zeroRepeat: return "Zero repeat count in input";
        case ScanStatus::endOfFile: return "Attempt to read past end of file";
    }
    return "unknown error";
}

ScanStatus parseNumber(std::string_view token, double& value) { return parseFloating(token, value); }
ScanStatus parseNumber(std::string_view token, float& value) { return parseFloating(token, value); }

ScanStatus parseNumber(std::string_view token, int& value) {
    std::size_t i = 0;
    const bool negative = !token.empty() && token[0] == '-';
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) ++i;
    if (i == token.size()) return ScanStatus::illegalCharacter;
    long long magnitude = 0;
    bool tooLarge = false;
    for (; i < token.size(); ++i) {
        if (!isDigit(token[i])) return ScanStatus::illegalCharacter;
        if (magnitude <= std::numeric_limits<int>::max())
            magnitude = magnitude * 10 + (token[i] - '0');
        else
            tooLarge = true;
    }
    const long long v = negative ? -magnitude : magnitude;
    if (tooLarge || v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return ScanStatus::outOfRange;
    value = static_cast<int>(v);
    return ScanStatus::ok;
}

// A failed read of item `index` (0-based), which starts at text[at].
ScanResult itemFailure(ScanStatus status, long line, std::size_t index, std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    return {status, line, index + 1, std::string(text.substr(at, end - at)), at + 1};
}

template <class Items>
ScanResult FreeReader::readItems(Items& items) {
    const std::size_t count = items.size();
    rest_ = std::string_view::npos;
    restNames_ = Items::namesMayBeQuoted;
    if (!lines_.next()) return {ScanStatus::endOfFile, lines_.lineNumber()};
    std::string_view text = lines_.line();
    std::size_t pos = 0;
    std::size_t index = 0;
    bool afterItem = false;  // a comma now is the item's separator, not an empty item
    std::size_t takenBefore = 0;  // items taken from lines before the current one
    while (index < count) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (pos == text.size()) {  // the line end separates like a blank
            if (!lines_.next()) return {ScanStatus::endOfFile, lines_.lineNumber()};
            takenBefore = index;
            text = lines_.line();
            pos = 0;
            continue;
        }
        const char c = text[pos];
        if (afterItem) {
            afterItem = false;
            if (c == ',') {
                ++pos;
                continue;
            }
        }
        if (c == ',') {  // nothing between two commas: the item keeps its value
            ++index;
            ++pos;
            continue;
        }
        if (c == '/') break;
        if (c == '!') {
            pos = text.size();
            continue;
        }

        typename Items::Value value{};
        if constexpr (Items::decimal) {
            // Most items are plain numbers: read in one pass when they end
            // at a separator, anything else (a repeat count, a bad or hard
            // number) is left to the general reading below.
            const char* const textEnd = text.data() + text.size();
            const char* stop;
            if (quickDecimal(text.data() + pos, textEnd, value, stop) && (stop == textEnd || isSeparator(*stop))) {
                items.store(index++, value);
                pos = static_cast<std::size_t>(stop - text.data());
                afterItem = true;
                continue;
            }
        }

        // A repeat count: digits directly followed by '*'.
        const std::size_t itemStart = pos;
        std::uint64_t repeat = 1;
        std::size_t d = pos;
        while (d < text.size() && isDigit(text[d])) ++d;
        if (d > pos && d < text.size() && text[d] == '*') {
            repeat = 0;
            for (std::size_t i = pos; i < d; ++i)
                repeat = std::min<std::uint64_t>(repeat * 10 + static_cast<std::uint64_t>(text[i] - '0'), count);
            if (repeat == 0) return itemFailure(ScanStatus::zeroRepeat, lines_.lineNumber(), index, text, itemStart);
            pos = d + 1;
            if (pos == text.size() || isSeparator(text[pos])) {  // r* : r empty items
                index += std::min<std::uint64_t>(repeat, count - index);
                afterItem = true;
                continue;
            }
        }

        if (Items::namesMayBeQuoted && (text[pos] == '\'' || text[pos] == '"')) {
            if constexpr (Items::namesMayBeQuoted) pos = readQuoted(text, pos, value);
        } else {
            std::size_t end = pos;
            while (end < text.size() && !isSeparator(text[end])) ++end;
            const ScanStatus status = items.parse(text.substr(pos, end - pos), value);
            if (status != ScanStatus::ok) return itemFailure(status, lines_.lineNumber(), index, text, itemStart);
            pos = end;
        }
        for (std::uint64_t r = std::min<std::uint64_t>(repeat, count - index); r > 0; --r) items.store(index++, value);
        afterItem = true;
    }
    if (index == count && takenBefore == 0) {
        rest_ = pos;
        restAfterItem_ = afterItem;
    }
    return {ScanStatus::ok, lines_.lineNumber()};
}

std::size_t FreeReader::itemsIgnored() const {
    if (rest_ == std::string_view::npos) return 0;
    const std::string_view text = lines_.line();
    constexpr std::size_t countLimit = std::size_t{1} << 40;
    std::size_t pos = rest_;
    std::size_t found = 0;
    bool afterItem = restAfterItem_;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ') {
            ++pos;
            continue;
        }
        if (afterItem) {
            afterItem = false;
            if (c == ',') {
                ++pos;
                continue;
            }
        }
        if (c == ',') {
            ++found;
            ++pos;
            continue;
        }
        if (c == '/' || c == '!') break;
        std::size_t repeat = 1;
        std::size_t d = pos;
        while (d < text.size() && isDigit(text[d])) ++d;
        if (d > pos && d < text.size() && text[d] == '*') {
            repeat = 0;
            for (std::size_t i = pos; i < d; ++i)
                repeat = std::min(repeat * 10 + static_cast<std::size_t>(text[i] - '0'), countLimit);
            pos = d + 1;
        }
        if (pos < text.size() && restNames_ && (text[pos] == '\'' || text[pos] == '"')) {
            SeriesName ignored;
            pos = readQuoted(text, pos, ignored);
        } else {
            while (pos < text.size() && !isSeparator(text[pos])) ++pos;
        }
        found = std::min(found + repeat, countLimit);
        afterItem = true;
    }
    return found;
}

ScanResult FreeReader::read(std::span<double> items) {
    NumberItems<double> it{items};
    return readItems(it);
}

ScanResult FreeReader::read(float& item) {
    NumberItems<float> it{std::span<float>(&item, 1)};
    return readItems(it);
}

ScanResult FreeReader::read(int& item) {
    NumberItems<int> it{std::span<int>(&item, 1)};
    return readItems(it);
}

ScanResult FreeReader::read(std::span<SeriesName> items) {
    NameItems it{items};
    return readItems(it);
}

}  // namespace detrend
