// The field layout on arbitrary values, for the widths the program uses: real
// fields of 8 columns with 3 decimals (from doubles and floats) and integer
// fields of 3, 5 and 8 columns. Checks that a field has exactly its width,
// that a value that fits shows the digits of an exact decimal rounding done
// another way (a 60-decimal expansion rounded by hand), and that asterisks
// appear exactly when it does not fit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "output/fixed_columns.hpp"

using namespace detrend::output;

namespace {

// The expected text of a real field, built from printf's exact expansion.
std::string expectedReal(double v, int width, int decimals) {
    std::string text;
    if (std::isnan(v) || std::isinf(v)) {
        text = std::string(std::signbit(v) ? "-" : "") + (std::isnan(v) ? "NaN" : "INF");
    } else {
        char buf[512];
        std::snprintf(buf, sizeof buf, "%.60f", std::fabs(v));
        std::string digits(buf);
        const std::size_t point = digits.find('.');
        std::string whole = digits.substr(0, point);
        std::string kept = whole + digits.substr(point + 1, static_cast<std::size_t>(decimals));
        if (digits[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {  // half away from zero
            int i = static_cast<int>(kept.size()) - 1;
            while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9') kept[static_cast<std::size_t>(i--)] = '0';
            if (i < 0) {
                kept.insert(kept.begin(), '1');
            } else {
                ++kept[static_cast<std::size_t>(i)];
            }
        }
        const std::size_t wholeDigits = kept.size() - static_cast<std::size_t>(decimals);
        const bool allZero = kept.find_first_not_of('0') == std::string::npos;
        text = (std::signbit(v) && !allZero ? "-" : "") + kept.substr(0, wholeDigits) + "." + kept.substr(wholeDigits);
    }
    if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Formats into a guarded buffer and checks that nothing outside the field changed.
template <class Format>
std::string formatted(int width, Format format) {
    char buffer[48];
    std::memset(buffer, '#', sizeof buffer);
    format(buffer + 8);
    for (int i = 0; i < 8; ++i)
        if (buffer[i] != '#' || buffer[8 + width + i] != '#') std::abort();
    return std::string(buffer + 8, static_cast<std::size_t>(width));
}

void checkReal(double v) {
    const std::string got = formatted(8, [&](char* f) { formatReal(f, 8, 3, v); });
    if (got != expectedReal(v, 8, 3)) {
        std::fprintf(stderr, "value %.17g: got '%s' expected '%s'\n", v, got.c_str(), expectedReal(v, 8, 3).c_str());
        std::abort();
    }
}

void checkInteger(long long v, int width) {
    const std::string got = formatted(width, [&](char* f) { formatInteger(f, width, v); });
    std::string text = std::to_string(v);
    if (static_cast<int>(text.size()) > width) text = std::string(static_cast<std::size_t>(width), '*');
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    if (got != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    double d;
    std::memcpy(&d, data, 8);
    checkReal(d);
    // The same bits read as a scaled value, to reach the fields' range often.
    std::int64_t bits;
    std::memcpy(&bits, data, 8);
    checkReal(static_cast<double>(bits % 20000000) / 1000.0);
    checkReal(static_cast<double>(bits % 2000000000) / 100000.0);
    float f;
    std::memcpy(&f, data, 4);
    checkReal(f);
    std::memcpy(&f, data + 4, 4);
    checkReal(f);
    for (int width : {3, 5, 8}) {
        checkInteger(bits, width);
        checkInteger(static_cast<int>(bits % 200000), width);
    }
    return 0;
}
