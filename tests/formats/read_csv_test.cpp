#include "formats/read_csv.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/numbers.hpp"
#include "series_checks.hpp"

namespace detrend::formats {
namespace {

using namespace std::string_literals;

Outcome read(const std::string& text, double missing = -999.0) {
    CsvOptions options;
    options.missing = missing;
    return readCsv(text, options);
}

TEST(Csv, SeriesSpanTheirValues) {
    const Outcome r = read(
        "\xEF\xBB\xBF"
        "Year,\"Oak \"\"A\"\", north\",B,,C\r\n"
        "1850,NA,1.20,,-999\r\n"
        "1851,0.85,1.1,,NaN\r\n"
        "1852,0.9,,,nan\r\n"
        "1853, 1.01 ,1e-1,,NAN\r\n"
        "\r\n"
        "\r\n");
    ASSERT_TRUE(r.ok) << r.error.what;
    ASSERT_EQ(r.set.series.size(), 4u);
    EXPECT_EQ(r.set.series[0].name, "Oak \"A\", north");
    EXPECT_EQ(r.set.series[2].name, "");
    expectValues(r.set.series[0], 1851, {0.85, 0.9, 1.01});
    expectValues(r.set.series[1], 1850, {1.2, 1.1, nan, 0.1});  // the gap stays for the run to report
    for (std::size_t s : {0u, 1u}) EXPECT_EQ(problemOf(r.set.series[s]), "");
    for (std::size_t s : {2u, 3u}) {
        EXPECT_TRUE(r.set.series[s].values.empty());
        EXPECT_EQ(problemOf(r.set.series[s]), "it has no values");
    }
}

TEST(Csv, SeparatorsAndMissingFlag) {
    struct Case {
        const char* what;
        std::string text;
        double missing;
        std::vector<double> values;  // of the first series, from 1850
        std::size_t series = 1;
        std::string warnings = "";
    };
    const std::vector<Case> cases = {
        {"semicolon, decimal comma", "Jahr;A\n1850;1,25\n1851;\"0,5\"\n", -999.0, {1.25, 0.5}},
        {"tab, blanks kept apart", "Year\tA\n1850\t 1.25\n1851\t+0.5\n", -999.0, {1.25, 0.5}},
        {"most frequent separator", "Year;A,x;B\n1850;1.25;2\n", -999.0, {1.25}, 2},
        {"flag as written", "Year,A\n1850,1.5\n1851,-99.99\n1852,2\n", -99.99, {1.5, nan, 2.0}},
        {"flag as a float", "Year,A\n1850,1.5\n1851,-99.98999786376953\n1852,2\n", -99.99, {1.5, nan, 2.0}},
        {"other flag: -999 a number", "Year,A\n1850,-999\n1851,2\n", -1.0, {-999.0, 2.0}},
        {"years with a zero fraction",
         "Year,A,B\n1850.0,1.25,\n1851.00,,2\n1852.0,0.5,3\n",
         -999.0,
         {1.25, nan, 0.5},
         2},
        {"R's header: one cell fewer than the rows",
         "A,B\n1850,1.25,2\n\"1851\",0.5,3\n",
         -999.0,
         {1.25, 0.5},
         2,
         "line 1, the header, names 2 series for rows of 3 cells: the first column is read as the years, as R writes "
         "row names"},
        {"R's write.csv: row numbers, then the years",
         "\"\",\"year\",\"A\",\"B\"\n\"1\",1850,1.25,NA\n\"2\",1851,0.5,3\n",
         -999.0,
         {1.25, 0.5},
         2,
         "the first column, without a name, counts the rows (as R's write.csv or pandas' to_csv writes them); the "
         "years are read from column 2, \"year\""},
        {"pandas' to_csv: an index from 0, then the years",
         ",A,Year\n0,1.25,1850.0\n1,0.5,1851.0\n",
         -999.0,
         {1.25, 0.5},
         1,
         "the first column, without a name, counts the rows (as R's write.csv or pandas' to_csv writes them); the "
         "years are read from column 3, \"Year\""},
        {"cut off in the last row",
         "Year,A,B\n1850,1.25,2\n1851,0.5,3\n1852,0.7",
         -999.0,
         {1.25, 0.5},
         2,
         "line 4, the last, has no line end and 2 of 3 cells: the file seems cut off; its cells from column 6 on are "
         "read as missing"},
        {"cut off after the year",
         "Year,A,B\n1850,1.25,2\n1851",
         -999.0,
         {1.25},
         2,
         "line 3, the last, has no line end and 1 of 3 cells: the file seems cut off; the row is left out"},
        {"separator consistent over the lines", "Year;A, North\n1850;1,25\n", -999.0, {1.25}},
        {"CR alone", "Year,A\r1850,1.25\r1851,0.5\r", -999.0, {1.25, 0.5}},
        {"a separator ending every line", "Year,A,\n1850,1.25,\n1851,0.5,\n", -999.0, {1.25, 0.5}},
        {"a separator ending every row", "Year,A\n1850,1.25,\n1851,0.5,\n", -999.0, {1.25, 0.5}},
        {"quick and general numbers",
         "Year\tA\n1850\t 12345678901234567890 \n1851\t1e-30\n",
         -999.0,
         {12345678901234567890.0, 1e-30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = read(c.text, c.missing);
        ASSERT_TRUE(r.ok) << r.error.what;
        EXPECT_EQ(r.set.series.size(), c.series);
        expectValues(r.set.series[0], 1850, c.values);
        EXPECT_EQ(r.set.warnings.empty() ? "" : r.set.warnings.front(), c.warnings);
        EXPECT_LE(r.set.warnings.size(), 1u);
    }
}

TEST(Csv, ErrorsNameLineAndColumn) {
    const std::vector<ReadErrorCase> cases = {
        {"Year,A,B\n1850,1\n", 2, 7, "2 cells, the header has 3"},
        {"Year,A,B\n1850,1,2\n1851,1,2,3\n", 3, 10, "4 cells, the header has 3"},
        {"A,B\n1850,1,2\n1851,1,2\n1852,1\n", 4, 7, "2 cells where the rows have 3 (the header names 2 series)"},
        {"Year,A,B\n1850,1,2,5\n1851,1,2\n1852,1,2\n", 2, 10, "4 cells, the header has 3"},  // a typo, not R
        {"Year,A\n1850,1d2\n", 2, 6, R"(expected a number, found "1d2")"},
        {"Year,A\n1850,1\0002\n"s, 2, 6, "expected a number, found \"1\0002\""s},  // the messages escape it
        {"Year,A\n1850,1\n1852,1\n", 3, 1, "expected year 1851, found 1852"},
        {",year,A\n0,1850,1\n2,1851,1\n", 3, 1, R"(expected the row number 1, found "2")"},
        {",year,A\n0,1850,1\n1,1852,1\n", 3, 3, "expected year 1851, found 1852"},
        {"Year,A\n1850,1\n1850,1\n", 3, 1, "expected year 1851, found 1850"},
        {"Year,A\n1850.5,1\n", 2, 1, R"(expected a year, found "1850.5")"},
        {"Year,A\nNA,1\n", 2, 1, R"(expected a year, found "NA")"},
        {"Year,A\n1850, 1.2x\n", 2, 7, R"(expected a number, found "1.2x")"},
        {"Year,A\n1850,abcdefghijklmnopqrstuvwxyz\n", 2, 6, R"(expected a number, found "abcdefghijklmnopqrstuvwxyz")"},
        {"Year,A\n1850,1\n1851,1,2\n", 3, 8, "3 cells, the header has 2"},
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

// What std::from_chars makes of a cell's number: the reference the CSV
// reader's quick reading must match to the bit.
bool referenceNumber(std::string text, bool decimalComma, double& value) {
    if (decimalComma && text.find('.') == std::string::npos && std::count(text.begin(), text.end(), ',') == 1)
        text[text.find(',')] = '.';
    if (text.starts_with('+') && !text.starts_with("+-")) text.erase(0, 1);
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return !text.empty() && status == std::errc() && stop == end && std::isfinite(value);
}

// Random numbers of the usual shapes about the limits of the exact
// conversions, alone and as cells of rows, against std::from_chars.
TEST(Csv, NumbersMatchFromCharsToTheBit) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&](std::uint64_t n) {
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return ((state * 2685821657736338717ull) >> 11) % n;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string token = std::vector<std::string>{"", "-", "+", "+-"}[next(4)];
        for (std::uint64_t k = 1 + next(22); k > 0; --k) token += static_cast<char>('0' + next(10));
        if (next(4) != 0) token.insert(token.size() - next(token.size() + 1), 1, next(8) == 0 ? ',' : '.');
        if (next(2) != 0) token += std::string(1, "eEdx"[next(4)]) + std::to_string(static_cast<int>(next(61)) - 30);
        double value = 0, reference = 0;
        const bool ok = referenceNumber(token, false, reference);
        ASSERT_EQ(
            parseCsvNumber(token.data(), token.data() + token.size(), value, false).endsAt(token.data() + token.size()),
            ok)
            << token;
        if (ok) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(reference)) << token;
        }
        // As a cell of a row, a decimal comma allowed.
        const Outcome r = read("Year\tA\n1850\t " + token + " \n", nan);
        ASSERT_EQ(r.ok, referenceNumber(token, true, reference)) << token;
        if (r.ok) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(r.set.series[0].values.at(0)),
                      std::bit_cast<std::uint64_t>(reference))
                << token;
        }
    }
}

}  // namespace
}  // namespace detrend::formats
