#include "formats/read_heidelberg.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/series_checks.hpp"

namespace detrend::formats {
namespace {

struct Expected {
    std::string name;
    long long firstYear;
    std::vector<double> values;
    std::vector<double> depths = {};
    std::string site = "", tree = "", core = "", problem = "";
};

struct Case {
    const char* what;
    std::string text;
    std::vector<Expected> series;
    std::vector<std::string> warnings = {};
};

std::vector<Case> readCases() {
    return {
        {"six-column fields, keys in any case, a short last line, the ids",
         "HEADER:\nKeyCode=OAK01\nDateBegin=1901\nlength=12\nUNIT=1/100 mm\nSiteCode=CAT\nTreeNo=3\nKeycode=OAK1\n"
         "CoreNo=A\nRadiusNo=2\nDATA:Tree\n"
         "   100   101   102   103   104   105   106   107   108   109\n"
         "   110   111\n",
         {{"OAK1",
           1901,
           {1.00, 1.01, 1.02, 1.03, 1.04, 1.05, 1.06, 1.07, 1.08, 1.09, 1.10, 1.11},
           {},
           "CAT",
           "3",
           "A/2"}}},
        {"zeros padding the last line are no values; a 0 inside is an absent ring",
         "HEADER:\nKeyCode=P\nDateBegin=-3\nLength=3\nDATA:Tree\n    50     0    70     0     0     0     0     0\n"
         "HEADER:\nKeyCode=Q\nDateBegin=2000\nDATA:Tree\n    50     0    70     0     0\n",
         {{"P", -3, {0.5, 0.0, 0.7}}, {"Q", 2000, {0.5, 0.0, 0.7}}}},
        {"numbers touching in their six columns; blank lines and CR LF",
         "HEADER:\r\nKeyCode=T\r\nDateBegin=1\r\n\r\nDATA:Tree\r\n   100123456   102\r\n\r\n   103\r\n",
         {{"T", 1, {1.0, 1234.56, 1.02, 1.03}}}},
        {"one value per line, with comments; a block ends at the next HEADER:",
         "HEADER:\nKeyCode=S1\nDateEnd=1852\nLength=3\nUnit=1/1000 mm\nDATA:Single\n1234 ; first\n  567\n0\n"
         "HEADER:\nKeyCode=S2\nDateBegin=10\nUnit=mm\nDATA:single\n  2.5\n",
         {{"S1", 1850, {1.234, 0.567, 0.0}}, {"S2", 10, {2.5}}}},
        {"pairs: values and sample depths",
         "HEADER:\nKeyCode=CHR\nDateBegin=1700\nLength=6\nDATA:HalfChrono\n"
         "  1000     3   980     4  1010     4  1020     5  1003     5\n   990     2\n",
         {{"CHR", 1700, {10.0, 9.8, 10.1, 10.2, 10.03, 9.9}, {3, 4, 4, 5, 5, 2}}},
         {"1 series is of DATA:HalfChrono (values with their sample depths): the values are read as a series and "
          "the depths kept"}},
        {"quadruples over the lines, padding zeros after them",
         "HEADER:\nKeyCode=Q4\nDateBegin=5\nDATA:Quadro\n   100     2     1     1   200     3     2     1     0     "
         "0\n",
         {{"Q4", 5, {1.0, 2.0}, {2, 3}}},
         {"1 series is of DATA:Quadro (values with their sample depths): the values are read as a series and the "
          "depths kept"}},
        {"units: fractions, decimals, micrometres",
         "HEADER:\nKeyCode=F50\nDateBegin=1\nUnit=1/50 mm\nDATA:Tree\n     3\n"
         "HEADER:\nKeyCode=D\nDateBegin=1\nUnit=0.01mm\nDATA:Tree\n     3\n"
         "HEADER:\nKeyCode=U\nDateBegin=1\nUnit=µm\nDATA:Tree\n     3\n",
         {{"F50", 1, {3.0 / 50.0}}, {"D", 1, {3.0 / 100.0}}, {"U", 1, {3.0 / 1000.0}}}},
        {"a block crossing year 0 with BC/AD counting: every negative year is a year BC",
         "HEADER:\nKeyCode=X\nDateBegin=-2\nDateEnd=2\nLength=4\nDATA:Tree\n     1     2     3     4\n"
         "HEADER:\nKeyCode=Y\nDateEnd=-25\nLength=2\nDATA:Tree\n     5     6\n",
         {{"X", -1, {0.01, 0.02, 0.03, 0.04}}, {"Y", -25, {0.05, 0.06}}},
         {"the dates count BC/AD without a year 0 (the block at line 1 shows it): a negative year is a year BC, "
          "25 BC read as year -24"}},
        {"numbers separated by blanks, not in their columns",
         "HEADER:\nDateBegin=1\nKeyCode=B\nDATA:Tree\n1 2 3 4\n12345 6\n",
         {{"B", 1, {0.01, 0.02, 0.03, 0.04, 123.45, 0.06}}}},
        {"astronomical counting when the span says so",
         "HEADER:\nKeyCode=X\nDateBegin=-2\nDateEnd=2\nLength=5\nDATA:Tree\n     1     2     3     4     5\n",
         {{"X", -2, {0.01, 0.02, 0.03, 0.04, 0.05}}}},
        {"negative values are missing; a block without values or dates; without a KeyCode",
         "HEADER:\nKeyCode=N\nDateBegin=1900\nDATA:Tree\n    -1    10    -1    12    -1\n"
         "HEADER:\nKeyCode=E\nDateBegin=1900\nLength=0\nDATA:Tree\n"
         "HEADER:\nDATA:Tree\n     7\n",
         {{"N", 1901, {0.1, nan, 0.12}}, {"E", 1900, {}, {}, "", "", "", "it has no values"}, {"3", 1, {0.07}}},
         {"series \"N\": 3 negative values read as missing, first in 1900",
          "the block at line 11 has no KeyCode; its series is named \"3\"",
          "series \"3\" has no DateBegin or DateEnd; its years are counted from 1"}},
    };
}

TEST(ReadHeidelberg, Cases) {
    for (const Case& c : readCases()) {
        SCOPED_TRACE(c.what);
        const Outcome r = readHeidelberg(c.text);
        ASSERT_TRUE(r.ok) << r.error.line << ":" << r.error.column << ": " << r.error.what;
        ASSERT_EQ(r.set.series.size(), c.series.size());
        for (std::size_t i = 0; i < c.series.size(); ++i) {
            const Series& got = r.set.series[i];
            const Expected& want = c.series[i];
            EXPECT_EQ(got.name, want.name);
            expectValues(got, want.firstYear, want.values);
            EXPECT_EQ(got.depths, want.depths) << want.name;
            EXPECT_EQ(got.site, want.site);
            EXPECT_EQ(got.tree, want.tree);
            EXPECT_EQ(got.core, want.core);
            EXPECT_EQ(problemOf(got), want.problem);
        }
        EXPECT_EQ(r.set.warnings, c.warnings);
    }
}

TEST(ReadHeidelberg, ErrorsAtTheirLineAndColumn) {
    const std::string head = "HEADER:\nKeyCode=A\nDateBegin=1900\n";
    expectReadErrors(
        {
            {"\n  Name Value\nHEADER:\n", 2, 3, "expected HEADER: to begin a series' block, found \"Name Value\""},
            {"HEADER:\nKeyCode=A\n", 1, 1, "the block has no DATA: line"},
            {head + "DATA:Trees\n", 4, 6,
             "unknown kind of data \"Trees\": expected Tree, Single, HalfChrono, Chrono, Double or Quadro"},
            {head + "Location Freiburg\nDATA:Tree\n", 4, 1,
             "expected Key=Value or DATA:KIND in the header, found \"Location Freiburg\""},
            {head + "Length=3\nDATA:Tree\n     1     2\n", 4, 8, "Length=3, but the block holds 2 (to line 6)"},
            {head + "Length=2\nDATA:Tree\n     1     2     3\n", 6, 18, "Length=2, but the block holds more values"},
            {head + "Length=2\nDATA:Tree\n     1     2\n     5\n", 7, 6, "Length=2, but the block holds more values"},
            {head + "DateEnd=1905\nLength=5\nDATA:Tree\n     1     2     3     4     5\n", 4, 9,
             "DateBegin=1900 and DateEnd=1905 give 6 years, Length=5"},
            {head + "DateEnd=1899\nDATA:Tree\n", 4, 9,
             "DateBegin=1900 and DateEnd=1899: the end is before the beginning"},
            {head + "DATA:Tree\n     1    2x     3\n", 5, 11, "expected a number, found \"2x\""},
            {head + "DATA:Tree\n     1           3\n", 5, 7, "an empty field between values (columns 7-12)"},
            {head + "Unit=inch\nDATA:Tree\n", 4, 6,
             "Unit=inch: expected 1/100 mm, 1/1000 mm, mm or another fraction of a millimetre"},
            {head + "Length=many\nDATA:Tree\n", 4, 8, "Length=many: expected a whole number"},
            {head + "Length=-1\nDATA:Tree\n", 4, 8, "Length=-1: expected a whole number of years from 0 to 2000000"},
            {head + "DateEnd=9223372036854775807\nDATA:Tree\n", 4, 9,
             "year 9223372036854775807 is out of range (-1000000 to 1000000)"},
            {"HEADER:\nDateBegin=-2\nDateEnd=2\nLength=4\nDATA:Tree\n 1 2 3 4\nHEADER:\nDateBegin=0\nDATA:Tree\n 1\n",
             8, 11, "year 0 does not exist in BC/AD dating, which this file uses"},
            {"HEADER:\nDateBegin=-2\nDateEnd=2\nLength=4\nDATA:Tree\n 1 2 3 4\n"
             "HEADER:\nDateBegin=-2\nDateEnd=2\nLength=5\nDATA:Tree\n 1 2 3 4 5\n",
             9, 9, "this block counts its years with a year 0, the block at line 1 the other way"},
            {head + "DATA:Chrono\n   100     2     1     1   200     3\n", 5, 36,
             "a DATA:Chrono block holds 4 numbers a year; 6 are not whole years"},
            {"HEADER:\nDateBegin=1000001\nDATA:Tree\n 1\n", 2, 11,
             "year 1000001 is out of range (-1000000 to 1000000)"},
            {head + "DATA:Tree\n 1 2 x\n", 5, 2, "expected a number, found \"1 2 x\""},
        },
        [](const std::string& text) { return readHeidelberg(text); });
}

}  // namespace
}  // namespace detrend::formats
