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
    // Where the series comes from, when the file says (Heidelberg's SiteCode,
    // TreeNo and CoreNo with RadiusNo; TRiDaS's object, element, sample and
    // radius): empty when not known. A site's statistics group cores by
    // tree; a tree id is unique within its site.
    std::string site{}, tree{}, core{};
    // The number of series behind each value, for a chronology read with
    // its sample depths (one per value); empty otherwise.
    std::vector<double> depths{};
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
    // The values are ring widths in millimetres, as a Tucson file's
    // hundredths or thousandths are read; otherwise their unit is unknown.
    bool millimetres = false;
    // Remarks about the file that are not errors (e.g. a series without a
    // stop marker read as hundredths), each a complete sentence without
    // "detrend:" or the file name.
    std::vector<std::string> warnings;
    // A remark of its own, after the warnings.
    std::optional<ItemsIgnored> itemsIgnored;
    // What the file's header says of its site, when it has one (a Tucson
    // file's header lines).
    std::optional<std::string> siteCode, siteName, species;
};

}  // namespace detrend::formats
