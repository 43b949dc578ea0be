// Which batch reader an input file needs, told from its content alone (never
// from its name), and the line splitting the batch readers share.
#pragma once

#include <string_view>

namespace detrend {

enum class InputFormat { table, tucson, csv };

InputFormat detectFormat(std::string_view bytes);
// The format of `bytes`, a UTF-8 byte order mark ignored. Empty and blank
// lines play no part. The header is the first line that is not blank; a
// separator is the one csvSeparator picks in it. The first rule that holds:
//  1. csv: the header has a separator and the next line has as many of it
//     and a whole number (a year) in its first cell;
//  2. tucson: some line reads as a Tucson data line by the fixed columns
//     (readTucsonColumns), with an id that is not all digits or a stop marker
//     (999 or -9999) as its last value -- so that rows of an aligned integer
//     table with the year in front are not taken for Tucson lines;
//  3. csv: the header has a separator and some later line is a row as in 1
//     (a csv file whose first row is faulty, read to report the fault);
//  4. table: anything else, a free-layout table of names and rows.

class TextLines {
public:
    explicit TextLines(std::string_view bytes);
    // Splits `bytes`, which must outlive the object; a leading UTF-8 byte
    // order mark is skipped, and so is a DOS end-of-file mark (Ctrl-Z) at the
    // very end.

    bool next();
    // Moves to the next line: true, or false after the last. A line ends at
    // LF; the carriage returns just before it (CR LF, CR CR LF) are dropped.
    // Text after the last LF is one more line.

    std::string_view line() const { return line_; }
    // The current line without its line end.

    long number() const { return number_; }
    // 1-based number of the current line.

private:
    std::string_view rest_;
    std::string_view line_;
    long number_ = 0;
    bool atEnd_ = false;
};

bool isBlankLine(std::string_view line);
// True when `line` holds nothing but blanks and tabs.

}  // namespace detrend
