#include "formats/read_csv.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "series_checks.hpp"

namespace detrend::formats {
namespace {

Read read(const std::string& text, double missing = -999.0) {
    Read r;
    CsvOptions options;
    options.missing = missing;
    r.ok = readCsv(text, options, r.set, r.error);
    return r;
}

TEST(Csv, SeriesSpanTheirValues) {
    const Read r = read(
        "\xEF\xBB\xBF"
        "Year,\"Oak \"\"A\"\", north\",B,,C\r\n"
        "1850,NA,1.20,,-999\r\n"
        "1851,0.85,1.1,,NaN\r\n"
        "1852,0.9,,,nan\r\n"
        "1853, 1.01 ,1e-1,,NAN\r\n"
        "\r\n"
        "\r\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.set.series.size(), 4u);
    EXPECT_EQ(r.set.series[0].name, "Oak \"A\", north");
    EXPECT_EQ(r.set.series[2].name, "");
    expectValues(r.set.series[0], 1851, {0.85, 0.9, 1.01});
    expectValues(r.set.series[1], 1850, {1.2, 1.1, nan, 0.1});  // the gap stays for the run to report
    for (std::size_t s : {0u, 1u}) EXPECT_EQ(r.set.series[s].problem, "");
    for (std::size_t s : {2u, 3u}) {
        EXPECT_TRUE(r.set.series[s].values.empty());
        EXPECT_EQ(r.set.series[s].problem, "it has no values");
    }
}

TEST(Csv, SeparatorsAndMissingFlag) {
    struct Case {
        const char* what;
        std::string text;
        double missing;
        std::vector<double> values;
    };
    const std::vector<Case> cases = {
        {"semicolon, decimal comma", "Jahr;A\n1850;1,25\n1851;\"0,5\"\n", -999.0, {1.25, 0.5}},
        {"tab, blanks kept apart", "Year\tA\n1850\t 1.25\n1851\t+0.5\n", -999.0, {1.25, 0.5}},
        {"most frequent separator", "Year;A,x;B\n1850;1.25;2\n", -999.0, {1.25}},
        {"flag as written", "Year,A\n1850,1.5\n1851,-99.99\n1852,2\n", -99.99, {1.5, nan, 2.0}},
        {"flag as a float", "Year,A\n1850,1.5\n1851,-99.98999786376953\n1852,2\n", -99.99, {1.5, nan, 2.0}},
        {"other flag: -999 a number", "Year,A\n1850,-999\n1851,2\n", -1.0, {-999.0, 2.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = read(c.text, c.missing);
        ASSERT_TRUE(r.ok) << r.error.message;
        expectValues(r.set.series[0], 1850, c.values);
    }
}

TEST(Csv, ErrorsNameLineAndColumn) {
    const std::vector<ReadErrorCase> cases = {
        {"Year,A,B\n1850,1,2\n1851,1\n", 3, 7, "expected 3 cells as in the header, found 2"},
        {"Year,A,B\n1850,1,2\n1851,1,2,3\n", 3, 10, "expected 3 cells as in the header, found 4"},
        {"Year,A\n1850,1\n1852,1\n", 3, 1, "expected year 1851, found 1852"},
        {"Year,A\n1850,1\n1850,1\n", 3, 1, "expected year 1851, found 1850"},
        {"Year,A\n1850.5,1\n", 2, 1, R"(expected a year, found "1850.5")"},
        {"Year,A\nNA,1\n", 2, 1, R"(expected a year, found "NA")"},
        {"Year,A\n1850, 1.2x\n", 2, 7, R"(expected a number, found "1.2x")"},
        {"Year,A\n1850,abcdefghijklmnopqrstuvwxyz\n", 2, 6, R"(expected a number, found "abcdefghijklmnopqrstuvwxyz")"},
        {"Year,A\n1850,1,2\n", 2, 8, "expected 2 cells as in the header, found 3"},
        {"Year,A\n1850,inf\n", 2, 6, R"(expected a number, found "inf")"},
        {"Year,A\n1850,1;5\n", 2, 6, R"(expected a number, found "1;5")"},
        {"Year,\"A\n1850,1\n", 1, 6, "expected a closing quote on the same line"},
        {"Year,\"A\" x,B\n", 1, 10, R"(expected a separator after the closing quote, found "x")"},
        {"Year,A\n-2000000,1\n", 2, 1, "year -2000000 is out of range (-1000000 to 1000000)"},
        {"Year,A\n\n", 1, 0, "no data rows after the header"},
        {"Year A\n1850 1\n", 1, 7, "expected series names after the year column's title"},
        {"\xEF\xBB\xBF\r\n \n", 0, 0, "the file is empty"},
    };
    expectReadErrors(cases, [](const std::string& text) { return read(text); });
}

TEST(Csv, SeparatorOfHeader) {
    EXPECT_EQ(csvSeparator("Year,A,B"), ',');
    EXPECT_EQ(csvSeparator("\"Year,x\";A;B"), ';');  // commas in quotes do not count
    EXPECT_EQ(csvSeparator("Year\tA"), '\t');
    EXPECT_EQ(csvSeparator("Year A B"), '\0');
}

}  // namespace
}  // namespace detrend::formats
