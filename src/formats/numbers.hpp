// The numbers of the readers, each read in the style of std::from_chars: from
// [first, last), into `value`, with a NumberRead saying where the number
// stopped and whether it was read. `value` is set only when it was.
//
//  - quickDecimal: the exact fast path of every decimal reader;
//  - parseFreeFloat: a decimal of the free layout (a plus sign and the
//    exponent letters E, D and Q in either case allowed);
//  - parseCsvNumber: the number of a CSV cell, as std::from_chars reads it,
//    with a plus sign and, when asked, a decimal comma;
//  - parseInteger: a decimal integer with an optional minus sign;
//  - parseFreeInteger: an int of the free layout, either sign allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace detrend::formats {

// Where a number stopped and why, as std::from_chars_result: ec is errc()
// when the number was read and ptr the first character after it;
// invalid_argument when no number starts at `first` (ptr is `first`);
// result_out_of_range when it is too large for its type (ptr after it).
struct NumberRead {
    const char* ptr;
    std::errc ec;

    // Read, and nothing left before `last`.
    bool endsAt(const char* last) const { return ec == std::errc() && ptr == last; }
};

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
// E, D or Q in either case introduce an exponent.
inline bool isExponentLetter(char c) {
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

namespace detail {

// Powers of ten held exactly by each type: 10^22 = 2^22 * 5^22 with
// 5^22 < 2^53, and 10^10 = 2^10 * 5^10 with 5^10 < 2^24.
inline constexpr double exactDoublePowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr float exactFloatPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

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

}  // namespace detail

// Reads a number of the decimal grammar (optional sign, digits with an
// optional point, optional exponent) in one pass, for the common case where
// that is easy: at most 19 significant digits, which as an integer m are
// exact in T, and a decimal exponent e small enough for 10^|e| to be exact in
// T as well. Then m * 10^e or m / 10^-e is one operation on exact operands,
// which IEEE arithmetic rounds correctly, giving the same value as a full
// conversion. (For a float, going through double would round twice; float
// arithmetic rounds once.) invalid_argument when the text is not a number or
// the case is not easy, which the caller leaves to the full conversion; the
// caller checks what follows ptr. Without `anyExponentLetter` only E and e
// introduce an exponent.
template <class T, bool anyExponentLetter = true>
[[gnu::always_inline]] inline NumberRead quickDecimal(const char* p, const char* end, T& value) {
    constexpr std::ptrdiff_t longestMantissa = 19;  // below 2^64
    const NumberRead declined{p, std::errc::invalid_argument};
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
        if (p - fractionStart > 400) return declined;  // surely not easy; keeps the power small
        power = -static_cast<int>(p - fractionStart);
    }
    if (digits == 0 || significant > longestMantissa) return declined;
    if (p != end && (anyExponentLetter ? isExponentLetter(*p) : (*p == 'E' || *p == 'e'))) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !isDigit(*p)) return declined;
        int exponent = 0;
        for (; p != end && isDigit(*p); ++p)
            if (exponent < 10000) exponent = exponent * 10 + (*p - '0');
        power += negativeExponent ? -exponent : exponent;
    }
    using Range = detail::ExactRange<T>;
    if (mantissa > Range::largestMantissa || power < -Range::largestPower || power > Range::largestPower)
        return declined;
    const T m = static_cast<T>(mantissa);
    const T magnitude = power < 0 ? m / Range::power(-power) : m * Range::power(power);
    value = negative ? -magnitude : magnitude;
    return {p, std::errc()};
}

// The longest number of the free layout's decimal grammar at `first`: an
// optional sign, digits with an optional point (a digit at least), and an
// exponent when its letter is followed by digits (with an optional sign).
// Rounded correctly; a number too small for T reads as T's nearest value
// (zero of the same sign at the last).
NumberRead parseFreeFloat(const char* first, const char* last, double& value);
NumberRead parseFreeFloat(const char* first, const char* last, float& value);

// The number at `first` as std::from_chars (general format) reads it, a
// leading '+' allowed (not before '-'). With `decimalComma`, when the text
// [first, last) holds no point and a single comma, that comma stands for
// the point. Neither an infinity nor a NaN is a number here; a number too
// large or too small for a double is out of range.
NumberRead parseCsvNumber(const char* first, const char* last, double& value, bool decimalComma);

// A decimal integer with an optional minus sign, as std::from_chars reads it.
NumberRead parseInteger(const char* first, const char* last, long long& value);

// An int of the free layout: an optional sign ('+' or '-'), then digits.
NumberRead parseFreeInteger(const char* first, const char* last, int& value);

// All of `text` as an integer of parseInteger.
inline bool wholeInteger(std::string_view text, long long& value) {
    const char* const last = text.data() + text.size();
    return parseInteger(text.data(), last, value).endsAt(last);
}

}  // namespace detrend::formats
