#include "driver/layout.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace detrend {
namespace {

using u128 = unsigned __int128;

constexpr std::uint64_t powerOfTen(int n) {
    std::uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

void asterisks(char* field, int width) { std::memset(field, '*', static_cast<std::size_t>(width)); }

// Right-aligns text[0..len) in field[0..width), or fills it with asterisks.
void place(char* field, int width, const char* text, int len) {
    if (len > width) return asterisks(field, width);
    std::memset(field, ' ', static_cast<std::size_t>(width - len));
    std::memcpy(field + (width - len), text, static_cast<std::size_t>(len));
}

// Writes the decimal digits of v backwards ending at `end`; returns the start.
char* digitsBackwards(char* end, std::uint64_t v) {
    do {
        *--end = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    return end;
}

}  // namespace

void formatInteger(char* field, int width, long long value) {
    char buf[24];
    char* end = buf + sizeof buf;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char* start = digitsBackwards(end, magnitude);
    if (value < 0) *--start = '-';
    place(field, width, start, static_cast<int>(end - start));
}

void formatReal(char* field, int width, int decimals, double value) {
    char buf[48];
    char* end = buf + sizeof buf;
    char* start = end;
    const bool negative = std::signbit(value);

    if (std::isnan(value) || std::isinf(value)) {
        start -= 3;
        std::memcpy(start, std::isnan(value) ? "NaN" : "INF", 3);
        if (negative) *--start = '-';
        place(field, width, start, static_cast<int>(end - start));
        return;
    }

    const double magnitude = std::fabs(value);
    if (magnitude >= 1e18) {  // at least 19 integer digits: wider than any field here
        return asterisks(field, width);
    }

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

    // scaled = magnitude * 10^decimals, rounded half up on its exact value.
    const std::uint64_t scale = powerOfTen(decimals);
    std::uint64_t whole, fraction;
    if (decimals <= 3 && exponent < 0) {
        // The usual case, in 64 bits: mantissa * 10^decimals < 2^63.
        const std::uint64_t product = mantissa * scale;
        const int shift = -exponent;
        std::uint64_t scaled = 0;
        if (shift < 64) {
            scaled = product >> shift;
            if (((product >> (shift - 1)) & 1) != 0) ++scaled;  // the first dropped bit is the half
        }
        whole = decimals == 3 ? scaled / 1000 : scaled / scale;  // a constant divisor is cheap
        fraction = scaled - whole * scale;
    } else {
        u128 scaled;
        if (exponent >= 0) {
            scaled = (u128{mantissa} << exponent) * scale;
        } else {
            const int shift = -exponent;
            const u128 product = u128{mantissa} * scale;  // below 2^83
            if (shift > 100) {
                scaled = 0;  // product < 2^83 < half a unit: rounds to zero
            } else {
                scaled = product >> shift;
                if (((product >> (shift - 1)) & 1) != 0) ++scaled;
            }
        }
        whole = static_cast<std::uint64_t>(scaled / scale);
        fraction = static_cast<std::uint64_t>(scaled % scale);
    }
    const bool allZero = whole == 0 && fraction == 0;
    for (int i = 0; i < decimals; ++i) {
        *--start = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    *--start = '.';
    start = digitsBackwards(start, whole);
    if (negative && !allZero) *--start = '-';
    place(field, width, start, static_cast<int>(end - start));
}

Line& Line::columnStop(int column) {
    if (static_cast<int>(text_.size()) < column - 1) text_.resize(static_cast<std::size_t>(column - 1), ' ');
    return *this;
}

Line& Line::integer(long long value, int width) {
    const std::size_t at = text_.size();
    text_.resize(at + static_cast<std::size_t>(width));
    formatInteger(text_.data() + at, width, value);
    return *this;
}

Line& Line::real(double value, int width, int decimals) {
    const std::size_t at = text_.size();
    text_.resize(at + static_cast<std::size_t>(width));
    formatReal(text_.data() + at, width, decimals, value);
    return *this;
}

std::string promptLine(std::string_view text) {
    Line line;
    line.blank().text(text).columnStop(45).text("==> ");
    return std::string(line.view());
}

}  // namespace detrend
