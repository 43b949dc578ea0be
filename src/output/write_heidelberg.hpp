// Ring widths as a Heidelberg file: per series a block of "Key=Value" header
// lines after a line "HEADER:", then "DATA:Tree" and the values.
//
// Each block, lines ended by LF:
//   HEADER:
//   KeyCode=NAME            the series' name, control characters as '_'
//   DateBegin=YEAR          of the first value
//   DateEnd=YEAR            of the last value
//   Length=N                the number of values
//   Unit=1/100 mm           or 1/1000 mm (see ring_widths.hpp: per series)
//   SiteCode=, TreeNo=, CoreNo=   when given for the series
//   DATA:Tree
// then the values as whole units right-aligned in six-column fields, ten to
// a line, the last line holding the rest. Years are not limited to four
// digits. The format has no mark for a missing year that we can rely on, so
// a series with one inside is refused (as are negative, infinite and too
// wide values, naming the series and the year); NaN before the first and
// after the last value are not part of the series. A series without values
// is left out with a note.
#pragma once

#include <string>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"
#include "output/ring_widths.hpp"

namespace detrend::output {

// What identifies a series beyond its name; an empty field is not written.
struct HeidelbergIds {
    std::string siteCode;
    std::string treeNo;
    std::string coreNo;
};

// The Heidelberg file of `series` in their order. `ids` is empty or holds
// one entry per series; an id holding a control character is an error.
base::Result<WrittenText> heidelbergText(const std::vector<formats::Series>& series,
                                         const std::vector<HeidelbergIds>& ids = {});

}  // namespace detrend::output
