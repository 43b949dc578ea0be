// The reader of TRiDaS files, the XML exchange format of dendrochronological
// data (Jansma et al. (2010), Dendrochronologia 28, 99-130).
//
// Elements are matched by their local name, with or without a prefix and in
// any namespace. The root element must be <tridas>. Every <measurementSeries>
// and <derivedSeries> found below it is read, in the order of the file:
//  - the name: its <title>, else its <identifier>, else "series N";
//  - the first year: <interpretation><firstYear suffix="AD|BC|BP">; AD and
//    BC count without a year 0 (1 BC is year 0, 25 BC year -24), BP years
//    before 1950 (100 BP is 1850); none: counted from 1, with a note;
//  - the values: each <values> group (one series per group; with several,
//    the name is followed by the group's variable, "OAK1 (earlywood)"), the
//    number in each <value value="...">, a missing or negative one missing;
//    the count attribute of a derived series' values kept as its sample
//    depth;
//  - the unit of the group, by <unit normalTridas="...">, its other
//    attributes or its text: micrometres, 1/100th, 1/50th, 1/20th and 1/10th
//    millimetres, millimetres, centimetres, metres (also written as "µm",
//    "1/100 mm", "mm", "cm", "m"); values are converted to millimetres.
//    <unitless/>, or no unit, keeps the numbers as they are (the latter
//    with a note);
//  - the site, tree and core: the <identifier> (else the <title>) of the
//    enclosing <object>, <element>, and <sample> with its <radius> ("A/1").
//
// The XML is read by libxml2 as a stream of events (no tree is built),
// without network access, without loading a DTD or external entities and
// without substituting entities: a document that declares an entity is
// refused at the declaration, before any use of it, so neither an external
// entity nor nested ones ("billion laughs") can reach the series or cost
// time and memory.
#pragma once

#include <string_view>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

// Reads the whole file `bytes`. The Diagnostic (line, column, what) when it
// cannot be read (not well-formed XML, not TRiDaS, a value that is not a
// number); never throws. Years outside -1000000..1000000 are an error.
base::Result<SeriesSet> readTridas(std::string_view bytes);

}  // namespace detrend::formats
