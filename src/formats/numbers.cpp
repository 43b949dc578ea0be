#include "formats/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace detrend::formats {
namespace {

constexpr NumberRead noNumber(const char* first) { return {first, std::errc::invalid_argument}; }

// The end of the free layout's decimal grammar at `first` (`first` when no
// number starts there), and in `exponent` its exponent letter (nullptr:
// none).
const char* decimalEnd(const char* first, const char* last, const char*& exponent) {
    const char* p = first;
    if (p != last && (*p == '+' || *p == '-')) ++p;
    const char* const digitsStart = p;
    while (p != last && isDigit(*p)) ++p;
    std::ptrdiff_t digits = p - digitsStart;
    if (p != last && *p == '.') {
        const char* const fractionStart = ++p;
        while (p != last && isDigit(*p)) ++p;
        digits += p - fractionStart;
    }
    exponent = nullptr;
    if (digits == 0) return first;
    if (p != last && isExponentLetter(*p)) {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) ++q;
        if (q == last || !isDigit(*q)) return p;
        while (q != last && isDigit(*q)) ++q;
        exponent = p;
        p = q;
    }
    return p;
}

template <class T>
T strtoT(const char* s);
template <>
double strtoT<double>(const char* s) {
    return std::strtod(s, nullptr);
}
template <>
float strtoT<float>(const char* s) {
    return std::strtof(s, nullptr);
}

template <class T>
NumberRead freeFloat(const char* first, const char* last, T& value) {
    T quick;
    if (const NumberRead read = quickDecimal(first, last, quick); read.ec == std::errc()) {
        value = quick;
        return read;
    }
    const char* exponent = nullptr;
    const char* const end = decimalEnd(first, last, exponent);
    if (end == first) return noNumber(first);
    // from_chars takes neither a plus sign nor the exponent letters D and Q;
    // only numbers that have them are rewritten.
    thread_local std::string text;
    std::string_view digits(first, static_cast<std::size_t>(end - first));
    if (*first == '+') digits.remove_prefix(1);
    if (exponent != nullptr && *exponent != 'E' && *exponent != 'e') {
        const auto at = static_cast<std::size_t>(exponent - digits.data());
        text.assign(digits);
        text[at] = 'e';
        digits = text;
    }
    T parsed;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (ec == std::errc::result_out_of_range) {
        // Too large, or too small: strtod tells which, and gives the
        // underflowed value.
        text.assign(digits);
        parsed = strtoT<T>(text.c_str());
        if (std::isinf(parsed)) return {end, std::errc::result_out_of_range};
    } else if (ec != std::errc() || ptr != digits.data() + digits.size()) {
        return noNumber(first);
    }
    value = parsed;
    return {end, std::errc()};
}

}  // namespace

NumberRead parseFreeFloat(const char* first, const char* last, double& value) { return freeFloat(first, last, value); }
NumberRead parseFreeFloat(const char* first, const char* last, float& value) { return freeFloat(first, last, value); }

NumberRead parseCsvNumber(const char* first, const char* last, double& value, bool decimalComma) {
    double quick;
    if (const NumberRead read = quickDecimal<double, false>(first, last, quick); read.endsAt(last)) {
        value = quick;
        return read;
    }
    std::string_view text(first, static_cast<std::size_t>(last - first));
    thread_local std::string rewritten;
    if (decimalComma && text.find('.') == std::string_view::npos) {
        const std::size_t comma = text.find(',');
        if (comma != std::string_view::npos && text.find(',', comma + 1) == std::string_view::npos) {
            rewritten.assign(text);
            rewritten[comma] = '.';
            text = rewritten;
        }
    }
    std::ptrdiff_t skipped = 0;
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        skipped = 1;
        if (text.starts_with('-')) return noNumber(first);
    }
    if (text.empty()) return noNumber(first);
    double parsed;
    const auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    const char* const ptr = first + skipped + (stop - text.data());
    if (ec != std::errc()) return {ec == std::errc::result_out_of_range ? ptr : first, ec};
    if (!std::isfinite(parsed)) return noNumber(first);
    value = parsed;
    return {ptr, std::errc()};
}

NumberRead parseInteger(const char* first, const char* last, long long& value) {
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return {ptr, ec};
}

NumberRead parseFreeInteger(const char* first, const char* last, int& value) {
    const char* p = first;
    const bool negative = p != last && *p == '-';
    if (p != last && (*p == '+' || *p == '-')) ++p;
    if (p == last || !isDigit(*p)) return noNumber(first);
    long long magnitude = 0;
    bool tooLarge = false;
    for (; p != last && isDigit(*p); ++p) {
        if (magnitude <= std::numeric_limits<int>::max())
            magnitude = magnitude * 10 + (*p - '0');
        else
            tooLarge = true;
    }
    const long long v = negative ? -magnitude : magnitude;
    if (tooLarge || v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return {p, std::errc::result_out_of_range};
    value = static_cast<int>(v);
    return {p, std::errc()};
}

}  // namespace detrend::formats
