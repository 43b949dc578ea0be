// The free-layout reader shared by console replies and the input table.
//
// A read takes a fixed number of items. It starts on a new line and takes
// further lines while it lacks items; whatever follows its last item on a line
// is ignored. Items are separated by blanks or by one comma with optional
// blanks around it (tabs are blanks by then, see LineReader). Nothing between
// two commas is an empty item, which keeps its old value. r*v stands for r
// copies of v and r* for r empty items. "/" ends the read at once, leaving the
// remaining items as they were. "!" where an item would begin makes the rest
// of the line a comment. Numbers are decimal: optional sign, digits with an
// optional point, optional exponent introduced by E, D or Q in either case.
// Names are runs of characters other than blank, comma and slash, or text
// between apostrophes or double quotes in which a doubled quote stands for one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "formats/lines.hpp"
#include "formats/series_name.hpp"

namespace detrend::formats {

enum class ScanStatus {
    ok,  // every item read, or the read ended at "/"
    illegalCharacter,  // a number that is not one
    outOfRange,  // a number too large for its type
    zeroRepeat,  // a repeat count of 0
    endOfFile,  // the source ended before every item was read
    unreadable,  // the source could not be read (LineReader::status says why)
};

struct ScanResult {
    ScanStatus status;
    long line;  // number of the line on which the read ended
    // Where a read failed on an item (illegalCharacter, outOfRange,
    // zeroRepeat): the item's 1-based number within the read, its text as
    // written (repeat count included), and the 1-based column on its line
    // where it starts, counted in bytes with tabs expanded to stops every 8
    // columns. 0, empty and 0 otherwise.
    std::size_t item = 0;
    std::string token{};
    std::size_t column = 0;
};

// Reads one number token (no blanks, no repeat count) following the number
// rules above (parseFreeFloat, parseFreeInteger of numbers.hpp), all of it.
// Values too small for the type read as zero of the same sign.
ScanStatus parseNumber(std::string_view token, double& value);
ScanStatus parseNumber(std::string_view token, float& value);
ScanStatus parseNumber(std::string_view token, int& value);

// The number of items on `text` from `pos` on, by the rules above: r*v and
// r* count r, "/" and "!" end the count; quoted items are names when
// `quotedNames`. `afterItem`: whether an item ends just before `pos`, so
// that a comma there only separates.
std::size_t countItems(std::string_view text, std::size_t pos = 0, bool afterItem = false, bool quotedNames = true);

class FreeReader {
public:
    explicit FreeReader(LineReader& lines) : lines_(lines) {}

    // Each reads items.size() (or one) items from the next line on.
    ScanResult read(std::span<double> items);
    ScanResult read(float& item);
    ScanResult read(int& item);
    ScanResult read(std::span<SeriesName> items);

    // When the last read took all its items from one line: the number of
    // items on that line after them, which the read ignored. 0 when it ended
    // at "/", failed, or took items from several lines.
    std::size_t itemsIgnored() const;
    // After a read that took all its items: the items after them on the
    // line where it ended (also when it took items from several lines),
    // and in `column` the 1-based column of the first of them. 0 when the
    // read ended at "/" or failed.
    std::size_t itemsAfterRead(std::size_t& column) const;
    // The line and 1-based column where the last read found its first item;
    // 0 and 0 when it found none.
    long firstItemLine() const { return firstItemLine_; }
    std::size_t firstItemColumn() const { return firstItemColumn_; }

    LineReader& lines() { return lines_; }

    // What a read that did not end ok says, at its line and column: the
    // fixed reason of its status, or, when the source could not be read, the
    // line reader's words (line and column 0).
    base::Diagnostic diagnostic(const ScanResult& result) const;

private:
    template <class Items>
    ScanResult readItems(Items& items);
    ScanResult lineMissing() const;

    LineReader& lines_;
    // Where the line's ignored part starts after a read (npos: none),
    // whether an item ends just before it, and whether the read took names.
    std::size_t rest_ = std::string_view::npos;
    bool restAfterItem_ = false;
    bool restNames_ = false;
    // The same for the last line of any read that took all its items.
    std::size_t lastRest_ = std::string_view::npos;
    bool lastRestAfterItem_ = false;
    long firstItemLine_ = 0;
    std::size_t firstItemColumn_ = 0;
};

}  // namespace detrend::formats
