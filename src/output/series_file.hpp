// The series of an input written again, as read, in one of the formats of
// the ring-width writers (--write-series): what the format can hold of them
// written, the rest left out with a note.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"
#include "output/naming.hpp"
#include "output/ring_widths.hpp"

namespace detrend::output {

struct SeriesFile {
    WrittenText written;  // the file's text and the writer's notes
    std::size_t series = 0;  // the series written
    std::size_t leftOut = 0;  // the series left out, each with a note
};

// The file of `set`'s series in `format`, in their order. A series with a
// problem (as the reader gives it) is left out, with a note naming the
// problem; so is one the format cannot hold (Tucson and Heidelberg: a
// missing value inside it, a value too wide, a year outside the Tucson
// columns), with the writer's reason. Heidelberg blocks carry the series'
// site, tree and core. The notes, in the order of the series, are
// complete sentences without "detrend:" or a file name.
base::Result<SeriesFile> seriesFile(const formats::SeriesSet& set, SeriesFormat format);

}  // namespace detrend::output
