#include "formats/free_layout.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace detrend::formats {
namespace {

// Reads `count` reals from `text`, the entries starting at `initial`.
struct RealsRead {
    std::vector<double> values;
    ScanResult result;
};
RealsRead readReals(const std::string& text, std::size_t count, double initial = 0.0) {
    LineReader lines(text, "test");
    FreeReader reader(lines);
    RealsRead r{std::vector<double>(count, initial), {}};
    r.result = reader.read(std::span(r.values));
    return r;
}

TEST(FreeReader, SeparatorsRepeatsEmptyItemsAndSlash) {
    struct Case {
        const char* text;
        std::vector<double> expected;  // the 4 entries after the read, starting at 9
    };
    const Case cases[] = {
        {"1 2 3 4", {1, 2, 3, 4}},
        {"1,2,3,4", {1, 2, 3, 4}},
        {"1 , 2 ,3, 4", {1, 2, 3, 4}},
        {"1\t2\t\t3 4", {1, 2, 3, 4}},
        {"1,,3,4", {1, 9, 3, 4}},  // nothing between two commas: unchanged
        {",2,3,4", {9, 2, 3, 4}},  // a leading comma is an empty item
        {"1, ,3,4", {1, 9, 3, 4}},
        {"2*5 3 4", {5, 5, 3, 4}},
        {"3*, 4", {9, 9, 9, 4}},  // r* alone: r empty items
        {"1 2 /", {1, 2, 9, 9}},  // "/" ends the read
        {"1 2/3 4", {1, 2, 9, 9}},
        {"1 2\n3 4", {1, 2, 3, 4}},  // a row spread over two lines
        {"1 2\n\n   \n3 4", {1, 2, 3, 4}},  // empty lines skipped
        {"1 2 ! comment 7\n3 4", {1, 2, 3, 4}},
        {"! all comment\n1 2 3 4", {1, 2, 3, 4}},
        {"1 2 3 4 5 6", {1, 2, 3, 4}},  // extra values lost
        {"9*7", {7, 7, 7, 7}},
        {"99999999999999999999999*7", {7, 7, 7, 7}},
        {"1,\n,3 4", {1, 9, 3, 4}},  // line end then comma: one separator
        {"1.5 -2.25E1 3d2 +4q-1", {1.5, -22.5, 300, 0.4}},
        {".5 5. -0 1e0", {0.5, 5, -0.0, 1}},
        {"1.5/2 3", {1.5, 9, 9, 9}},
        {"-1.25,2*0.5e1 7", {-1.25, 5, 5, 7}},
        {"0.000e0, 2.50D+1,,+12345678901234567890", {0, 25, 9, 12345678901234567890.0}},
    };
    for (const Case& c : cases) {
        const RealsRead r = readReals(c.text, 4, 9);
        EXPECT_EQ(r.result.status, ScanStatus::ok) << c.text;
        EXPECT_EQ(r.values, c.expected) << c.text;
    }
}

TEST(FreeReader, EveryReadStartsOnANewLine) {
    LineReader lines(std::string_view("1 2 3\n4 5 6\n7\n"), "test");
    FreeReader reader(lines);
    std::vector<double> row(2);
    ASSERT_EQ(reader.read(std::span(row)).status, ScanStatus::ok);
    EXPECT_EQ(row, (std::vector<double>{1, 2}));
    ASSERT_EQ(reader.read(std::span(row)).status, ScanStatus::ok);
    EXPECT_EQ(row, (std::vector<double>{4, 5}));
    const ScanResult last = reader.read(std::span(row));  // 7 then the end
    EXPECT_EQ(last.status, ScanStatus::endOfFile);
    EXPECT_EQ(row[0], 7);
}

TEST(FreeReader, AReadOfNothingStillTakesALine) {
    LineReader lines(std::string_view("x y\n"), "test");
    FreeReader reader(lines);
    std::vector<double> none;
    EXPECT_EQ(reader.read(std::span(none)).status, ScanStatus::ok);
    EXPECT_EQ(reader.read(std::span(none)).status, ScanStatus::endOfFile);
}

TEST(FreeReader, BadNumbersAreReportedWithTheirPlace) {
    struct Case {
        const char* text;
        ScanStatus status;
        long line;
        std::size_t item;  // 1-based within the read; 0 when no item failed
        const char* token;
        std::size_t column;  // 1-based, tabs expanded
    };
    const Case cases[] = {
        {"1 x", ScanStatus::illegalCharacter, 1, 2, "x", 3},
        {"1\n1.2.3", ScanStatus::illegalCharacter, 2, 2, "1.2.3", 1},
        {"1 e5", ScanStatus::illegalCharacter, 1, 2, "e5", 3},
        {"1 1e", ScanStatus::illegalCharacter, 1, 2, "1e", 3},
        {"1 -", ScanStatus::illegalCharacter, 1, 2, "-", 3},
        {"1 .", ScanStatus::illegalCharacter, 1, 2, ".", 3},
        {"NaN 1", ScanStatus::illegalCharacter, 1, 1, "NaN", 1},
        {"Inf 1", ScanStatus::illegalCharacter, 1, 1, "Inf", 1},
        {"1 '2'", ScanStatus::illegalCharacter, 1, 2, "'2'", 3},
        {"1 2!", ScanStatus::illegalCharacter, 1, 2, "2!", 3},
        {"1 a*2", ScanStatus::illegalCharacter, 1, 2, "a*2", 3},
        {"1 1e400", ScanStatus::outOfRange, 1, 2, "1e400", 3},
        {"1 -1e400", ScanStatus::outOfRange, 1, 2, "-1e400", 3},
        {"1 1.5x", ScanStatus::illegalCharacter, 1, 2, "1.5x", 3},
        {"1 -.e5", ScanStatus::illegalCharacter, 1, 2, "-.e5", 3},
        {"1 2.5e+,3", ScanStatus::illegalCharacter, 1, 2, "2.5e+", 3},
        {"1 2.5*3", ScanStatus::illegalCharacter, 1, 2, "2.5*3", 3},
        {"1 1.5e99999", ScanStatus::outOfRange, 1, 2, "1.5e99999", 3},
        {"1 0*5", ScanStatus::zeroRepeat, 1, 2, "0*5", 3},
        {"1 3*x", ScanStatus::illegalCharacter, 1, 2, "3*x", 3},  // the item with its repeat count
        {"  1\t x,2", ScanStatus::illegalCharacter, 1, 2, "x", 10},
        {",x", ScanStatus::illegalCharacter, 1, 2, "x", 2},  // after an empty item
        {"1\n\n  ab/c", ScanStatus::illegalCharacter, 3, 2, "ab", 3},
        {"1", ScanStatus::endOfFile, 1, 0, "", 0},
        {"", ScanStatus::endOfFile, 0, 0, "", 0},
    };
    for (const Case& c : cases) {
        const RealsRead r = readReals(c.text, 2);
        EXPECT_EQ(r.result.status, c.status) << c.text;
        EXPECT_EQ(r.result.line, c.line) << c.text;
        EXPECT_EQ(r.result.item, c.item) << c.text;
        EXPECT_EQ(r.result.token, c.token) << c.text;
        EXPECT_EQ(r.result.column, c.column) << c.text;
    }
}

TEST(FreeReader, ItemsIgnoredAfterARead) {
    struct Case {
        const char* text;
        std::size_t ignored;  // after a read of 2 numbers
    };
    const Case cases[] = {
        {"1 2", 0},       {"1 2 3", 1},    {"1,2,3,4", 2},     {"1 2 , 3", 1},  // a comma after an item separates
        {"1 2 3,,4", 3},  // nothing between two commas is an item
        {"1 2 3*7 9", 4}, {"1 2 4* 9", 5}, {"1 2 3 / 4 5", 1}, {"1 2 3 ! 4 5", 1},
        {"1 / 3 4", 0},  // the read ended at "/"
        {"1\n2 3 4", 0},  // the read took items from two lines
        {"1 x 3", 0},  // a failed read
    };
    for (const Case& c : cases) {
        LineReader lines(std::string_view(c.text), "test");
        FreeReader reader(lines);
        std::vector<double> row(2);
        reader.read(std::span(row));
        EXPECT_EQ(reader.itemsIgnored(), c.ignored) << c.text;
    }
    // In a read of names, quoted names are one item each.
    LineReader lines(std::string_view("Year A 'B C' \"D, E\" F/G"), "test");
    FreeReader reader(lines);
    std::vector<SeriesName> names(2, SeriesName::from(""));
    ASSERT_EQ(reader.read(std::span(names)).status, ScanStatus::ok);
    EXPECT_EQ(reader.itemsIgnored(), 3u);
}

TEST(FreeReader, TinyValuesReadAsZero) {
    const RealsRead r = readReals("1e-400 -1e-400 4e-320", 3);
    ASSERT_EQ(r.result.status, ScanStatus::ok);
    EXPECT_EQ(r.values[0], 0.0);
    EXPECT_TRUE(std::signbit(r.values[1]));
    EXPECT_EQ(r.values[2], 4e-320);
}

TEST(FreeReader, NumbersAreCorrectlyRoundedForTheirType) {
    LineReader lines(std::string_view("-99.99\n16777217\n1e39\n"), "test");
    FreeReader reader(lines);
    float f = 0;
    ASSERT_EQ(reader.read(f).status, ScanStatus::ok);
    EXPECT_EQ(f, -99.99f);
    EXPECT_NE(static_cast<double>(f), -99.99);  // the single-precision flag
    ASSERT_EQ(reader.read(f).status, ScanStatus::ok);
    EXPECT_EQ(f, 16777216.0f);
    EXPECT_EQ(reader.read(f).status, ScanStatus::outOfRange);
}

// Reads `token` as a double and a float, alone and as an item among others,
// and checks each against the C library's correctly rounded conversion.
void expectCLibraryValues(const std::string& token) {
    std::string text = token;
    for (char& c : text)
        if (c == 'd' || c == 'D' || c == 'q' || c == 'Q') c = 'e';
    const double d = std::strtod(text.c_str(), nullptr);
    const float f = std::strtof(text.c_str(), nullptr);
    double parsed = 0;
    float single = 0;
    EXPECT_EQ(parseNumber(token, parsed), ScanStatus::ok) << token;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(parsed), std::bit_cast<std::uint64_t>(d)) << token;
    EXPECT_EQ(parseNumber(token, single), std::isinf(f) ? ScanStatus::outOfRange : ScanStatus::ok) << token;
    if (!std::isinf(f)) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(single), std::bit_cast<std::uint32_t>(f)) << token;
    }
    const RealsRead r = readReals("1 " + token + ",2/", 3);
    EXPECT_EQ(r.result.status, ScanStatus::ok) << token;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(r.values[1]), std::bit_cast<std::uint64_t>(d)) << token;
    EXPECT_EQ(r.values[2], 2.0) << token;
}

TEST(FreeReader, NumbersMatchTheCLibraryToTheBit) {
    for (const char* token :
         {"1.234", "-0.0", "0e5", "00000.000012345", ".000", "0.1", "-99.99", "1D2", "2q-3", "+4.5E+1",
          "9007199254740992", "9007199254740993",  // 2^53, and a tie between two doubles
          "1e22", "-1e-22", "1e23", "4.9e-324", "12345678901234567890", "1.00000000000000000000000000001", "16777216",
          "16777217", "1e10", "1e11", "1e-11", "3.4028235e38", "7e-46",
          // Ties between two floats once rounded to double.
          "1352302160312166e4", "8689529388257115e8", "265779250655658e3"})
        expectCLibraryValues(token);
    // Random numbers of the usual shapes about the limits of the exact
    // conversions: up to 22 digits, exponents up to 30.
    std::uint64_t state = 0x2545F4914F6CDD1Dull;
    auto next = [&](std::uint64_t n) {
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return ((state * 2685821657736338717ull) >> 11) % n;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string token = next(2) != 0 ? "-" : "";
        for (std::uint64_t k = 1 + next(22); k > 0; --k) token += static_cast<char>('0' + next(10));
        if (next(4) != 0) token.insert(token.size() - next(token.size() - (token[0] == '-' ? 1 : 0) + 1), 1, '.');
        if (next(2) != 0) token += "e" + std::to_string(static_cast<int>(next(61)) - 30);
        expectCLibraryValues(token);
    }
}

TEST(FreeReader, IntegerReplies) {
    struct Case {
        const char* text;
        ScanStatus status;
        int value;
    };
    const Case cases[] = {
        {"  12,abc", ScanStatus::ok, 12},
        {"\n\n12", ScanStatus::ok, 12},  // empty reply lines are passed over
        {"/", ScanStatus::ok, 77},  // unchanged
        {",", ScanStatus::ok, 77},
        {"3*12", ScanStatus::ok, 12},
        {"-40 x", ScanStatus::ok, -40},
        {"+7", ScanStatus::ok, 7},
        {"2147483647", ScanStatus::ok, 2147483647},
        {"-2147483648", ScanStatus::ok, -2147483647 - 1},
        {"2147483648", ScanStatus::outOfRange, 77},
        {"99999999999999999999", ScanStatus::outOfRange, 77},
        {"abc", ScanStatus::illegalCharacter, 77},
        {"12.0", ScanStatus::illegalCharacter, 77},
        {"1e2", ScanStatus::illegalCharacter, 77},
        {"12abc", ScanStatus::illegalCharacter, 77},
        {"", ScanStatus::endOfFile, 77},
        {"   \n", ScanStatus::endOfFile, 77},
    };
    for (const Case& c : cases) {
        LineReader lines(std::string_view(c.text), "test");
        FreeReader reader(lines);
        int value = 77;
        EXPECT_EQ(reader.read(value).status, c.status) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(FreeReader, Names) {
    constexpr ScanStatus ok = ScanStatus::ok, eof = ScanStatus::endOfFile;
    struct Case {
        const char* text;
        ScanStatus status;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"Year Site01 Site02", ok, {"Year", "Site01", "Site02"}},
        {"Year,'Site 01',\"B,C/D\"", ok, {"Year", "Site 01", "B,C/D"}},
        {"'it''s' \"say \"\"hi\"\"\" x", ok, {"it's", "say \"hi\"", "x"}},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ b c", ok, {"ABCDEFGHIJKLMNOPQRST", "b", "c"}},
        {"a b c d e", ok, {"a", "b", "c"}},
        {"a\nb c", ok, {"a", "b", "c"}},
        {"2*x y", ok, {"x", "x", "y"}},
        {"a*b c d", ok, {"a*b", "c", "d"}},
        {"a, ,c", ok, {"a", "", "c"}},
        {"a b/c", ok, {"a", "b", ""}},
        {"'open quote", eof, {"open quote", "", ""}},
        {"\ttab\t'in\tquote' z", ok, {"tab", "in     quote", "z"}},
    };
    for (const Case& c : cases) {
        LineReader lines(std::string_view(c.text), "test");
        FreeReader reader(lines);
        std::vector<SeriesName> names(3, SeriesName::from(""));
        EXPECT_EQ(reader.read(std::span(names)).status, c.status) << c.text;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(names[i].trimmed(), c.names[i]) << c.text << " name " << i;
            EXPECT_EQ(names[i].view().size(), 20u);
        }
    }
}

}  // namespace
}  // namespace detrend::formats
