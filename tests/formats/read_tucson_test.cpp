#include "formats/read_tucson.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "series_checks.hpp"

namespace detrend::formats {
namespace {

using namespace std::string_literals;

Outcome read(const std::string& text) { return readTucson(text); }

TEST(Tucson, HeaderLinesSkippedAndUnitsFromStopMarkers) {
    const Outcome r = read(
        "ABC  1 Oak Ridge                                          QURO\n"
        "ABC  2 Somewhere      Quercus robur      250M  5012__ 00830__    1850 1862\n"
        "ABC  3 A. Person, B. Person\n"
        "ABC01   1850   104   230   187\n"
        "ABC01   1853   999\n"
        "ABC02   1855  1234     0  -999  1005   980\n"
        "ABC02   1860   999  1500 -9999\n");
    ASSERT_TRUE(r.ok) << r.error.what;
    ASSERT_EQ(r.set.series.size(), 2u);
    EXPECT_EQ(r.set.series[0].name, "ABC01");
    expectValues(r.set.series[0], 1850, {1.04, 2.30, 1.87});  // 104 / 100 is the double of "1.04"
    expectValues(r.set.series[1], 1855, {1.234, 0.0, 0.0, 1.005, 0.98, 0.999, 1.5});  // -999: an absent ring
    EXPECT_FALSE(r.set.series[0].problem);
    EXPECT_EQ(r.set.warnings, std::vector<std::string>{"series \"ABC02\": 1 absent ring read as 0, first in 1857"});
    EXPECT_EQ(r.set.siteCode, "ABC");
    EXPECT_EQ(r.set.siteName, "Oak Ridge");
    EXPECT_EQ(r.set.species, "QURO");
}

TEST(Tucson, TheSiteFromTheHeadersFirstLine) {
    struct Case {
        std::string header;
        std::optional<std::string> code, name, species;
    };
    const std::vector<Case> cases = {
        {"BRSF   1 Blackwater River State Forest                       PIPA", "BRSF", "Blackwater River State Forest",
         "PIPA"},
        {"DJ  1 Djubga - DJ   PISY", "DJ", "Djubga - DJ", "PISY"},
        {"J02_PCGL 1 Mont Jauffret 02", "J02_PCGL", "Mont Jauffret 02", std::nullopt},
        {"ABC  1 Oak Ridge NEAR", "ABC", "Oak Ridge NEAR", std::nullopt},  // a last word, not set off
        {"", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        const std::string code = c.code.value_or("X");
        const std::string head =
            c.header.empty() ? "" : c.header + "\n" + code + "  2 Somewhere\n" + code + "  3 A. Person\n";
        const Outcome r = read(head + "X01     1850   104   999\n");
        ASSERT_TRUE(r.ok) << r.error.what;
        EXPECT_EQ(r.set.siteCode, c.code);
        EXPECT_EQ(r.set.siteName, c.name);
        EXPECT_EQ(r.set.species, c.species);
    }
}

// Joins the warnings of a read, one per line.
std::string joined(const std::vector<std::string>& warnings) {
    std::string text;
    for (const std::string& w : warnings) text += w + "\n";
    return text;
}

TEST(Tucson, OneLineInEachReading) {
    struct Case {
        const char* what;
        std::string text;
        std::string id;
        long long firstYear;
        std::vector<double> values;  // of the first series
        std::string warnings = "";
    };
    const std::string tenValues = "   100   100   100   100   100   100   100   100   100   100";
    const std::vector<Case> cases = {
        {"aligned", "ABC01   1850   104    96   999\n", "ABC01", 1850, {1.04, 0.96}},
        {"8-character id against the year", "ABCDEFGH1850   104   999\n", "ABCDEFGH", 1850, {1.04}},
        {"value filling its field", "ABC01   1850123456   999\n", "ABC01", 1850, {1234.56}},
        {"single blanks", "ABC01 1850 104 96 999\n", "ABC01", 1850, {1.04, 0.96}},
        {"shifted one column left", "ABC108 1713   156   101   999\n", "ABC108", 1713, {1.56, 1.01}},
        {"tabs", "ABC01\t1850\t104\t999\n", "ABC01", 1850, {1.04}},
        {"negative year from column 8", "ABC0001-1234   104   999\n", "ABC0001", -1234, {1.04}},
        {"negative year in columns 9-12", "ABC01   -123   104   999\n", "ABC01", -123, {1.04}},
        {"CR LF", "ABC01   1850   104   999\r\n", "ABC01", 1850, {1.04}},
        {"CR CR LF", "ABC01   1850   104   999\r\r\n", "ABC01", 1850, {1.04}},
        {"BOM, no last line end",
         "\xEF\xBB\xBF"
         "ABC01   1850   104   999",
         "ABC01",
         1850,
         {1.04}},
        {"DOS end-of-file mark", "ABC01   1850   104   999\r\n\x1A", "ABC01", 1850, {1.04}},
        {"id with a blank", "AB 01   1850   104   999\n", "AB 01", 1850, {1.04}},
        {"blank-separated, year 1", "SeriesA  1   10 30 50 70 999\n", "SeriesA", 1, {0.1, 0.3, 0.5, 0.7}},
        {"tab-separated",
         "TEST5A\t1734\t1230\t456\t789\t12\t34\t999\n",
         "TEST5A",
         1734,
         {12.3, 4.56, 7.89, 0.12, 0.34}},
        {"empty tab fields at the end",
         "bbc03a\t1805\t2428\t1203\t\t\t\nbbc03a\t1807\t999\t\t\n",
         "bbc03a",
         1805,
         {24.28, 12.03}},
        {"CR alone", "ABC01   1850   104   230\rABC01   1852   187   999\r", "ABC01", 1850, {1.04, 2.3, 1.87}},
        {"absent rings, '.' and negative",
         "TEST7A  1734  1230   456     .    12    -7   100   999\n",
         "TEST7A",
         1734,
         {12.3, 4.56, 0, 0.12, 0, 1.0},
         "series \"TEST7A\": 2 absent rings read as 0, first in 1736\n"},
        {"an id in another case continues a series without stop marker",
         "Tst12A  1734   100   200   300   400   500     5\nTST12A  1740   678   999\n",
         "Tst12A",
         1734,
         {1, 2, 3, 4, 5, 0.05, 6.78},
         "series \"Tst12A\" is written \"TST12A\" from line 2; read as one series\n"},
        {"two records glued after -9999",
         "WFS08a  2000   429 -9999       WFS09a  1880  1935   999\n",
         "WFS08a",
         2000,
         {0.429},
         "line 1 holds two records that lost their line break; each is read as a line of its own\n"},
        {"records glued after the tenth value",
         "A       1850" + tenValues + "     A       1860   200   999\n",
         "A",
         1850,
         {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2},
         "line 1 holds two records that lost their line break; each is read as a line of its own\n"},
        {"comments at the top and between series",
         "#----------\n# Lamite Barjung ABIES Spectabilus Nepal 4/2000 pjk\nLBJ01   1850   104   999\n#---\n"
         "LBJ02   1850   120   999\n",
         "LBJ01",
         1850,
         {1.04},
         "line 1 is a comment (it begins with \"#\"), skipped (and 2 more lines)\n"},
        {"a header whose numbers stand in column 5",
         "PZ  1 Dzerzhinskiy                                        QURO\nPZ  2 Russia  Quercus robur\n"
         "PZ  3 A. Person\nPZ01    1850   104   999\n",
         "PZ01",
         1850,
         {1.04},
         "lines 1-3 skipped: the site's header, its line numbers 1 to 3 outside columns 6-9\n"},
        {"a header whose numbers follow an 8-character code",
         "J02_PCGL 1 Mont Jauffret 02\nJ02_PCGL 2 France\nJ02_PCGL 3 Someone\n\nJ02A    1850   104   999\n",
         "J02A",
         1850,
         {1.04},
         "lines 1-3 skipped: the site's header, its line numbers 1 to 3 outside columns 6-9\n"},
        {"a header after a comment, numbers in column 8",
         "# made by hand\nSOJ    1 Sojourn Lake                                        PIBA\n"
         "SOJ    2 Canada       Jack Pine            0M  5355-10441\nSOJ    3 A. Person\nSOJ01   1850   104   999\n",
         "SOJ01",
         1850,
         {1.04},
         "line 1 is a comment (it begins with \"#\"), skipped\n"},
        {"a word after the tenth value field",
         "rif851  1430" + tenValues + "  gap\nrif851  1440   508   999\n",
         "rif851",
         1430,
         {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 5.08},
         "line 1 has \"gap\" after its last value field, ignored\n"},
        {"a word after ten values split at blanks",
         "784011 1840 100 100 100 100 100 100 100 100 100 100  GAP\n784011 1850 900 999\n",
         "784011",
         1840,
         {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9},
         "line 1 has \"GAP\" after its last value field, ignored\n"},
        {"a word against the year and after the fields",
         "RCS0401a1884    99   100   100   100   100   100" + std::string(24, ' ') +
             " Simpl\n"
             "RCS0401a1890    99   999\n",
         "RCS0401a",
         1884,
         {0.99, 1, 1, 1, 1, 1, 0.99},
         "line 1 has \"Simpl\" after its last value field, ignored\n"},
        {"an id filling columns 1-8 against the year",
         "WLD26W 11680  1029   999\n",
         "WLD26W 1",
         1680,
         {10.29},
         "line 1: the id \"WLD26W 1\" fills columns 1-8 against the year 1680; read by the fixed columns\n"},
        {"such ids on consecutive lines, also valid split at blanks",
         "PO10 1 51908    19    20\nPO10 1 51910    30   999\n",
         "PO10 1 5",
         1908,
         {0.19, 0.2, 0.3},
         "line 1: the id \"PO10 1 5\" fills columns 1-8 against the year 1908; read by the fixed columns (and 1 "
         "more line)\n"},
        {"an id against the year without a blank", "kancd11a1960   140   143   999\n", "kancd11a", 1960, {1.4, 1.43}},
        {"Ctrl-Z on a line of its own after the last series",
         "ABC01   1850   104   999\r\n\x1A\r\n",
         "ABC01",
         1850,
         {1.04},
         "line 2 holds an end-of-file mark (Ctrl-Z) after the last series: the data end there\n"},
        {"a stray character after the last series",
         "ABC01   1850   104   999\n\nx\n",
         "ABC01",
         1850,
         {1.04},
         "line 3 holds only \"x\" after the last series: the data end there\n"},
        {"999 inside a series in hundredths",
         "BES04B  1950   131   273   999   342   374   999\n",
         "BES04B",
         1950,
         {1.31, 2.73, 0, 3.42, 3.74},
         "series \"BES04B\": 1 absent ring read as 0, first in 1952; a stop marker (999) inside the series, first in "
         "1952\n"},
        {"999 repeated at the end",
         "164051  1960  99  53  102  91  42  115 150  999  999  999\n",
         "164051",
         1960,
         {0.99, 0.53, 1.02, 0.91, 0.42, 1.15, 1.5},
         "line 1 repeats its stop marker (999 999 999); the series ends at the first\n"},
        {"-9999 inside a series in thousandths",
         "A       1850  1100 -9999  1200   999 -9999\n",
         "A",
         1850,
         {1.1, 0, 1.2, 0.999},
         "series \"A\": 1 absent ring read as 0, first in 1851; a stop marker (-9999) inside the series, first in "
         "1851\n"},
        {"a file cut off inside a value field",
         "ABC01   1850   104   230   18",
         "ABC01",
         1850,
         {1.04, 2.3},
         "line 1, the last, has no line end and stops inside the value field of columns 25-30: the file seems cut "
         "off; the value \"18\" there is left out\n"
         "series ABC01 has no stop marker; its values are read as hundredths of a millimetre\n"},
        {"a file cut off before the last line's first value",
         "ABC01   1850   104   999\nABC02   18",
         "ABC01",
         1850,
         {1.04},
         "line 2, the last, has no line end and stops before its first value: the file seems cut off; the line is "
         "left out\n"},
        {"joined files: the archive's header in the middle",
         "UMD    1 Lil Scaly Mountain\nUMD    2 N. Carolina\nUMD    3 A. Person\nA       1850   100\n"
         "UMD    1 Lil Scaly Mountain\nUMD    2 N. Carolina\nUMD    3 A. Person\nA       1851   110   999\n",
         "A",
         1850,
         {1.0, 1.1},
         "lines 5-7 skipped: a header as at the top of a file (files joined?)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = read(c.text);
        ASSERT_TRUE(r.ok) << r.error.what;
        ASSERT_GE(r.set.series.size(), 1u);
        EXPECT_EQ(r.set.series[0].name, c.id);
        expectValues(r.set.series[0], c.firstYear, c.values);
        EXPECT_EQ(joined(r.set.warnings), c.warnings);
    }
}

std::string repeated(std::string_view text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

TEST(Tucson, FileErrorsNameLineAndColumn) {
    const std::string first = "ABC01   1850   104\n";  // a data line, so that later lines are no header
    const std::string tenValues = "   100   100   100   100   100   100   100   100   100   100";
    const std::vector<ReadErrorCase> cases = {
        {first + "ABC01   18x0   100   999\n", 2, 9, R"(expected a year in columns 9-12, found "18x0")"},
        {first + "ABC01   1851   100   1x1   999\n", 2, 22, R"(expected an integer in columns 19-24, found "1x1")"},
        {first + "ABC01 1851 100 1x1 999\n", 2, 16, R"(expected an integer value, found "1x1")"},
        {first + "some text here\n", 2, 6, R"(expected a year after the series id, found "text")"},
        {first + "ABC01   1851\n", 2, 13, "the line has a series id and a year but no values"},
        {"ABC01   1851\n" + first, 1, 13, "the line has a series id and a year but no values"},
        // A bad field in the first lines is no header line.
        {"OAK01   1921   228   22O   228\n" + first, 1, 22, R"(expected an integer in columns 19-24, found "22O")"},
        // A mistyped year on the first line is no header: its ring values say so.
        {"ABC01   19O0   120   130   140\n" + first, 1, 9,
         R"(expected a year in columns 9-12, found "19O0": the line holds ring values after it, so it is no header)"},
        {"AB 1713   156   101\n", 1, 11, "year 15 in columns 9-12 differs from the year 1713 after the series id"},
        {"ABC  1 x\nABC  2 y\nABC  3 z\nsome text here\n" + first, 4, 6,
         R"(expected a year after the series id, found "text")"},
        {first + "ABC01   1851   100    -`\n", 2, 23, R"(expected an integer in columns 19-24, found "-`")"},
        {"A\t1850\t100\t\t200\t999\n", 1, 12, "expected a value between two tabs, found nothing"},
        {"A       1850   100 -9999   B  1850   1x0\n", 1, 38, R"(expected an integer value, found "1x0")"},
        // A long number after the tenth value reads as a record glued on:
        // its columns are that record's.
        {"A       1850   100   101   102   103   104   105   106   107   108   109   12345678901234567890\n", 1, 94,
         R"(expected an integer in columns 19-24, found "90" (columns of the record that begins at column 76))"},
        {"ABC01   1850   1\0004   999\n"s, 1, 16, "expected an integer in columns 13-18, found \"1\0004\""s},
        // Doubtful layouts.
        {"PINE-01-1921   100   999\n", 1, 8,
         R"("-" in column 8 may end the id "PINE-01-" or begin the year -1921; put a blank between the id and the year)"},
        // Both readings of columns 1-12 hold, and no other line tells.
        {"PO10 1 51908    19   999\n", 1, 8,
         R"(columns 1-12 read as the id "PO10 1 5" and the year 1908, or split at blanks as the id "PO10" and the )"
         R"(year 1, and the file's other lines do not tell which; put a blank before the year)"},
        {"PO10 1 51908    19\nPO10 1 51930    21\n", 1, 8,
         R"(columns 1-12 read as the id "PO10 1 5" and the year 1908, or split at blanks as the id "PO10" and the )"
         R"(year 1, and the file's other lines do not tell which; put a blank before the year)"},
        {first + "AB 1713   156   101\n", 2, 11,
         "year 15 in columns 9-12 differs from the year 1713 after the series id"},
        // A number (or what begins as one) after the tenth field may be an
        // eleventh value.
        {first + "ABC01   1860" + tenValues + "  12a\n", 2, 75, R"(expected nothing after column 72, found "12a")"},
        {"ABC01   1860" + tenValues + "  1.5\n" + first, 1, 75, R"(expected nothing after column 72, found "1.5")"},
        {"ABC01   1850   100         101   999\n", 1, 19, "expected a value in columns 19-24, found blanks"},
        {"ABC 12345 100 999\n", 1, 5, "year 12345 has more than four digits"},
        // Words past the decade, on past the last year taken (the first value
        // of 1000001 in column 8 + 2 * 990002).
        {"A 9999" + repeated(" 1", 990003) + "\n", 1, 1980012, "year 1000001 is out of range (-1000000 to 1000000)"},
        {"\n\nonly a header\n", 0, 0, "the file holds no data line (a series id, a year and its values)"},
        {"", 0, 0, "the file holds no data line (a series id, a year and its values)"},
        // About the file as a whole, not at the line before the long one.
        {"ABC01   1850   104   999\n" + std::string((std::size_t{64} << 20) + 1, ' '), 0, 0,
         "line 2 of the file is longer than 64 MiB"},
    };
    expectReadErrors(cases, [](const std::string& text) { return read(text); });
}

TEST(Tucson, SeriesRules) {
    struct Case {
        const char* what;
        std::string text;
        long long firstYear;
        std::vector<double> values;
        std::string problem;
        std::string warnings = "";
    };
    const std::vector<Case> cases = {
        {"id back later continues its series",
         "A       1850   100   110\nB       1850   100   999\nA       1852   120   999\n",
         1850,
         {1.0, 1.1, 1.2},
         ""},
        {"id back after years without a line: a gap",
         "A       1850   100   110   999\nB       1850   100   999\nA       1854   120   999\n",
         1850,
         {1.0, 1.1, nan, nan, 1.2},  // the years without a line left to --gaps
         "it has no values for 1852 to 1853, between lines 1 and 3"},
        {"999 last before decades without a line ends the part before them",
         "A       1850   100   110\nA       1852   999\nA       1858   120   999\n",
         1850,
         {1.0, 1.1, nan, nan, nan, nan, nan, nan, 1.2},
         "it has no values for 1852 to 1857, between lines 1 and 3"},
        {"in thousandths that 999 is a ring",
         "A       1850  1100\nA       1851   999\nA       1853  1200 -9999\n",
         1850,
         {1.1, 0.999, nan, 1.2},
         "it has no values for 1852, between lines 2 and 3"},
        {"999 before more lines of the run is a value",
         "A       1850  1100  1200   999\nA       1853  1000 -9999\n",
         1850,
         {1.1, 1.2, 0.999, 1.0},
         ""},
        {"negative values missing at the ends, absent inside, 0 a value",
         "A       1850  -999  -999     0   120  -999   130  -999   999\n",
         1852,
         {0.0, 1.2, 0.0, 1.3},
         "",
         "series \"A\": 1 absent ring read as 0, first in 1854\n"},
        {"values past the end of the decade",
         "A       1855   100   110   120   130   140   150   999\n",
         1855,
         {1.0, 1.1, 1.2, 1.3, 1.4, 1.5},
         "",
         "series \"A\": line 1 holds values past the end of its decade (1855 to 1860), read as consecutive years\n"},
        {"continuation line overlapping",
         "A       1850   100   110   120\nA       1852   130   999\n",
         1850,
         {1.0, 1.1, 1.2},
         "year 1852 is given twice (lines 1 and 2)"},
        {"year given twice: the first given stays",
         "A       1850   100  -999\nA       1851   120   999\n",
         1850,
         {1.0},
         "year 1851 is given twice (lines 1 and 2)"},
        {"nothing but missing rings", "A       1850  -999  -999   999\n", 1850, {}, "it has no values"},
        {"a decade given twice with the same values",
         "A       1850   100   110\nA       1850   100   110\nA       1852   120   999\n",
         1850,
         {1.0, 1.1, 1.2},
         "",
         "series \"A\": 1850 to 1851 given twice with the same values, first on lines 1 and 2; read once\n"},
        {"999 inside a series without a stop marker: its unit unknown",
         "A       1850   100   999   120\n",
         1850,
         {1.0, 0.0, 1.2},
         "999 in 1851 (line 1) may be a stop marker or a ring of 0.999 mm, and the series has no stop marker to tell "
         "its unit",
         "series A has no stop marker; its values are read as hundredths of a millimetre\n"
         "series \"A\": 1 absent ring read as 0, first in 1851; a stop marker (999) inside the series, first in "
         "1851\n"},
        {"stop markers disagree",
         "A       1850   100   999\nB       1850     1   999\nA       1851   120 -9999\n",
         1850,
         {1.0, 1.2},
         "its stop markers disagree (999 and -9999)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = read(c.text);
        ASSERT_TRUE(r.ok) << r.error.what;
        ASSERT_GE(r.set.series.size(), 1u);
        EXPECT_EQ(r.set.series[0].name, "A");
        expectValues(r.set.series[0], c.firstYear, c.values);
        EXPECT_EQ(problemOf(r.set.series[0]), c.problem);
        EXPECT_EQ(joined(r.set.warnings), c.warnings);
    }
}

TEST(Tucson, SeriesWithoutStopMarkerReadAsHundredthsWithWarning) {
    const Outcome r = read("ABC01   1850   104   230\nABC02   1850  1000 -9999\n");
    ASSERT_TRUE(r.ok) << r.error.what;
    expectValues(r.set.series[0], 1850, {1.04, 2.30});
    expectValues(r.set.series[1], 1850, {1.0});
    ASSERT_EQ(r.set.warnings.size(), 1u);
    EXPECT_EQ(r.set.warnings[0], "series ABC01 has no stop marker; its values are read as hundredths of a millimetre");
}

}  // namespace
}  // namespace detrend::formats
