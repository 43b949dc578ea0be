#include "formats/read_compact.hpp"

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
    std::string problem = "";
};

struct Case {
    const char* what;
    std::string text;
    std::vector<Expected> series;
    std::vector<std::string> warnings = {};
};

std::vector<Case> readCases() {
    return {
        {"a blank first line and comments before the header",
         "\nRing widths of the north slope\n(read me)\n"
         "N=5 I=1850 ABC01A  north slope, core A  (-2F8.0)~\n     123     234     345\n     456     567\n",
         {{"ABC01A", 1850, {1.23, 2.34, 3.45, 4.56, 5.67}}}},
        {"COUNT=N and FIRST=I, in the other order, thousandths",
         "  1900=I    3=N  B (-3F6.0)~\n  1234   567     8\n",
         {{"B", 1900, {1.234, 0.567, 0.008}}}},
        {"fields that touch are cut by their width",
         "N = 4  I = -3  T (-2F5.0)~\n12345123451234512345\n",
         {{"T", -3, {123.45, 123.45, 123.45, 123.45}}}},
        {"two series, a comment between them, zeros padding the last line",
         "N=2 I=1 A (-2F8.0)~\n     100     200       0       0\nend of A\n"
         "n=1 i=10 B (-2F8.0)~\n\n     300\n",
         {{"A", 1, {1.0, 2.0}}, {"B", 10, {3.0}}}},
        {"a power of ten of 0 or more; a repeat count after P or a blank",
         "N=2 I=1 Z (0F4.0)~\n  12   3\nN=1 I=1 P (1F4.0)~\n  12\n"
         "N=2 I=1 R (-2P10F8.0)~\n     100     200\nN=1 I=1 S (-2 10F8.0)~\n     100\n",
         {{"Z", 1, {12.0, 3.0}}, {"P", 1, {120.0}}, {"R", 1, {1.0, 2.0}}, {"S", 1, {1.0}}}},
        {"negative values are missing; a series without values",
         "N=4 I=1900 M (-2F8.0)~\n      -1     100      -1     200\nN=0 I=1 E (-2F8.0)~\n",
         {{"M", 1901, {1.0, nan, 2.0}}, {"E", 1, {}, "it has no values"}},
         {"series \"M\": 2 negative values read as missing, first in 1900"}},
    };
}

TEST(ReadCompact, Cases) {
    for (const Case& c : readCases()) {
        SCOPED_TRACE(c.what);
        const Outcome r = readCompact(c.text);
        ASSERT_TRUE(r.ok) << r.error.line << ":" << r.error.column << ": " << r.error.what;
        ASSERT_EQ(r.set.series.size(), c.series.size());
        for (std::size_t i = 0; i < c.series.size(); ++i) {
            EXPECT_EQ(r.set.series[i].name, c.series[i].name);
            expectValues(r.set.series[i], c.series[i].firstYear, c.series[i].values);
            EXPECT_EQ(problemOf(r.set.series[i]), c.series[i].problem);
        }
        EXPECT_EQ(r.set.warnings, c.warnings);
    }
}

TEST(ReadCompact, ErrorsAtTheirLineAndColumn) {
    expectReadErrors(
        {
            {"note\nN=3 I=1 X~\n", 2, 10, "expected the values' format, such as (-2F8.0), before the ~"},
            {"N=3 I=1 X (-2G8.0)~\n", 1, 12, "expected the values' format, such as (-2F8.0), found \"-2G8.0\""},
            {"N=3 I=1 X (-2F0.0)~\n", 1, 12, "expected the values' format, such as (-2F8.0), found \"-2F0.0\""},
            {"I=1 X (-2F8.0)~\n", 1, 1, "expected the number of values as N=COUNT (0 or more) in the header"},
            {"N=3 X (-2F8.0)~\n", 1, 1, "expected the first year as I=YEAR in the header"},
            {"N=3 I=1 X (-2F8.0)~\n     100\nN=1 I=1 Y (-2F8.0)~\n", 3, 1,
             "series \"X\" (line 1) ends after 1 of its N=3 values"},
            {"N=3 I=1 X (-2F8.0)~\n     100\n\n", 1, 1, "the file ends after 1 of the N=3 values of series \"X\""},
            {"N=3 I=1 X (-2F8.0)~\n     100    1O00\n", 2, 13, "expected a number, found \"1O00\""},
            {"N=3 I=1 X (-2F8.0)~\n     100             200\n", 2, 9, "an empty field between values (columns 9-16)"},
            {"N=1 I=1 X (-2F8.0)~\n     100     200\n", 2, 14,
             "series \"X\" has N=1 values, but more follow on this line"},
            {"N=3 I=999999 X (-2F8.0)~\n", 1, 1, "year 1000001 is out of range (-1000000 to 1000000)"},
            {"N=3 I=9223372036854775807 X (-2F8.0)~\n", 1, 1,
             "year 9223372036854775807 is out of range (-1000000 to 1000000)"},
        },
        [](const std::string& text) { return readCompact(text); });
}

}  // namespace
}  // namespace detrend::formats
