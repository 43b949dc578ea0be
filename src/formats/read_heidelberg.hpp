// The reader of Heidelberg files (.fh).
//
// A file is a sequence of blocks, one series each: a line "HEADER:", then
// header lines "Key=Value" (keys in any letter case, blanks around key and
// value dropped), then a line "DATA:KIND", then the values up to the next
// "HEADER:" or the end. Blank lines are skipped everywhere.
//
// Kinds: Tree and Single hold one number per year; HalfChrono and Double
// hold pairs (value, sample depth); Chrono and Quadro quadruples (value,
// sample depth, then the counts of series rising and falling). Of a pair or
// quadruple the value is read as the series and the sample depth is kept in
// Series::depths, with one note per kind naming how many series it held.
//
// Layout of the values, decided per block by counting the items on its
// lines: when every line holds one item (after a ';' that starts a comment),
// one number per line; otherwise fields of six columns, ten to a line, cut
// by width (numbers may touch), a short last line included. A blank field
// between numbers is an error. In six-column fields, zeros after the
// block's last value on its last line are padding; a 0 inside a series is an
// absent ring, read as 0. A negative value is missing (NaN), with a note.
//
// Keys read: KeyCode (the series' name; the block's number when absent,
// with a note), Length, DateBegin, DateEnd, Unit, SiteCode, TreeNo, CoreNo
// and RadiusNo (Series::site, tree and core; the core is CoreNo/RadiusNo
// when both are given). The first year is DateBegin, or DateEnd and the
// length; a block without either is counted from year 1, with a note. The
// length is Length, else the dates' span, else the number of values; a
// block whose values, dates and Length disagree is an error at the line of
// the key or value that contradicts. Unit: "1/100 mm" (the default),
// "1/1000 mm", "mm", any fraction "a/b mm" or decimal "0.01 mm" of a
// millimetre ("mm" may be left out), "um" or "µm".
//
// Years: the dates of a file are astronomical (year 0 is 1 BC) unless a
// block shows the file counts BC/AD without a year 0: a block whose dates
// run from a negative year to a positive one and whose Length is one less
// than astronomical counting gives. Then every negative year is a year BC,
// converted (25 BC, DateEnd=-25, is year -24), a DateBegin or DateEnd of 0
// is an error, and a note says so. Blocks that show both are an error.
#pragma once

#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

// Reads the whole file `bytes`: one series per block, in the order of the
// file. The Diagnostic (line, column, what) when it cannot be read; never
// throws. Years outside -1000000..1000000 are an error.
base::Result<SeriesSet> readHeidelberg(std::string_view bytes);

}  // namespace detrend::formats
