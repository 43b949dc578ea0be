// A series of a Tucson file as its lines gave it, and the rules that make it
// a Series: its unit, stop markers inside it, absent rings, years given
// twice, years without a line (see read_tucson.hpp).
#pragma once

#include <string>
#include <vector>

#include "formats/series_set.hpp"

namespace detrend::formats::tucson {

inline constexpr long long hundredthsMarker = 999;
inline constexpr long long thousandthsMarker = -9999;

struct Entry {
    long long year;
    long long raw;  // as written; -1 for "."
    long line;
};

// A series while the file is read.
struct Gathered {
    std::string id;
    std::vector<Entry> entries;  // in the order of the file
    bool hundredths = false, thousandths = false;  // stop markers seen
    long crossingLine = 0;  // the first line holding values past its decade's end
    long long crossingFirst = 0, crossingLast = 0;  // the years of that line's values
};

// The series `gathered` makes (its entries sorted on the way), and the notes
// about it appended to `warnings`.
Series finishSeries(Gathered& gathered, std::vector<std::string>& warnings);

}  // namespace detrend::formats::tucson
