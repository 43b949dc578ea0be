#include "output/fixed_columns.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace detrend::output {
namespace {

std::string real(double v, int width = 8, int decimals = 3) {
    std::string s(static_cast<std::size_t>(width), '?');
    formatReal(s.data(), width, decimals, v);
    return s;
}

std::string integer(long long v, int width) {
    std::string s(static_cast<std::size_t>(width), '?');
    formatInteger(s.data(), width, v);
    return s;
}

// formatReal done the plain way, to check its faster arithmetic against: the
// exact value times 10^decimals in 128 bits, rounded half up, one digit at a
// time.
std::string referenceReal(double value, int width, int decimals) {
    std::string text = std::signbit(value) ? "-" : "";
    if (!std::isfinite(value)) {
        text += std::isnan(value) ? "NaN" : "INF";
    } else if (std::fabs(value) >= 1e18) {
        text = std::string(21, '9');
    } else {
        int exponent;
        auto scaled = static_cast<unsigned __int128>(std::ldexp(std::frexp(std::fabs(value), &exponent), 53));
        exponent -= 53;  // |value| = scaled * 2^exponent
        for (int i = 0; i < decimals; ++i) scaled *= 10;
        if (exponent >= 0) {
            scaled <<= exponent;
        } else {
            scaled = -exponent > 120 ? 0 : ((scaled >> (-exponent - 1)) + 1) >> 1;
        }
        std::string digits;
        for (auto v = scaled; v != 0 || static_cast<int>(digits.size()) <= decimals; v /= 10)
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
        text = (scaled != 0 ? text : std::string()) + digits;
    }
    if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

TEST(RealField, MatchesTheReferenceOnRandomValues) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return state * 2685821657736338717ull;
    };
    auto uniform = [&] { return static_cast<double>(next() >> 11) / 9007199254740992.0; };
    for (int i = 0; i < 500000; ++i) {
        const int decimals = static_cast<int>(next() % 10), width = 1 + static_cast<int>(next() % 20);
        double value = std::bit_cast<double>(next());  // anything, NaN included
        if (i % 3 == 1) {  // the fields' range
            value = (uniform() - 0.5) * std::pow(10.0, static_cast<double>(next() % 24) - 12);
        } else if (i % 3 == 2) {  // a halfway point of the rounding, or a neighbour
            value = (static_cast<double>(next() % 2000000) - 1000000.5) / std::pow(10.0, decimals);
            value = std::nextafter(value, static_cast<double>(next() % 3) - 1.0);
        }
        ASSERT_EQ(real(value, width, decimals), referenceReal(value, width, decimals))
            << value << " width " << width << " decimals " << decimals;
        ASSERT_EQ(real(value), referenceReal(value, 8, 3)) << value;
    }
}

TEST(RealField, RoundsTheExactBinaryValueHalfAwayFromZero) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0625, "   0.063"},  // exactly halfway: away from zero, not to even
        {-0.0625, "  -0.063"},   {0.1875, "   0.188"},    {0.0025, "   0.003"},  // the double is just above 0.0025
        {0.0005, "   0.001"},  // the double is just above 0.0005
        {1.0005, "   1.000"},  // the double 1.0005 is below the halfway point
        {9999.9994, "9999.999"}, {9999.9996, "********"}, {-999.9996, "********"},
        {-999.999, "-999.999"},  {0.5, "   0.500"},       {-0.5, "  -0.500"},
        {-0.0004, "   0.000"},  // rounds to zero: no sign
        {-0.0005, "  -0.001"},   {-0.0, "   0.000"},      {0.0, "   0.000"},
        {1.234, "   1.234"},     {1.1, "   1.100"},       {0.134, "   0.134"},
        {-0.05, "  -0.050"},     {123.4565, " 123.457"},  // the double lies above the halfway point
        {1e300, "********"},     {-1e300, "********"},    {5e-324, "   0.000"},  // the smallest subnormal
        {-5e-324, "   0.000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(real(c.value), c.text) << c.value;
        EXPECT_EQ(referenceReal(c.value, 8, 3), c.text) << c.value;
    }
}

TEST(RealField, SinglePrecisionValuesAreWrittenFromTheirOwnBits) {
    // The float nearest 1.0005 lies below the halfway point, as does the
    // double; the float nearest 1.0015 lies above it.
    EXPECT_EQ(real(static_cast<double>(1.0005f)), "   1.000");
    EXPECT_EQ(real(static_cast<double>(1.0015f)), "   1.002");
    EXPECT_EQ(real(static_cast<double>(0.1f)), "   0.100");
    EXPECT_EQ(real(static_cast<double>(-0.0625f)), "  -0.063");
}

TEST(RealField, NotANumberAndInfinityKeepTheirSign) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(real(nan), "     NaN");
    EXPECT_EQ(real(-nan), "    -NaN");
    EXPECT_EQ(real(inf), "     INF");
    EXPECT_EQ(real(-inf), "    -INF");
    EXPECT_EQ(real(-inf, 3, 0), "***");
    EXPECT_EQ(real(nan, 3, 0), "NaN");
}

TEST(RealField, OtherWidthsAndDecimals) {
    EXPECT_EQ(real(3.14159, 10, 5), "   3.14159");
    EXPECT_EQ(real(-2.5, 4, 0), " -3.");
    EXPECT_EQ(real(99.95, 5, 1), "100.0");  // 99.95 is stored just above the halfway point
    EXPECT_EQ(real(-99.95, 5, 1), "*****");
    EXPECT_EQ(real(123456789012.0, 20, 3), "    123456789012.000");
}

TEST(IntegerField, RightAlignedOrAsterisks) {
    struct Case {
        long long value;
        int width;
        const char* text;
    };
    const Case cases[] = {
        {1901, 5, " 1901"},
        {-12, 5, "  -12"},
        {99999, 5, "99999"},
        {100000, 5, "*****"},
        {-9999, 5, "-9999"},
        {-10000, 5, "*****"},
        {40, 3, " 40"},
        {3, 3, "  3"},
        {1000, 3, "***"},
        {0, 8, "       0"},
        {-2147483648LL, 8, "********"},
        {1902, 8, "    1902"},
    };
    for (const Case& c : cases) EXPECT_EQ(integer(c.value, c.width), c.text) << c.value;
}

TEST(Line, ColumnStopsFillWithBlanksAndNeverMoveBack) {
    Line line;
    line.blank().text("ab").columnStop(6).text("x").columnStop(2).text("y");
    EXPECT_EQ(line.view(), " ab  xy");
}

TEST(Line, NameFieldsKeepTheirTrailingBlanks) {
    Line line;
    line.blank().text("SER001              ");
    EXPECT_EQ(line.length(), 21);
}

TEST(RealList, TenToALineEachLineStartingWithABlank) {
    auto lines = [](int count) {
        std::vector<double> values(static_cast<std::size_t>(count), 0.5);
        std::vector<std::string> out;
        Line scratch;
        realListLines(values, 10, 8, 3, scratch, [&](std::string_view l) { out.emplace_back(l); });
        return out;
    };
    EXPECT_TRUE(lines(0).empty());
    ASSERT_EQ(lines(3).size(), 1u);
    EXPECT_EQ(lines(3)[0], "    0.500   0.500   0.500");
    ASSERT_EQ(lines(10).size(), 1u);
    EXPECT_EQ(lines(10)[0].size(), 81u);
    ASSERT_EQ(lines(11).size(), 2u);
    EXPECT_EQ(lines(11)[1], "    0.500");
    ASSERT_EQ(lines(12).size(), 2u);
    EXPECT_EQ(lines(12)[1].size(), 17u);
}

}  // namespace
}  // namespace detrend::output
