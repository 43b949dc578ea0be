// The reader of ring widths in the compact format.
//
// Each series starts with a header line ending in '~':
//   N=COUNT I=FIRST ID [text] (EXPFW.0)~
// N= gives the number of values and I= the year of the first (either may
// come first, and each may also be written COUNT=N, FIRST=I, blanks around
// '=' allowed); ID, the first other word, names the series, and any words
// after it are a title. The format in parentheses gives the power of ten
// that scales the values (EXP, e.g. -2 for hundredths of a millimetre) and
// the width W of their fields; a repeat count may follow the power after a
// 'P' or a blank ("-2P10F8.0", "-2 10F8.0"), and is ignored.
//
// The values follow on the next lines in fields of W columns, cut by width
// (numbers may touch), until COUNT are read; blank lines are skipped and a
// blank field between values is an error. A value is a number, scaled by
// 10^EXP; a negative one is missing, with a note. Fields after the last
// value on its line must be blank or 0. Any line without '~' that is not a
// series' values is a comment, at the top of the file too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

struct CompactHeader {
    long long count = 0;  // N=
    long long firstYear = 0;  // I=
    std::string id;
    int exponent = 0;  // the values are scaled by 10^exponent
    std::size_t width = 0;  // of a value's field
};

// The header of a series in `line`, which holds a '~'; the Diagnostic
// (column, line 0) when it is not one.
base::Result<CompactHeader> compactHeader(std::string_view line);

// Reads the whole file `bytes`: one series per header, in the order of the
// file. The Diagnostic (line, column, what) when it cannot be read; never
// throws. Years outside -1000000..1000000 are an error.
base::Result<SeriesSet> readCompact(std::string_view bytes);

}  // namespace detrend::formats
