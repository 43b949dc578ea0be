// The fixed-width fields themselves, inline so that a hot loop (the
// listing's year lines) formats them without a call; formatInteger and
// formatReal (fixed_columns.hpp) are the general entry points.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace detrend::output::fields {

using u128 = unsigned __int128;

constexpr std::uint64_t powerOfTen(int n) {
    std::uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

// "00", "01", ..., "99": digits are written two at a time, which halves the
// chain of dependent divisions.
inline constexpr auto digitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

inline char* pairBackwards(char* end, std::uint64_t v) {  // v < 100
    end -= 2;
    std::memcpy(end, digitPairs.data() + 2 * v, 2);
    return end;
}

// ".000", ".001", ..., ".999": the point and three decimals in one store.
inline constexpr auto pointAndThreeDigits = [] {
    std::array<char, 4000> texts{};
    for (std::size_t i = 0; i < 1000; ++i) {
        texts[4 * i] = '.';
        texts[4 * i + 1] = static_cast<char>('0' + i / 100);
        texts[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
        texts[4 * i + 3] = static_cast<char>('0' + i % 10);
    }
    return texts;
}();

// Writes the decimal digits of v backwards ending at `end`; returns the start.
[[gnu::always_inline]] inline char* digitsBackwards(char* end, std::uint64_t v) {
    while (v >= 100) {
        const std::uint64_t rest = v / 100;
        end = pairBackwards(end, v - rest * 100);
        v = rest;
    }
    if (v >= 10) return pairBackwards(end, v);
    *--end = static_cast<char>('0' + v);
    return end;
}

inline constexpr auto powersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    for (int n = 0; n < 20; ++n) powers[static_cast<std::size_t>(n)] = powerOfTen(n);
    return powers;
}();

// The number of decimal digits of v.
inline int digitCount(std::uint64_t v) {
    int n = 1;
    while (n < 20 && v >= powersOfTen[static_cast<std::size_t>(n)]) ++n;
    return n;
}

// Fields are written in place, blanks first and then the text over their
// right end: only stores, and of a constant size for the listing's fields.
[[gnu::always_inline]] inline void fill(char* field, int width, char c) {
    std::memset(field, c, static_cast<std::size_t>(width));
}

[[gnu::always_inline]] inline void integerField(char* field, int width, long long value) {
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (digitCount(magnitude) + (value < 0 ? 1 : 0) > width) return fill(field, width, '*');
    fill(field, width, ' ');
    char* start = digitsBackwards(field + width, magnitude);
    if (value < 0) start[-1] = '-';
}

// NaN and infinities, out of the common path.
void specialField(char* field, int width, double value);

// A finite magnitude times 10^decimals, rounded half up on its exact binary
// value, as whole units and the decimals' digits.
struct Scaled {
    std::uint64_t whole, fraction;
};

template <int decimals>
[[gnu::always_inline]] inline Scaled scaledMagnitude(double magnitude) {
    // magnitude = mantissa * 2^exponent exactly, mantissa a 53-bit integer.
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent;
    if (biased == 0) {
        exponent = -1074;  // subnormal
    } else {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }

    // The product is exact, and the first bit shifted out is the half.
    constexpr std::uint64_t scale = powerOfTen(decimals);
    if (decimals <= 3 && exponent < 0) {
        // The usual case, in 64 bits: mantissa * 10^decimals < 2^63.
        const std::uint64_t product = mantissa * scale;
        const int shift = -exponent;
        std::uint64_t scaled = 0;
        if (shift < 64) scaled = (product >> shift) + ((product >> (shift - 1)) & 1);
        const std::uint64_t whole = scaled / scale;
        return {whole, scaled - whole * scale};
    }
    u128 scaled;
    if (exponent >= 0) {
        scaled = (u128{mantissa} << exponent) * scale;
    } else {
        const int shift = -exponent;
        const u128 product = u128{mantissa} * scale;  // below 2^83
        if (shift > 100) {
            scaled = 0;  // product < 2^83 < half a unit: rounds to zero
        } else {
            scaled = (product >> shift) + ((product >> (shift - 1)) & 1);
        }
    }
    return {static_cast<std::uint64_t>(scaled / scale), static_cast<std::uint64_t>(scaled % scale)};
}

// Writes the point and the decimals' digits backwards ending at `end`.
template <int decimals>
[[gnu::always_inline]] inline char* fractionBackwards(char* end, std::uint64_t fraction) {
    if constexpr (decimals == 3) {
        end -= 4;
        std::memcpy(end, pointAndThreeDigits.data() + 4 * fraction, 4);
        return end;
    } else {
        for (int i = 0; i + 2 <= decimals; i += 2) {
            const std::uint64_t rest = fraction / 100;
            end = pairBackwards(end, fraction - rest * 100);
            fraction = rest;
        }
        if (decimals % 2 != 0) *--end = static_cast<char>('0' + fraction);
        *--end = '.';
        return end;
    }
}

// formatReal with the number of decimals fixed.
template <int decimals>
[[gnu::always_inline]] inline void realField(char* field, int width, double value) {
    if (!std::isfinite(value)) return specialField(field, width, value);
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e18) return fill(field, width, '*');  // at least 19 integer digits: wider than any field
    const auto [whole, fraction] = scaledMagnitude<decimals>(magnitude);
    const bool negative = std::signbit(value) && (whole != 0 || fraction != 0);  // no sign on zero
    if ((negative ? 1 : 0) + digitCount(whole) + 1 + decimals > width) return fill(field, width, '*');
    fill(field, width, ' ');
    char* start = digitsBackwards(fractionBackwards<decimals>(field + width, fraction), whole);
    // The sign is as likely as not: a store either way, not a branch.
    if (start != field) start[-1] = negative ? '-' : ' ';
}

}  // namespace detrend::output::fields
