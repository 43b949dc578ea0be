// Ring-width-like tables for the benchmarks: `series` series of `years` years,
// values around 1 with a falling age trend, a shared signal and noise, written
// as the program reads them.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace detrend::bench {

// `separator` goes between cells; `missing` is written for the years before
// series k's first, which is year firstYear + (k % 50) * `stagger` (no
// missing value with the default stagger of 0).
inline std::string ringWidthTable(int series, int years, int firstYear = 1000, char separator = ' ',
                                  const char* missing = "-999", int stagger = 0) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto uniform = [&] {  // xorshift64*, in [0, 1)
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return static_cast<double>((state * 2685821657736338717ull) >> 11) / 9007199254740992.0;
    };
    std::string text = "Year";
    for (int s = 1; s <= series; ++s) text += separator + ("S" + std::to_string(s));
    text += '\n';
    char field[32];
    for (int y = 0; y < years; ++y) {
        text += std::to_string(firstYear + y);
        const double shared = 0.2 * std::sin(y * 0.7) + 0.1 * std::sin(y * 0.13);
        for (int s = 0; s < series; ++s) {
            const double age = 1.5 * std::exp(-y / (300.0 + s)) + 0.5;
            const double v = age + shared + 0.15 * (uniform() - 0.5);
            text += separator;
            if (y < (s % 50) * stagger) {
                text += missing;
                continue;
            }
            std::snprintf(field, sizeof field, "%.3f", v);
            text += field;
        }
        text += '\n';
    }
    return text;
}

// A Tucson decadal ring-width file: three header lines, then `series` series
// of 150 to 450 years in hundredths of a millimetre, each ended by 999.
inline std::string tucsonFile(int series, unsigned seed) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (static_cast<std::uint64_t>(seed) * 0xBF58476D1CE4E5B9ull);
    auto next = [&] {
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return (state * 2685821657736338717ull) >> 33;
    };
    std::string text =
        "SITE  1 Generated site                                        PCAB\n"
        "SITE  2 Nowhere          Spruce     1000M  0000-00000  1600 2000\n"
        "SITE  3 Bench mark                                                 \n";
    char line[96];
    for (int s = 0; s < series; ++s) {
        char id[16];
        std::snprintf(id, sizeof id, "G%03u%04d", seed % 1000, s);
        const int first = 1600 + static_cast<int>(next() % 150);
        const int length = 150 + static_cast<int>(next() % 300);
        int year = first;
        const int last = first + length - 1;
        while (year <= last + 1) {
            int n = std::snprintf(line, sizeof line, "%-8s%4d", id, year);
            do {
                const int value = year <= last ? 50 + static_cast<int>(next() % 250) : 999;
                n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%6d", value);
                ++year;
            } while (year % 10 != 0 && year <= last + 1);
            text += line;
            text += '\n';
        }
    }
    return text;
}

}  // namespace detrend::bench
