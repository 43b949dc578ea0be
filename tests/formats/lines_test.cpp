#include "formats/lines.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

TEST(LineReader, BatchLineEnds) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"a\rb\r\nc\r\r\nd\ne", {"a", "b", "c", "d", "e"}},  // CR, CR LF, CR CR LF, LF
        {"a\r\rb\r", {"a", "", "b"}},  // CR CR without LF: two line ends
        {"\xEF\xBB\xBF"
         "a\tb\rc\x1A",
         {"a\tb", "c"}},
    };
    for (const auto& [text, lines] : cases) {
        LineReader reader(text, "test", LineRules::batch(false));
        std::vector<std::string> got;
        while (reader.next()) got.emplace_back(reader.line());
        EXPECT_EQ(got, lines) << text;
    }
}

TEST(LineReader, NoExtraLineAfterAFinalLineEnd) {
    LineReader lines(std::string_view("one\n\n"), "test");
    int count = 0;
    while (lines.next()) ++count;
    EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace detrend::formats
