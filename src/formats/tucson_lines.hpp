// The lines of a Tucson file (see read_tucson.hpp for the rules): comments,
// the archive's header shape, a data line read by its fixed columns or as
// items, and records glued on one line.
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
    // Text that is not a number after the last value field (column 73 on,
    // or after ten items), ignored: where it begins (0: none) and the word.
    long trailingColumn = 0;
    std::string_view trailing;
    // Where a last value field begins that the line ends inside (fewer than
    // six columns), when the rest fits the fixed columns: 0 when none.
    long shortFieldColumn = 0;
};

enum class Reading {
    data,
    faulty,  // of the shape of a data line (an id, then a year), but not readable
    other,  // not of that shape
    // Columns 1-12 read both as an id filling columns 1-8 and a year in 9-12
    // (in `out`) and, split at blanks, as a shorter id and another year (in
    // `scratch`): the file's other lines decide (chooseIdReading).
    choice,
};

// How a line whose column 8 holds a digit after a blank, against a year in
// columns 9-12 ("WLD26W 11680"), is read: the id filling columns 1-8, or
// split at blanks (then the year is the word after the id), or whichever
// reading is valid (both valid: Reading::choice).
enum class IdRule { ask, columns, blanks };

// Whether `line` is a comment: its first character that is not a blank is '#'.
bool isComment(std::string_view line);

// Whether `line` holds nothing but DOS end-of-file marks (Ctrl-Z), or one
// character alone, between blanks.
bool isStrayLine(std::string_view line);

// The number (1 to 3) of a line of the archive's header shape, 0 when it is
// not one: a site id from column 1, blanks, the number alone ending in
// columns 6-9, then nothing or text that is not integers alone.
int archiveNumber(std::string_view line);

// The number (1 to 3) of a line of the header's shape wherever its number
// stands: a site code from column 1, the number alone as the second word,
// then nothing or text that is not integers alone; 0 when not of that shape.
int headerNumber(std::string_view line);

// What the first line of a header says of the site: the code (its first
// word), the name (the text after the number, up to the species) and the
// species code (a last word of four capital letters in columns 62-65, or
// set off by two blanks or more); empty when not given.
struct SiteHeader {
    std::string_view code, name, species;
};
SiteHeader siteHeader(std::string_view line);

// How a record was read; unless data, the fault says what was expected at
// which column (its line left 0 for the caller).
struct Record {
    Reading reading = Reading::data;
    base::Diagnostic fault{};
    bool idInEightColumns = false;  // read with the id filling columns 1-8 against the year
};

// Reads line.substr(start) as a data line into `out`; its columns are
// counted in `line`. `scratch` is working room (and the second reading of a
// choice).
Record readRecord(std::string_view line, std::size_t start, DataLine& out, DataLine& scratch,
                  IdRule rule = IdRule::columns);

// Which reading of the lines that fill the id's eight columns against the
// year keeps the file's lines consistent, from the first such line in
// `lines` on (200 such lines at most): the one under which fewer lines break
// the file's order (a line of the id of the line before that does not
// continue its years, or a line that does not read so at all); ask when
// both break as often.
IdRule chooseIdReading(std::string_view lines);

// Where a second record begins on `line` after position `from`: after a
// stop marker (-9999, or 999 before an item that is not an integer) or
// after ten values, an item that begins a line of the shape of a data line.
// npos when there is none.
std::size_t gluedAt(std::string_view line, std::size_t from = 0);

// The rings of a data line: its values, without a stop marker at the end
// (and its repeats).
std::size_t ringCount(const DataLine& line);

}  // namespace detrend::formats::tucson
