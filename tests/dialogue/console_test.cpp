#include "dialogue/console.hpp"

#include <gtest/gtest.h>

#include <string>

namespace detrend::dialogue {
namespace {

TEST(Line, PromptsPutTheArrowInColumns45To48) {
    EXPECT_EQ(promptLine("Enter the input file (/ to exit)"), " Enter the input file (/ to exit)           ==> ");
    EXPECT_EQ(promptLine("Enter the 50% frequency response cutoff"),
              " Enter the 50% frequency response cutoff    ==> ");
    for (const char* text :
         {"Enter the output file", "Enter number of columns", "Enter missing value flag e.g., -999.00"}) {
        const std::string p = promptLine(text);
        EXPECT_EQ(p.size(), 48u) << text;
        EXPECT_EQ(p.substr(44), "==> ") << text;
    }
}

}  // namespace
}  // namespace detrend::dialogue
