// Ring-width-like tables for the benchmarks: `series` series of `years` years,
// values around 1 with a falling age trend, a shared signal and noise, written
// as the program reads them.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace detrend::bench {

inline std::string ringWidthTable(int series, int years, int firstYear = 1000) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto uniform = [&] {  // xorshift64*, in [0, 1)
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return static_cast<double>((state * 2685821657736338717ull) >> 11) / 9007199254740992.0;
    };
    std::string text = "Year";
    for (int s = 1; s <= series; ++s) text += " S" + std::to_string(s);
    text += '\n';
    char field[32];
    for (int y = 0; y < years; ++y) {
        text += std::to_string(firstYear + y);
        const double shared = 0.2 * std::sin(y * 0.7) + 0.1 * std::sin(y * 0.13);
        for (int s = 0; s < series; ++s) {
            const double age = 1.5 * std::exp(-y / (300.0 + s)) + 0.5;
            const double v = age + shared + 0.15 * (uniform() - 0.5);
            std::snprintf(field, sizeof field, " %.3f", v);
            text += field;
        }
        text += '\n';
    }
    return text;
}

}  // namespace detrend::bench
