// The dialogue from the first prompt to the closing lines, and every way it
// can end early.
#include <gtest/gtest.h>

#include "fixtures/worked_example.hpp"

#include <unistd.h>

#include "console_text.hpp"
#include "harness.hpp"

namespace detrend::e2e {
namespace {

using fixtures::workedExample;

const std::string noSeriesTable = "Year\n1901\n1902\n";

TEST(Dialogue, SlashAtTheFirstPromptEndsAtOnce) {
    // A path typed after the slash was meant as a file: say why nothing happens.
    const std::string pathNote =
        "detrend: a reply starting with \"/\" ends the program: paths must be relative to the current directory "
        "(or use the command line: detrend -c CUTOFF FILE)\n";
    struct Case {
        const char* reply;
        std::string err;
    };
    const Case cases[] = {
        {"/\n", ""},
        {"/", ""},
        {"/   \t\n", ""},
        {"/anything\n", pathNote},
        {"/home/user/rings/site-with-a-rather-long-name.txt\n", pathNote},
    };
    for (const Case& c : cases) {
        Scenario s;
        const Outcome o = s.run(c.reply);
        EXPECT_EQ(o.out, inputPrompt) << c.reply;
        EXPECT_EQ(o.err, c.err) << c.reply;
        EXPECT_EQ(o.status, 0) << c.reply;
        EXPECT_TRUE(o.files.empty()) << c.reply;
    }
}

TEST(Dialogue, ABlankBeforeTheSlashIsAFileName) {
    Scenario s;
    const Outcome o = s.run(" /\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: cannot open input file \" /\": No such file or directory\n");
}

TEST(Dialogue, TheWorkedExampleRunsToTheClosingLines) {
    Scenario s;
    s.write("example.txt", workedExample);
    const Outcome o = s.run("example.txt\nresults.txt\n3\n-999\n2\n");
    const std::string filter = "\n *** Computing prediction error filter (length   2) for extrapolation\n\n ip:   2\n";
    EXPECT_EQ(o.out, openingPrompts + seriesReadHeading +
                         " Site01                  1902    1904\n"
                         " Site02                  1901    1904\n" +
                         cutoffPrompt + filter + "   -0.192  -0.965\n" + filter + "   -0.757  -0.018\n" + closingLines);
    EXPECT_EQ(o.err, noDisplayNote);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.fileNames(), (std::vector<std::string>{"example.txt", "results.txt"}));
    EXPECT_EQ(o.files.at("results.txt"),
              "\r\n Input series is: Site01              \r\n year  unfilt  spline  resids\r\n"
              " 1902   0.850   0.861  -0.011\r\n"
              " 1903   0.900   0.908  -0.008\r\n"
              " 1904   1.050   1.032   0.018\r\n"
              "\r\n Input series is: Site02              \r\n year  unfilt  spline  resids\r\n"
              " 1901   1.100   1.067   0.033\r\n"
              " 1902   0.950   0.977  -0.027\r\n"
              " 1903   1.020   1.003   0.017\r\n"
              " 1904   0.980   0.993  -0.013\r\n");
}

TEST(Dialogue, ATableWithoutSeriesRunsToTheClosingLines) {
    Scenario s;
    s.write("years.txt", noSeriesTable);
    const Outcome o = s.run("years.txt\nout.txt\n1\n-999\n5\n");
    EXPECT_EQ(o.out, openingPrompts + seriesReadHeading + cutoffPrompt + closingLines);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.fileNames(), (std::vector<std::string>{"out.txt", "years.txt"}));
    EXPECT_EQ(o.files.at("out.txt"), "");
}

TEST(Dialogue, TheOutputFileIsReplaced) {
    Scenario s;
    s.write("years.txt", noSeriesTable);
    s.write("out.txt", "old contents\n");
    const Outcome o = s.run("years.txt\nout.txt\n1\n-999\n5\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.files.at("out.txt"), "");
}

TEST(Dialogue, AnExistingListingIsKeptUntilTheFirstResults) {
    // Whatever ends a run before the first block of the new listing, the old
    // one stays as it was; a normal ending replaces it.
    const std::string old = "\r\n Input series is: earlier run\r\n";
    const std::string table = "Year A B\n1901 1.2 0.9\n1902 0.8 1.1\n1903 1.1 1.0\n1904 0.9 1.2\n1905 1.0 0.8\n";
    struct Case {
        const char* what;
        std::string replies;
        int status;
        std::string listingStart;  // the whole listing unless it holds series
    };
    const std::string firstBlock = "\r\n Input series is: A                   \r\n";
    const Case cases[] = {
        {"a typo in the number of columns", "3x\n", 1, old},
        {"the end of the console input", "3\n-999\n", 1, old},
        {"a table that cannot be used", "4\n-999\n5\n", 1, old},  // years do not rise at row 2
        {"a negative cutoff", "3\n-999\n-1\n", 1, old},
        {"a first series too long for the spline", "3\n-999\n5000\n", 1, old},
        {"the end of the console input in the first wait", "3\n-999\n0\n", 1, old},
        {"a run without series", "1\n-999\n5\n", 0, ""},
        {"a run with series", "3\n-999\n2\n", 0, firstBlock},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", table);
        s.write("out.txt", old);
        const Outcome o = s.run("t.txt\nout.txt\n" + c.replies);
        EXPECT_EQ(o.status, c.status) << c.what << ": " << o.err;
        const std::string& listing = o.files.at("out.txt");
        EXPECT_EQ(c.listingStart == firstBlock ? listing.substr(0, firstBlock.size()) : listing, c.listingStart)
            << c.what;
    }
}

TEST(Dialogue, FileNamesOfMoreThanFortyCharactersEndTheRun) {
    // A longer name must not be cut to the name of another file: here the
    // file named by the first 40 characters exists and must stay as it was.
    const std::string forty(40, 'n');
    const std::string tooLongInput = "detrend: the input file name is longer than 40 characters (";
    const std::string tooLongOutput = "detrend: the output file name is longer than 40 characters (";
    struct Case {
        std::string input, output;
        std::string out, err;
        int status;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {forty + "   ",
         "o.txt",
         openingPrompts + seriesReadHeading + cutoffPrompt + closingLines,
         "",
         0,
         {forty, "o.txt"}},
        {forty + "x", "o.txt", inputPrompt, tooLongInput + "41 typed)\n", 1, {forty}},
        {forty + "   x", "o.txt", inputPrompt, tooLongInput + "44 typed)\n", 1, {forty}},
        {forty, forty + "xxxxxxxx", inputPrompt + outputPrompt, tooLongOutput + "48 typed)\n", 1, {forty}},
        // The tab reaches column 48 before "ignored".
        {forty,
         forty.substr(0, 39) + "o\tignored",
         inputPrompt + outputPrompt,
         tooLongOutput + "55 typed)\n",
         1,
         {forty}},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write(forty, noSeriesTable);
        const Outcome o = s.run(c.input + "\n" + c.output + "\n1\n-999\n5\n");
        EXPECT_EQ(o.out, c.out) << c.input << " " << c.output;
        EXPECT_EQ(o.err, c.err) << c.input << " " << c.output;
        EXPECT_EQ(o.status, c.status) << c.input << " " << c.output;
        EXPECT_EQ(o.fileNames(), c.files) << c.input << " " << c.output;
        EXPECT_EQ(o.files.at(forty), noSeriesTable) << c.input << " " << c.output;
    }
}

TEST(Dialogue, RepliesMayEndInCarriageReturns) {
    Scenario s;
    s.write("years.txt", noSeriesTable);
    const Outcome o = s.run("years.txt\r\nout.txt\r\n1\r\n-999\r\n5\r\n");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.fileNames(), (std::vector<std::string>{"out.txt", "years.txt"}));
}

TEST(Dialogue, AMissingInputFileEndsBeforeTheOutputFileIsAskedFor) {
    Scenario s;
    const Outcome o = s.run("nope.txt\nout.txt\n");
    EXPECT_EQ(o.out, inputPrompt);
    EXPECT_EQ(o.err, "detrend: cannot open input file \"nope.txt\": No such file or directory\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.files.empty());
}

TEST(Dialogue, ARepliesThatIsNotANumberEndsTheRun) {
    struct Case {
        std::string replies;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"t.txt\nout.txt\nabc\n", openingPrompts.substr(0, openingPrompts.size() - flagPrompt.size()),
         "detrend: Illegal character in numeric input (the reply to \"Enter number of columns\")\n"},
        {"t.txt\nout.txt\n2\n-999x\n", openingPrompts,
         "detrend: Illegal character in numeric input (the reply to \"Enter missing value flag e.g., -999.00\")\n"},
        {"t.txt\nout.txt\n2\n-999\n3.5\n",
         openingPrompts + seriesReadHeading + " A                       1901    1903\n" + cutoffPrompt,
         "detrend: Illegal character in numeric input (the reply to \"Enter the 50% frequency response cutoff\")\n"},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", "Year A\n1901 1\n1902 2\n1903 3\n");
        const Outcome o = s.run(c.replies);
        EXPECT_EQ(o.out, c.out) << c.replies;
        EXPECT_EQ(o.err, c.err) << c.replies;
        EXPECT_EQ(o.status, 1) << c.replies;
        EXPECT_EQ(o.files.at("out.txt"), "") << c.replies;
    }
}

TEST(Dialogue, TheEndOfTheConsoleInputAtEveryPromptEndsTheRun) {
    const std::string list = seriesReadHeading + " A                       1901    1903\n";
    struct Case {
        std::string replies;
        std::string out;
        std::string prompt;
    };
    const Case cases[] = {
        {"", inputPrompt, "Enter the input file (/ to exit)"},
        {"t.txt\n", inputPrompt + outputPrompt, "Enter the output file"},
        {"t.txt\nout.txt\n", inputPrompt + outputPrompt + columnsPrompt, "Enter number of columns"},
        {"t.txt\nout.txt\n2\n\n  \n", openingPrompts, "Enter missing value flag e.g., -999.00"},
        {"t.txt\nout.txt\n2\n-999\n", openingPrompts + list + cutoffPrompt, "Enter the 50% frequency response cutoff"},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", "Year A\n1901 1\n1902 2\n1903 3\n");
        const Outcome o = s.run(c.replies);
        EXPECT_EQ(o.out, c.out) << c.prompt;
        EXPECT_EQ(o.err, "detrend: Attempt to read past end of file (the reply to \"" + c.prompt + "\")\n");
        EXPECT_EQ(o.status, 1) << c.prompt;
    }
}

TEST(Dialogue, TheOutputFileMustNotBeTheInputFile) {
    Scenario s;
    s.write("t.txt", noSeriesTable);
    ASSERT_EQ(::link(s.path("t.txt").c_str(), s.path("alias.txt").c_str()), 0);
    for (const char* name : {"t.txt", "./t.txt", "alias.txt", "t.txt   "}) {
        const Outcome o = s.run(std::string("t.txt\n") + name + "\n1\n-999\n5\n");
        EXPECT_EQ(o.out, inputPrompt + outputPrompt) << name;
        EXPECT_NE(o.err.find("output file is the input file"), std::string::npos) << o.err;
        EXPECT_EQ(o.status, 1) << name;
        EXPECT_EQ(o.files.at("t.txt"), noSeriesTable) << name;
    }
}

TEST(Dialogue, TablesThatCannotBeUsedEndTheRun) {
    std::string manyRows = "Year A\n";
    for (int i = 1; i <= 10001; ++i) manyRows += std::to_string(1000 + i) + " 1\n";
    struct Case {
        std::string columns;
        std::string table;
        std::string words;
        bool listShown;
    };
    const Case cases[] = {
        {"701", "", "too many columns", false},
        {"2", manyRows, "too many rows", false},
        {"2", "Year A\n", "no data rows", false},
        {"2", "Year A\n1901 1\n1903 1\n", "years do not rise by one at row 2", true},
        {"3", "Year A B\n1901 1 -999\n1902 1 -999\n", "series B has no values", true},
        {"2", "Year A\n1901 1\n1902 -999\n1903 1\n", "series A has a missing value inside it", true},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", c.table);
        const Outcome o = s.run("t.txt\nout.txt\n" + c.columns + "\n-999\n5\n");
        EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
        EXPECT_EQ(o.status, 1) << c.words;
        EXPECT_EQ(o.out.find("cutoff"), std::string::npos) << c.words;
        EXPECT_EQ(o.out.find("Series Read") != std::string::npos, c.listShown) << c.words;
        EXPECT_EQ(o.files.at("out.txt"), "") << c.words;
    }
}

TEST(Dialogue, ANegativeCutoffIsRefusedWhenThereAreSeries) {
    Scenario s;
    s.write("t.txt", "Year A\n1901 1\n1902 2\n1903 3\n");
    const Outcome o = s.run("t.txt\nout.txt\n2\n-999\n-3\n");
    EXPECT_NE(o.err.find("cutoff must not be negative"), std::string::npos) << o.err;
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.files.at("out.txt"), "");

    Scenario none;
    none.write("t.txt", noSeriesTable);
    EXPECT_EQ(none.run("t.txt\nout.txt\n1\n-999\n-3\n").status, 0);
}

}  // namespace
}  // namespace detrend::e2e
