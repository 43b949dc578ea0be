// The reader of Tucson decadal ring-width files (.rwl).
//
// A data line holds a series id, the year of the line's first value and up
// to ten integer values. It is read by the fixed columns when they fit: id in
// columns 1-8 (blanks around it dropped), year right-aligned in columns 9-12
// (a negative year may start in column 8, the id then ending in column 7),
// values right-aligned in 6-column fields from column 13 to 72. Otherwise it
// is read as blank-separated items: id, year, values. When columns 9-12 hold
// a year, the items must give the same year; a line whose aligned fields
// leave a blank field between values is an error, not read as items.
//
// Lines before the first data line are header lines and skipped; after it,
// a line that is not a data line is an error. Blank lines are skipped.
//
// Values: 999 as the last value of a series' run of lines, or -9999
// anywhere, is the stop marker: hundredths or thousandths of a millimetre.
// Nothing may follow -9999 on its line. A series without a stop marker is
// read as hundredths, with a warning. 0 is a value; any other negative value
// is a missing ring. An id that comes back later continues its series, the
// years in between missing.
#pragma once

#include <cstddef>
#include <string_view>

#include "formats/series_set.hpp"

namespace detrend::formats {

// The longest span, first to last value, of a series of `given` values: a
// series may be incomplete, but one whose years lie far apart for the values
// it has points at a mistyped year (and would take memory out of all
// proportion to the file). A longer series is kept with a problem and no
// values.
inline constexpr long long tucsonSpanLimit(long long given) { return 10 * given + 100; }

// Reads the whole file `bytes` into `out` (replacing what it held): one
// series per id in the order of first appearance, from its first to its last
// non-missing year, or with a problem (a year given twice, no values, too
// long a span, stop markers that disagree). Returns false and fills `error`
// (line, column, message) when the file cannot be read; never throws.
// Years outside -1000000..1000000 are an error.
bool readTucson(std::string_view bytes, SeriesSet& out, InputError& error);

struct TucsonColumns {
    std::string_view id;
    long long year = 0;
    std::size_t valueCount = 0;
    long long lastValue = 0;
};

// True when `line` (without its line end) is a data line by the fixed
// columns alone; `out` then describes it, its id pointing into `line`.
bool readTucsonColumns(std::string_view line, TucsonColumns& out);

}  // namespace detrend::formats
