#include "formats/read_tucson.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "series_checks.hpp"

namespace detrend::formats {
namespace {

Read read(const std::string& text) {
    Read r;
    r.ok = readTucson(text, r.set, r.error);
    return r;
}

TEST(Tucson, HeaderLinesSkippedAndUnitsFromStopMarkers) {
    const Read r = read(
        "ABC  1 Oak Ridge                                          QURO\n"
        "ABC  2 Somewhere      Quercus robur      250M  5012__ 00830__    1850 1862\n"
        "ABC  3 A. Person, B. Person\n"
        "ABC01   1850   104   230   187\n"
        "ABC01   1853   999\n"
        "ABC02   1855  1234     0  -999  1005   980\n"
        "ABC02   1860   999  1500 -9999\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.set.series.size(), 2u);
    EXPECT_EQ(r.set.series[0].name, "ABC01");
    expectValues(r.set.series[0], 1850, {1.04, 2.30, 1.87});  // 104 / 100 is the double of "1.04"
    expectValues(r.set.series[1], 1855, {1.234, 0.0, nan, 1.005, 0.98, 0.999, 1.5});
    EXPECT_TRUE(r.set.series[0].problem.empty());
    EXPECT_TRUE(r.set.warnings.empty());
}

TEST(Tucson, OneLineInEachReading) {
    struct Case {
        const char* what;
        std::string text;
        std::string id;
        long long firstYear;
        std::vector<double> values;
    };
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = read(c.text);
        ASSERT_TRUE(r.ok) << r.error.message;
        ASSERT_EQ(r.set.series.size(), 1u);
        EXPECT_EQ(r.set.series[0].name, c.id);
        expectValues(r.set.series[0], c.firstYear, c.values);
    }
}

TEST(Tucson, FileErrorsNameLineAndColumn) {
    const std::string first = "ABC01   1850   104\n";  // a data line, so that later lines are no header
    const std::string tenValues = "   100   100   100   100   100   100   100   100   100   100";
    const std::vector<ReadErrorCase> cases = {
        {first + "ABC01   18x0   100   999\n", 2, 9, R"(expected a year in columns 9-12, found "18x0")"},
        {first + "ABC01   1851   100   1x1   999\n", 2, 22, R"(expected an integer in columns 19-24, found "1x1")"},
        {first + "ABC01 1851 100 1x1 999\n", 2, 16, R"(expected an integer value, found "1x1")"},
        {first + "some text here\n", 2, 6, R"(expected a year after the series id, found "text")"},
        {first + "ABC01   1851\n", 2, 13, "expected values from column 13 on"},
        {first + "AB 1713   156   101\n", 2, 11,
         "year 15 in columns 9-12 differs from the year 1713 after the series id"},
        {first + "ABC01   1860" + tenValues + "  SEQ1\n", 2, 75, R"(expected nothing after column 72, found "SEQ1")"},
        {"ABC01   1850   100         101   999\n", 1, 19, "expected a value in columns 19-24, found blanks"},
        {"ABC01   1850   100 -9999   100\n", 1, 28, "expected nothing after the stop marker -9999"},
        {"ABC 2000000 100 999\n", 1, 5, "year 2000000 is out of range (-1000000 to 1000000)"},
        {"\n\nonly a header\n", 0, 0, "no data line (a series id, a year and its values)"},
        {"", 0, 0, "no data line (a series id, a year and its values)"},
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
    };
    const std::vector<Case> cases = {
        {"id back later: the years between are missing",
         "A       1850   100   110   999\nB       1850   100   999\nA       1854   120   999\n",
         1850,
         {1.0, 1.1, nan, nan, 1.2},
         ""},
        {"999 before more lines of the run is a value",
         "A       1850  1100  1200   999\nA       1853  1000 -9999\n",
         1850,
         {1.1, 1.2, 0.999, 1.0},
         ""},
        {"-999 missing, missing ends trimmed, 0 a value",
         "A       1850  -999  -999     0   120  -999   130  -999   999\n",
         1852,
         {0.0, 1.2, nan, 1.3},
         ""},
        {"continuation line overlapping",
         "A       1850   100   110   120\nA       1852   130   999\n",
         1850,
         {1.0, 1.1, 1.2},
         "year 1852 is given twice"},
        {"year given twice: the first given stays",
         "A       1850   100  -999\nA       1851   120   999\n",
         1850,
         {1.0},
         "year 1851 is given twice"},
        {"nothing but missing rings", "A       1850  -999  -999   999\n", 1850, {}, "it has no values"},
        {"stop markers disagree",
         "A       1850   100   999\nB       1850     1   999\nA       1852   120 -9999\n",
         1850,
         {1.0, nan, 1.2},
         "its stop markers disagree (999 and -9999)"},
        {"years far apart for the values given",
         "A       1850   100   999\nB       1850   100   999\nA 1973 100 999\n",
         1850,
         {},
         "it spans 124 years with only 2 values; is a year mistyped?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = read(c.text);
        ASSERT_TRUE(r.ok) << r.error.message;
        ASSERT_GE(r.set.series.size(), 1u);
        EXPECT_EQ(r.set.series[0].name, "A");
        expectValues(r.set.series[0], c.firstYear, c.values);
        EXPECT_EQ(r.set.series[0].problem, c.problem);
    }
}

TEST(Tucson, SeriesWithoutStopMarkerReadAsHundredthsWithWarning) {
    const Read r = read("ABC01   1850   104   230\nABC02   1850  1000 -9999\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    expectValues(r.set.series[0], 1850, {1.04, 2.30});
    expectValues(r.set.series[1], 1850, {1.0});
    ASSERT_EQ(r.set.warnings.size(), 1u);
    EXPECT_EQ(r.set.warnings[0], "series ABC01 has no stop marker; its values are read as hundredths of a millimetre");
}

}  // namespace
}  // namespace detrend::formats
