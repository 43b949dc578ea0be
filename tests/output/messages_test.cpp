#include "output/messages.hpp"

#include <gtest/gtest.h>

#include <string>

#include "formats/fields.hpp"

namespace detrend::output {
namespace {

TEST(Messages, ControlBytesAndInvalidUtf8AreEscaped) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"plain \xC3\xA9t\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x8C\xB2",
         "plain \xC3\xA9t\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x8C\xB2"},
        {"\x1B]0;x\x07\x1B[2J", "\\x1B]0;x\\x07\\x1B[2J"},
        {std::string("a\0b\tc\x7F", 6), "a\\x00b\\x09c\\x7F"},
        {"C1 \xC2\x85 and \xC2\x9F, not \xC2\xA0", "C1 \\xC2\\x85 and \\xC2\\x9F, not \xC2\xA0"},
        {"latin-1 \xE9t\xE9, cut \xE2\x80", "latin-1 \\xE9t\\xE9, cut \\xE2\\x80"},
        {"overlong \xC0\xAF, surrogate \xED\xA0\x80", "overlong \\xC0\\xAF, surrogate \\xED\\xA0\\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(base::escapedControls(c.text), c.shown) << c.shown;
}

TEST(Messages, QuotesAreCutAfterSixtyCharacters) {
    const std::string sixty(60, 'x');
    EXPECT_EQ(base::quoted(sixty), "\"" + sixty + "\"");
    EXPECT_EQ(base::quoted(sixty + "y"), "\"" + sixty + "...\"");
    std::string trees;  // 61 two-byte characters: the cut keeps whole characters
    for (int i = 0; i < 61; ++i) trees += "\xC3\xA9";
    EXPECT_EQ(base::quoted(trees), "\"" + trees.substr(0, 120) + "...\"");
}

}  // namespace
}  // namespace detrend::output
