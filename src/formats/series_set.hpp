// The series of one input file as every batch reader hands them on, whatever
// the file's format: per series a name, the year of its first value and one
// value per year from there on.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace detrend::formats {

struct Series {
    std::string name;  // as written in the file (not cut to 20 characters)
    long long firstYear = 0;  // the year of values[0]
    std::vector<double> values;  // one per year from firstYear on; NaN = missing
    // None when the series can be used as read; otherwise why not (e.g.
    // "year 1850 is given twice"), never empty. The batch run skips such a
    // series.
    std::optional<std::string> problem;
    // The problem is only that years inside the series have no value (NaN
    // there, "it has no values for ..."): a step after reading may split the
    // series at them or fill them.
    bool onlyGaps = false;
};

// Of a table read with its columns given: the lines that hold more items
// than those columns, the extra ones ignored. A front end words the remark
// (it names its own way of giving the columns).
struct ItemsIgnored {
    long firstLine = 0;  // the first such line
    std::size_t found = 0;  // the items on that line
    std::size_t columns = 0;  // the columns given
    long lines = 0;  // how many such lines
};

struct SeriesSet {
    std::vector<Series> series;  // in the order of the file
    // Remarks about the file that are not errors (e.g. a series without a
    // stop marker read as hundredths), each a complete sentence without
    // "detrend:" or the file name.
    std::vector<std::string> warnings;
    // A remark of its own, after the warnings.
    std::optional<ItemsIgnored> itemsIgnored;
    // The site as the first line of a Tucson file's header gives it (code,
    // name, species code); none when not given.
    std::optional<std::string> siteCode, siteName, species;
};

}  // namespace detrend::formats
