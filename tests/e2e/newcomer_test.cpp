// What a newcomer meets first: the README's transcript and listing excerpt
// against the real program, and the command-line arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "console_text.hpp"
#include "harness.hpp"

#ifndef DETREND_SOURCE_DIR
#error "DETREND_SOURCE_DIR must name the project's source directory"
#endif

namespace detrend::e2e {
namespace {

const std::string source = DETREND_SOURCE_DIR;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::string rightTrimmed(std::string s) {
    s.erase(s.find_last_not_of(" \r") + 1);
    return s;
}

TEST(Readme, TheWalkthroughIsWhatTheProgramPrints) {
    const std::string transcript = readmeBlock("<!-- transcript: examples/first-try.txt -->");
    ASSERT_FALSE(transcript.empty());
    // On a terminal the replies follow the prompts; the program itself
    // prints the prompts only.
    std::string replies, expected;
    for (const std::string& line : lines(transcript)) {
        const std::size_t arrow = line.find("==> ");
        if (arrow == std::string::npos) {
            expected += line + "\n";
        } else {
            expected += line.substr(0, arrow + 4);
            replies += line.substr(arrow + 4) + "\n";
        }
    }
    Scenario s;
    std::filesystem::create_directory(s.path("examples"));
    s.write("examples/first-try.txt", readFile(source + "/examples/first-try.txt"));
    const Outcome o = s.run(replies);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, expected);

    // The listing excerpt is the start of the listing (trailing blanks, which
    // a README cannot be trusted to keep, aside).
    const std::vector<std::string> excerpt = lines(readmeBlock("<!-- listing: first-try.out -->"));
    const std::vector<std::string> listing = lines(o.files.at("first-try.out"));
    ASSERT_GE(excerpt.size(), 4u);
    ASSERT_GE(listing.size(), excerpt.size());
    for (std::size_t i = 0; i < excerpt.size(); ++i) EXPECT_EQ(rightTrimmed(listing[i]), excerpt[i]) << i;
}

// The README's first command does a whole site without a warning, and says
// what the README shows it saying.
TEST(Readme, TheFlagshipCommandRunsCleanly) {
    const std::string command = readmeBlock("<!-- flagship -->");
    ASSERT_EQ(command.rfind("./build/detrend ", 0), 0u) << command;
    std::vector<std::string> arguments;
    std::istringstream words(command.substr(std::string("./build/detrend ").size()));
    for (std::string word; words >> word;) arguments.push_back(word);
    Scenario s;
    std::filesystem::create_directory(s.path("examples"));
    s.write("examples/site.rwl", readFile(source + "/examples/site.rwl"));
    RunOptions options;
    options.arguments = arguments;
    const Outcome o = s.run("", options);
    EXPECT_EQ(o.status, 0);
    const std::string readme = readFile(source + "/README.md");
    const std::size_t said = readme.find("```\ndetrend: made the output directory");
    ASSERT_NE(said, std::string::npos);
    EXPECT_EQ(o.err, readme.substr(said + 4, readme.find("```\n", said + 4) - said - 4));
    for (const char* file : {"results/site.out", "results/site.csv", "results/site-chron.csv", "results/site-stats.csv",
                             "plots/site-HR01A.png", "plots/site-chron.png"})
        EXPECT_TRUE(o.files.count(file)) << file;
}

TEST(Arguments, HelpVersionAndAnythingElse) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out, errStart;
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: detrend                      (the interactive dialogue)\n", ""},
        {{"--version"}, 0, "detrend 1.0.0\n", ""},
        {{"-h"}, 2, "", "detrend: unknown option -h\nTry 'detrend --help' for more information.\n"},
        {{"table.txt"},
         2,
         "",
         "detrend: the cutoff is required: -c YEARS or -c P%\nTry 'detrend --help' for more information.\n"},
        {{"--help", "x"}, 0, "usage: detrend ", ""},
    };
    for (const Case& c : cases) {
        Scenario s;
        RunOptions options;
        options.arguments = c.arguments;
        const Outcome o = s.run("/\n", options);
        EXPECT_EQ(o.status, c.status) << c.arguments[0];
        EXPECT_EQ(o.out.substr(0, c.out.size()), c.out) << c.arguments[0];
        EXPECT_EQ(o.err, c.errStart) << c.arguments[0];
        EXPECT_TRUE(o.files.empty());
    }
}

TEST(Arguments, NoneKeepsTheDialogue) {
    Scenario s;
    const Outcome o = s.run("/\n");
    EXPECT_EQ(o.out, inputPrompt);
    EXPECT_EQ(o.status, 0);
}

}  // namespace
}  // namespace detrend::e2e
