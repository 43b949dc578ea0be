#include "formats/lines.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace detrend::formats {
namespace {

TEST(LineReader, DropsCarriageReturnsAndExpandsTabs) {
    const std::string text = "a\tb\r\n\tc\r\nabcdefgh\tx\nc\rr\nlast";
    LineReader lines(text, "test");
    std::vector<std::string> got;
    while (lines.next()) got.emplace_back(lines.line());
    EXPECT_EQ(got, (std::vector<std::string>{"a       b", "        c", "abcdefgh        x", "cr", "last"}));
    EXPECT_EQ(lines.lineNumber(), 5);
}

TEST(LineReader, NoExtraLineAfterAFinalLineEnd) {
    LineReader lines(std::string_view("one\n\n"), "test");
    int count = 0;
    while (lines.next()) ++count;
    EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace detrend::formats
