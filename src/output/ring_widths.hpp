// Ring widths as the whole numbers that the decade files (Tucson) and the
// Heidelberg files hold: hundredths or thousandths of a millimetre in fields
// of six columns, the unit chosen per series. Shared by their writers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::output {

// The text of a file of series and the notes about it: each a complete
// sentence without "detrend:" or the file's name (a series renamed, values
// rounded, a series without values left out).
struct WrittenText {
    std::string text;
    std::vector<std::string> notes;
};

// The most a six-column field holds.
inline constexpr long long mostRingUnits = 999999;

struct RingWidths {
    long long firstYear = 0;  // the year of units[0]
    // From the series' first present value to its last; empty when it has
    // none (NaN before the first and after the last are not part of it).
    std::vector<long long> units;
    bool thousandths = false;  // else hundredths
    std::size_t rounded = 0;  // values that are no whole number of 0.001 mm
    long long firstRounded = 0;  // the year of the first of them
};

// The widths of `series` in hundredths of a millimetre when every value is
// a whole number of them (k / 100.0 for some integer k, as a reader of
// hundredths makes) and none is 9.99 mm (999, the stop marker of
// hundredths, which readers take for one wherever it stands), else in
// thousandths, rounded half away from zero on
// the exact binary value. Errors name the series and the year: a value that
// is NaN between the first and the last present value (neither format has
// a mark for a missing year inside a series), infinite, negative, or more
// than six columns hold in the unit.
base::Result<RingWidths> ringWidths(const formats::Series& series);

// The note about the values of `series` rounded to 0.001 mm; "" when none.
std::string roundingNote(const formats::Series& series, const RingWidths& widths);

// The note about a series without a value, left out of the file.
std::string leftOutNote(const formats::Series& series);

// Whether `text` holds a control character (C0 or DEL).
bool holdsControl(std::string_view text);

// `text` with every control character (C0 and DEL) replaced by '_': a name
// or id that cannot end a line or hold a tab.
std::string withoutControls(std::string_view text);

}  // namespace detrend::output
