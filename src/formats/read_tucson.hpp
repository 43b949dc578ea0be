// The reader of Tucson decadal ring-width files (.rwl).
//
// A data line holds a series id, the year of the line's first value and up
// to ten values. It is read by the fixed columns when they fit: id in
// columns 1-8 (blanks around it dropped), year right-aligned in columns 9-12
// (a negative year may start in column 8, the id then ending in column 7),
// values right-aligned in 6-column fields from column 13 to 72. Otherwise it
// is read as items separated by blanks or tabs: id, year, values (empty tab
// fields after the last value allowed). When columns 9-12 hold a year, the
// items must give the same year; a line whose aligned fields leave a blank
// field between values is an error, not read as items. A value is an
// integer, or "." for an absent ring.
//
// A line has the shape of a data line when it holds an id and then a year,
// by the fixed columns or as its second item. Such a line that cannot be
// read is an error wherever it stands. A line whose first character other
// than a blank is '#' is a comment. Header lines are skipped: a block of
// three lines of the header's shape (a site code, the line's number 1, 2, 3
// as the second word, then text other than integers alone) wherever its
// numbers stand (noted unless they end in columns 6-9); the archive's
// header lines one by one (their number ending in columns 6-9), recognised
// before anything else, and lines without the shape of a data line, among
// the first three lines that are neither blank nor comments. The first
// header line gives the site's code, name and species. After the first
// data line, a block of header lines numbered from 1 (files joined one
// after the other) is skipped with a warning; a line of nothing but Ctrl-Z,
// or of one character, with nothing but such lines after it, ends the data
// (noted); any other line that is not a data line is an error. Blank lines
// are skipped.
//
// A word (not a number) after the value fields, column 73 on, or after ten
// items, is ignored (noted once per file). A digit in column 8 after a
// blank against a year in columns 9-12: the id fills columns 1-8, unless
// the line split at blanks reads as well and the file's other lines of that
// kind are consistent only so (noted once; ambiguous: an error).
//
// A line that goes on, after its stop marker (or after ten values) and
// blanks, with another id and year holds two records that lost their line
// break: each is read as a line of its own, with a warning -- unless the
// whole line reads by its fixed columns.
//
// Doubtful lines refused: a '-' in column 8 against a four-digit year after
// an id that itself holds a '-' ("PINE-01-1921": the id "PINE-01-" or the
// year -1921?); a year of more than four digits.
//
// Values: the stop marker of a series is the last value of its run of
// lines: 999 (hundredths of a millimetre) or -9999 (thousandths); a run of
// the same marker at the end of a line ends the series at the first of
// them (noted). A series without a stop marker is read as hundredths, with
// a warning, and is unusable when it holds 999 (a marker or 0.999 mm?). 0
// is a value; a negative value or "." inside a series is an absent ring,
// read as 0 (one warning per series), and so is 999 in hundredths, never a
// ring there, unless it stands last before years without a line: then it
// ends the part before them, as it ends a series. Before its first or after
// its last value it is missing. An id that comes back later continues its
// series; years left without a line inside a series are NaN and make it
// unusable (Series::onlyGaps). A year
// given twice with the same value is read once (noted); with another value
// the series is unusable. A line whose id differs only in letter case from
// the id of the series before it, which had no stop marker, and whose year
// continues that series' lines, continues that series (with a warning). A
// line holding values past the end of its decade is read as written, the
// values on consecutive years (with a warning per series). The last line,
// without a line end, cut inside a value field loses that value; cut
// before its first value, it is left out (noted).
#pragma once

#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

// Reads the whole file `bytes`: one series per id in the order of first
// appearance, from its first to its last present year, or with a problem
// naming the lines concerned (a year given twice with two values, years
// without a line inside it, no values, stop markers that disagree, a unit
// unknown). The Diagnostic (line,
// column, what) when the file cannot be read; never throws. Years outside
// -9999..9999 are an error, and so is a line whose values run past year
// yearLimit. The set says its values are millimetres.
base::Result<SeriesSet> readTucson(std::string_view bytes);

}  // namespace detrend::formats
