// The series of one input file as every batch reader hands them on, whatever
// the file's format: per series a name, the year of its first value and one
// value per year from there on.
#pragma once

#include <string>
#include <vector>

namespace detrend::formats {

struct Series {
    std::string name;  // as written in the file (not cut to 20 characters)
    long long firstYear = 0;  // the year of values[0]
    std::vector<double> values;  // one per year from firstYear on; NaN = missing
    // Empty when the series can be used as read; otherwise why not (e.g.
    // "year 1850 is given twice"). The batch run skips such a series.
    std::string problem;
};

struct SeriesSet {
    std::vector<Series> series;  // in the order of the file
    // Remarks about the file that are not errors (e.g. a series without a
    // stop marker read as hundredths), each a complete sentence without
    // "detrend:" or the file name.
    std::vector<std::string> warnings;
};

// Where and why an input could not be read. line and column are 1-based;
// 0 means not known (a line of 0: the input as a whole).
struct InputError {
    long line = 0;
    long column = 0;
    std::string message;
};

}  // namespace detrend::formats
