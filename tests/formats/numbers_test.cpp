// The number functions of the readers: where each stops, its error code, and
// the value it reads.
#include "formats/numbers.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace detrend::formats {
namespace {

enum class Function { quickDouble, quickFloat, freeDouble, freeFloat, csv, csvComma, integer, freeInteger };

struct Outcome {
    NumberRead read;
    double value;
};

// Runs `function` on `text`, its value (77 when it sets none) as a double.
Outcome run(Function function, const std::string& text) {
    const char* const first = text.data();
    const char* const last = first + text.size();
    double d = 77;
    float f = 77;
    long long l = 77;
    int i = 77;
    switch (function) {
        case Function::quickDouble: return {quickDecimal(first, last, d), d};
        case Function::quickFloat: return {quickDecimal(first, last, f), static_cast<double>(f)};
        case Function::freeDouble: return {parseFreeFloat(first, last, d), d};
        case Function::freeFloat: return {parseFreeFloat(first, last, f), static_cast<double>(f)};
        case Function::csv: return {parseCsvNumber(first, last, d, false), d};
        case Function::csvComma: return {parseCsvNumber(first, last, d, true), d};
        case Function::integer: return {parseInteger(first, last, l), static_cast<double>(l)};
        case Function::freeInteger: return {parseFreeInteger(first, last, i), static_cast<double>(i)};
    }
    return {{first, std::errc::invalid_argument}, d};
}

// Each function at the edges of what it reads.
using F = Function;
constexpr std::errc ok{}, none = std::errc::invalid_argument, range = std::errc::result_out_of_range;
struct Case {
    Function function;
    std::string text;
    std::errc ec;
    std::size_t stop;  // characters taken
    double value;  // 77: left as it was
};
const std::vector<Case> numberCases = {
    // The fast path, and what it leaves to the full conversion.
    {F::quickDouble, "2.84", ok, 4, 2.84},
    {F::quickDouble, "-1d5", ok, 4, -1e5},
    {F::quickDouble, "1.5x", ok, 3, 1.5},
    {F::quickDouble, "12345678901234567890", none, 0, 77},  // 20 digits
    {F::quickDouble, "1e23", none, 0, 77},  // 10^23 is not exact
    {F::quickDouble, "1e", none, 0, 77},
    {F::quickDouble, "", none, 0, 77},
    {F::quickFloat, "0.1", ok, 3, static_cast<double>(0.1f)},
    {F::quickFloat, "1e11", none, 0, 77},
    // The free layout: a plus sign, exponent letters E, D and Q.
    {F::freeDouble, "+1.5Q2", ok, 6, 150},
    {F::freeDouble, "2.5e+,3", ok, 3, 2.5},  // an exponent without digits is not one
    {F::freeDouble, "12345678901234567890.5", ok, 22, 12345678901234567890.5},
    {F::freeDouble, ".5", ok, 2, 0.5},
    {F::freeDouble, "1e400", range, 5, 77},
    {F::freeDouble, "-1e-400", ok, 7, -0.0},
    {F::freeDouble, "-", none, 0, 77},
    {F::freeDouble, "e5", none, 0, 77},
    {F::freeDouble, "", none, 0, 77},
    {F::freeFloat, "3.4e39", range, 6, 77},
    {F::freeFloat, "0.1000000000000000000001", ok, 24, static_cast<double>(0.1f)},
    // CSV: from_chars, a plus sign, a decimal comma when asked.
    {F::csvComma, "1,25", ok, 4, 1.25},
    {F::csv, "1,25", ok, 1, 1},
    {F::csvComma, "1,2,5", ok, 1, 1},  // two commas: none is a point
    {F::csvComma, "1.2,5", ok, 3, 1.2},
    {F::csv, "+1e400", range, 6, 77},
    {F::csv, "+-1", none, 0, 77},
    {F::csv, "1d5", ok, 1, 1},  // only E and e
    {F::csv, "nan", none, 0, 77},
    {F::csv, "inf", none, 0, 77},
    {F::csv, "+", none, 0, 77},
    {F::csv, "", none, 0, 77},
    // Integers: the minus sign alone, or either sign in the free layout.
    {F::integer, "-42", ok, 3, -42},
    {F::integer, "+42", none, 0, 77},
    {F::integer, "12ab", ok, 2, 12},
    {F::integer, "99999999999999999999", range, 20, 77},
    {F::integer, "", none, 0, 77},
    {F::freeInteger, "+7", ok, 2, 7},
    {F::freeInteger, "-2147483648", ok, 11, -2147483648.0},
    {F::freeInteger, "2147483648", range, 10, 77},
    {F::freeInteger, "12.0", ok, 2, 12},
    {F::freeInteger, "-", none, 0, 77},
    {F::freeInteger, "", none, 0, 77},
};
TEST(Numbers, StopErrorAndValue) {
    for (const Case& c : numberCases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.function)) + " \"" + c.text + "\"");
        const Outcome got = run(c.function, c.text);
        EXPECT_EQ(got.read.ec, c.ec);
        EXPECT_EQ(got.read.ptr - c.text.data(), static_cast<std::ptrdiff_t>(c.stop));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got.value), std::bit_cast<std::uint64_t>(c.value));
    }
}

}  // namespace
}  // namespace detrend::formats
