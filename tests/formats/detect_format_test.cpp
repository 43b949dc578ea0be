#include "formats/detect_format.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace detrend::formats {
namespace {

TEST(InputFormat, DetectedFromContent) {
    struct Case {
        const char* what;
        std::string text;
        InputFormat format;
        const char* name = "";
    };
    const std::vector<Case> cases = {
        {"tucson with header", "ABC  1 Site\nABC  2 x\nABC01   1850   104   999\n", InputFormat::tucson},
        {"tucson, numeric id ending in a marker", "101     1850   104   999\n", InputFormat::tucson},
        {"tucson header with commas", "ABC  1 Site, Land\nABC  3 Doe, J.\nABC01   1850   104   999\n",
         InputFormat::tucson},
        {"csv", "Year,A,B\n1850,1.2,1.3\n", InputFormat::csv},
        {"csv after BOM, semicolons", "\xEF\xBB\xBFYear;A;B\r\n1850;1,2;1,3\r\n", InputFormat::csv},
        {"csv tabs", "Year\tA\tB\n1850\t1.2\t1.3\n", InputFormat::csv},
        {"csv whose first row is faulty", "Year,A,B\n1850,1.2\n1851,1.2,1.3\n", InputFormat::csv},
        {"table", "Year A B\n1850 1.2 1.3\n", InputFormat::table},
        {"table with commas between values", "Year A B\n1850, 1.2, 1.3\n", InputFormat::table},
        {"aligned integer table", "Year    A     B\n1901    1234  5678\n", InputFormat::table},
        {"empty", "", InputFormat::table},
        {"tucson, a bad field in the first line", "OAK01   1921   228   22O\nOAK01   1930   146   999\n",
         InputFormat::tucson},
        {"csv, years as pandas writes them", "Year,Oak,Pine\n1900.0,,2.5\n1901.0,1.5,2.6\n", InputFormat::csv},
        {"csv, R's header", "Oak,Pine\n1900,1.2,2.5\n", InputFormat::csv},
        {"tucson separated by blanks", "SeriesA  1   10 30 50 70 999\nSeriesB  1   200 400 600 800 -9999\n",
         InputFormat::tucson},
        {"tucson separated by tabs", "TEST5A\t1734\t1230\t456\t789\t12\t34\t999\n", InputFormat::tucson},
        {"csv, the separator consistent over the lines", "Year;Oak, North\n1900;1,2\n", InputFormat::csv},
        {"tucson, CR alone", "ABC01   1850   104\rABC01   1851   999\r", InputFormat::tucson},
        {"tucson, empty tab fields at the end", "bbc03a\t1805\t2428\t1203\t\t\t\nbbc03a\t1807\t999\t\t\n",
         InputFormat::tucson},
        {"tucson, glued records", "WFS08a  2000   429   343   332 -9999        WFS09a  1880  1935   100   999\n",
         InputFormat::tucson},
        {"integer table, a 999 at a row's end", "Year A B\n1901 1234 999\n1902 1235 5678\n", InputFormat::table},
        {"tucson after comments", "# Lamite Barjung, Nepal\n#----\nLBJ01   1850   104   999\n", InputFormat::tucson},
        {"tucson with a header numbered in column 5",
         "PZ  1 Dzerzhinskiy   QURO\nPZ  2 Russia\nPZ  3 A. Person\nPZ01    1850   104   999\n", InputFormat::tucson},
        {"tucson ending in a line of Ctrl-Z", "ABC01   1850   104   110   999\r\n\x1A\r\n", InputFormat::tucson},
        {"tucson, ids filling columns 1-8", "WLD26W 11680  1029  1030\nWLD26W 11682   999\n", InputFormat::tucson},
        // The name breaks a tie.
        {"tucson and csv both: content order", "101\t1850\t104\t999\n205\t1850\t100\t999\n", InputFormat::tucson},
        {"tucson and csv both: .csv", "101\t1850\t104\t999\n205\t1850\t100\t999\n", InputFormat::csv, "d/a.CSV"},
        {"tucson whose header lines hold commas: .csv",
         "CO001 1 Pike's Peak, Colorado\nCO001 2 Colorado, USA\nCO001A  1853   104   105   106\n", InputFormat::tucson,
         "x.csv"},
        {"csv with a header alone: .csv", "Year,A,B\n", InputFormat::csv, "x.csv"},
        {"heidelberg", "\n  header:\nKeyCode=A\nDATA:Tree\n   100\n", InputFormat::heidelberg},
        {"heidelberg-like lines: .fh", "KeyCode=A\nDATA:Tree\n   100\n", InputFormat::heidelberg, "a.FH"},
        {"heidelberg-like lines without .fh", "KeyCode=A\nDATA:Tree\n   100\n", InputFormat::table},
        {"compact, a blank first line", "\nN=2 I=1850 ABC (-2F8.0)~\n     123     234\n", InputFormat::compact},
        {"compact after comments, I= first", "made by hand\nI=1850 N=1 ABC (-2F8.0)~\n     123\n",
         InputFormat::compact},
        {"a ~ without a compact header", "Year A~ B\n1850 1 2\n", InputFormat::table},
        {"tridas with a prefix, after a declaration and comments",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- x -->\n<!DOCTYPE t:tridas [ <!ELEMENT a ANY> ]>\n<t:tridas "
         "xmlns:t=\"x\"/>",
         InputFormat::tridas},
        {"tridas without a prefix", "<tridas>", InputFormat::tridas},
        {"other xml", "<rwl></rwl>", InputFormat::table},
        {"other xml: .xml", "<rwl></rwl>", InputFormat::tridas, "a.xml"},
        {"tucson-like lines without a marker", "ABC01   1850   104\nABC01   1870   100\n", InputFormat::table},
        {"tucson-like lines without a marker: .rwl", "ABC01   1850   104\nABC01   1870   100\n", InputFormat::tucson,
         "a.rwl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detectFormat(c.text, c.name).format, c.format);
    }
    EXPECT_TRUE(detectFormat("ABC01   1850   104   999\n", "site.crn").chronology);
}

TEST(DetectCsv, SeparatorConsistentOverTheFirstLines) {
    struct Case {
        std::string text;
        char separator;
        bool consistent;
    };
    const std::vector<Case> cases = {
        {"Year,A,B\n1850,1,2\n", ',', true},
        {"\"Year,x\";A;B\n1850;1;2\n", ';', true},  // commas in quotes do not count
        {"Year\tA\n1850\t1\n", '\t', true},
        {"Year A B\n1850 1 2\n", '\0', false},
        {"Year;Oak, North\n1900;1,2\n", ';', true},  // one of each in the header
        {"Oak,Pine\n1900,1.2,2.5\n", ',', true},  // R's header: one cell fewer
        {"Year,A,B\n1850,1\n1851,1,2\n", ',', false},  // a faulty row: a loose fit
    };
    for (const Case& c : cases) {
        const CsvFit fit = csvFit(c.text);
        EXPECT_EQ(fit.separator, c.separator) << c.text;
        EXPECT_EQ(fit.consistent, c.consistent) << c.text;
    }
}
}  // namespace
}  // namespace detrend::formats
