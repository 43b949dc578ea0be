// Which batch reader an input file needs, told from its content; the file
// name breaks a tie. The tests of the content live here, and the readers use
// them: csvFit picks the CSV reader's separator.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace detrend::formats {

enum class InputFormat { table, tucson, csv, heidelberg, compact, tridas };

// The lines detection examines after the header lines of a Tucson file.
inline constexpr int tucsonLinesExamined = 20;

struct Detection {
    InputFormat format = InputFormat::table;
    // The name ends in .crn: a chronology, not ring widths, refused.
    bool chronology = false;
    // The last line detection looked at: a reader's error up to there may
    // mean that the format was taken wrongly.
    long lastLine = 0;
};

// The format of `bytes` (a UTF-8 byte order mark ignored; blank lines play
// no part), `fileName` ("" for standard input) breaking a tie. The first
// rule that holds:
//  1. a name ending in .crn (in any case) is a chronology;
//  1a. the formats told by their structure (structuredFormat): TRiDaS,
//     Heidelberg, compact;
//  2. the content fits a Tucson file and CSV both: CSV for a name ending in
//     .csv, Tucson otherwise;
//  3. tucson: after at most three header lines (classifyTucsonLine: of the
//     archive's shape, or not of a data line's), the next lines that are
//     not blank, up to tucsonLinesExamined, are data lines (any line of a
//     data line's shape that cannot be read counts against one that can, so
//     that a file with a bad first line is read, to report it) or headers,
//     with a stop marker (999 or -9999) ending a line, or a line continuing
//     the line before under the same id (letter case aside) -- unless every
//     id is a number one more than the id before, as in the rows of an
//     integer table with the year in front;
//  4. csv: csvFit finds a separator that fits consistently;
//  5. the name suggests the format and the content resembles it: .rwl,
//     .raw or .tuc with a line of a Tucson data line's shape after the
//     header lines; .csv with a separator in the first line that a row
//     beginning with a year holds too (commas in a Tucson file's header
//     lines do not make it CSV), else .csv with a line of a Tucson data
//     line's shape;
//  6. csv: csvFit finds a separator that fits loosely;
//  7. table: anything else, a free-layout table of names and rows.
Detection detectFormat(std::string_view bytes, std::string_view fileName = {});

// The lines structuredFormat examines for a Heidelberg or compact file.
inline constexpr int structuredLinesExamined = 50;

// The format of `bytes` when its structure tells it, `extension` (lower
// case, without the dot) breaking a tie; none otherwise. `lastLine` is set
// to the last line examined. The first rule that holds:
//  - tridas: the root element, after the XML declaration, comments,
//    processing instructions and a document type declaration, is named
//    tridas (with any prefix); with the extension xml, any XML element;
//  - heidelberg: the first line that is not blank is "HEADER:" (blanks
//    around it and letter case aside); with the extension fh, a line
//    "HEADER:" or one starting with "DATA:" among the first
//    structuredLinesExamined lines;
//  - compact: the first line holding a '~' among the first
//    structuredLinesExamined lines is a compact header (compactHeader, with
//    N=, I= and the values' format).
std::optional<InputFormat> structuredFormat(std::string_view bytes, std::string_view extension, long& lastLine);

// One line of a Tucson file as format detection sees it.
struct TucsonLine {
    enum class Kind {
        blank,  // also a comment (#...) or a stray line (Ctrl-Z, one character)
        header,  // of the archive's header shape
        data,  // read as one or more records (glued)
        faulty,  // of the shape of a data line, but not readable
        other,  // neither
    };
    Kind kind = Kind::blank;
    // Of a data line's first record: id (pointing into the line), year, the
    // number of values and the last of them.
    std::string_view id;
    long long year = 0;
    std::size_t valueCount = 0;
    long long lastValue = 0;
};
TucsonLine classifyTucsonLine(std::string_view line);

// The rows csvFit examines after the header.
inline constexpr int csvRowsExamined = 20;

// How the first lines of a file fit a CSV table: the first line that is not
// blank (the header) and up to csvRowsExamined lines after it that are not
// blank (the rows), for each of tab, ';' and ',' (counted outside double
// quotes). A separator fits consistently when every row holds the same
// number of it, at least one, and begins with a year, and the header holds
// as many or one fewer. It fits loosely when the header holds it, and every
// row holds it and begins with a year (a CSV file with a faulty row).
struct CsvFit {
    char separator = '\0';  // '\0': none fits
    bool consistent = false;
    bool inHeader = false;  // the header holds one of the three
    // The header holds one that a row beginning with a year holds too (or
    // there is no row).
    bool yearRow = false;
    long lastLine = 0;  // the last line examined
    // Of the rows examined: how many hold one separator more than the header
    // (as R writes row names), and how many as many as the header.
    std::size_t rowsOneMore = 0, rowsAsHeader = 0;
};
// The first separator of tab, ';' and ',' that fits consistently; else the
// first that fits loosely.
CsvFit csvFit(std::string_view bytes);

// The blanks dropped around a CSV cell: blanks, and tabs unless tab
// separates.
inline std::string_view csvBlanks(char separator) { return separator == '\t' ? " " : " \t"; }
// How often `separator` occurs in `line` outside double quotes.
std::size_t separatorCount(std::string_view line, char separator);
// All of `text` as the year of a CSV row: a whole number, or one with a zero
// fraction (1900.0, as pandas writes the years of a column that holds a
// missing value).
bool csvYear(std::string_view text, long long& year);

// How messages name a format: "a Tucson file", "CSV", "a free-layout table",
// "a Heidelberg file", "a compact file", "a TRiDaS file".
std::string_view formatName(InputFormat format);

}  // namespace detrend::formats
