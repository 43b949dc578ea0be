// The lines of a Tucson file (see read_tucson.hpp for the rules): the
// archive's header shape, a data line read by its fixed columns or as items,
// and records glued on one line.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "formats/fields.hpp"

namespace detrend::formats::tucson {

// A value of a data line: the integer as written (-1 for ".", an absent
// ring) and its 1-based column.
struct LineValue {
    long long raw;
    long column;
};

struct DataLine {
    std::string_view id;  // points into the line
    long long year = 0;
    long yearColumn = 0;
    std::vector<LineValue> values;  // at least one
};

enum class Reading {
    data,
    faulty,  // of the shape of a data line (an id, then a year), but not readable
    other,  // not of that shape
};

// The number (1 to 3) of a line of the archive's header shape, 0 when it is
// not one: a site id from column 1, blanks, the number alone ending in
// columns 6-9, then nothing or text that is not integers alone.
int archiveNumber(std::string_view line);

// How a record was read; unless data, the fault says what was expected at
// which column (its line left 0 for the caller).
struct Record {
    Reading reading = Reading::data;
    base::Diagnostic fault{};
};

// Reads line.substr(start) as a data line into `out`; its columns are
// counted in `line`. `scratch` is working room.
Record readRecord(std::string_view line, std::size_t start, DataLine& out, DataLine& scratch);

// Where a second record begins on `line` after position `from`: after a
// stop marker (-9999, or 999 before an item that is not an integer) or
// after ten values, an item that begins a line of the shape of a data line.
// npos when there is none.
std::size_t gluedAt(std::string_view line, std::size_t from = 0);

// The rings of a data line: its values, without a stop marker at the end.
std::size_t ringCount(const DataLine& line);

}  // namespace detrend::formats::tucson
