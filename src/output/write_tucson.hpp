// Ring widths as a Tucson decade file (.rwl), the layout of the
// International Tree-Ring Data Bank (Grissino-Mayer, H. D. and Fritts, H. C.
// (1997), The Holocene 7, 235-238), written so that detrend's Tucson reader
// (formats/read_tucson.hpp) gives back the same series.
//
// Header (only with a site code): three lines, the site code in columns
// 1-6, the line's number (1, 2, 3) in column 8, text from column 10. Line 1
// holds the site name in columns 10-61 and the species code in 62-65; lines
// 2 and 3 (place, species name, elevation, coordinates, years;
// investigators) are left empty after the number.
//
// Data lines, LF ended: the series id left-aligned in columns 1-8, the year
// of the line's first value right-aligned in columns 9-12, then up to ten
// values right-aligned in six-column fields. The first line of a series runs
// from its first year to the end of that decade, every further line holds a
// decade (years ending in 0 to 9; -5 lies in -10 .. -1). The unit is chosen
// per series, as the archive marks it per series: hundredths of a
// millimetre with the stop marker 999 after the last value, or thousandths
// with -9999 when a value is no whole number of hundredths (see
// ring_widths.hpp). The marker takes the year after the last value: on the
// last line, or on a line of its own when the series ends on a decade's
// last year. Absent rings (0) are written 0.
//
// Refused, with the series and the year: a year outside -999 .. 9999 (four
// columns; also the marker's year after 9999), and what ringWidths refuses
// (a missing value inside a series: a negative value there would read as an
// absent ring and -9999 as the end; a negative or infinite value, one too
// wide for six columns). A series without values is left out with a note.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"
#include "output/ring_widths.hpp"

namespace detrend::output {

// The archive's header lines; none when siteCode is empty.
struct TucsonHeader {
    std::string siteCode;  // 1-6 characters without blanks
    std::string siteName;  // at most 52 characters
    std::string speciesCode;  // at most 4 characters without blanks, e.g. "QUPE"
};

// The ids of `series` in a Tucson file, one per series, with a note for
// each that differs from its name. A name is kept when, its control
// characters replaced by '_' and outer blanks dropped, it is 1-8 bytes long,
// unique and reads back as written (eight bytes may not end in '-' or in a
// blank and a digit, which the reader takes for part of the year). Other
// names are cut to their first six bytes (whole UTF-8 characters, "series"
// for an empty name) followed by the first two-digit counter 01..99 that
// makes the id unique (five bytes and three digits when 99 are taken, and
// so on). Kept names are placed first, so a counter never takes an id that
// another series holds as its own name.
std::vector<std::string> tucsonIds(const std::vector<formats::Series>& series, std::vector<std::string>& notes);

// The Tucson file of `series` (in their order), with `header` when it has a
// site code. Errors: a header field that does not fit its columns or would
// read as a data line, and the refusals above.
base::Result<WrittenText> tucsonText(const std::vector<formats::Series>& series, const TucsonHeader& header = {});

}  // namespace detrend::output
