// Exact reading of the common decimal numbers in one pass, without the
// general conversion: the fast path of every number reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace detrend::formats {

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

// Reads a number of the decimal grammar starting at `p` in one pass, for the
// common case where that is easy: at most 19 significant digits, which as an
// integer m are exact in T, and a decimal exponent e small enough for 10^|e|
// to be exact in T as well. Then m * 10^e or m / 10^-e is one operation on
// exact operands, which IEEE arithmetic rounds correctly, giving the same
// value as a full conversion. (For a float, going through double would round
// twice; float arithmetic rounds once.) Returns false when the text is not a
// number or the case is not easy; otherwise sets `value`, and `stop` to the
// first character after the number, which the caller must check. Without
// `anyExponentLetter` only E and e introduce an exponent.
template <class T, bool anyExponentLetter = true>
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
    if (p != end && (anyExponentLetter ? isExponentLetter(*p) : (*p == 'E' || *p == 'e'))) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !isDigit(*p)) return false;
        int exponent = 0;
        for (; p != end && isDigit(*p); ++p)
            if (exponent < 10000) exponent = exponent * 10 + (*p - '0');
        power += negativeExponent ? -exponent : exponent;
    }
    using Range = detail::ExactRange<T>;
    if (mantissa > Range::largestMantissa || power < -Range::largestPower || power > Range::largestPower) return false;
    const T m = static_cast<T>(mantissa);
    const T magnitude = power < 0 ? m / Range::power(-power) : m * Range::power(power);
    value = negative ? -magnitude : magnitude;
    stop = p;
    return true;
}

}  // namespace detrend::formats
