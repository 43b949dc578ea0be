// Bad input and faults, end to end: each case states what the user sees. None
// may crash, report success, or lose a block already written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console_text.hpp"
#include "harness.hpp"

namespace detrend::e2e {
namespace {

const std::string goodTable = "Year A B\n1901 1.2 0.9\n1902 0.8 1.1\n1903 1.1 1.0\n1904 0.9 1.2\n1905 1.0 0.8\n";

struct BadTable {
    const char* what;
    std::string table;
    std::string columns;
    std::string err;  // the whole of standard error
};

TEST(BadInput, TablesThatCannotBeReadEndWithAReason) {
    std::string binary = "Year A\n";
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(255 - i);
    const BadTable cases[] = {
        {"an empty file", "", "2", "detrend: Attempt to read past end of file (input file \"t\", which is empty)\n"},
        {"only names", "Year A B\n", "3", "detrend: input file \"t\": no data rows after the names\n"},
        {"names cut short", "Year\nA", "3",
         "detrend: Attempt to read past end of file (input file \"t\", which ends after line 2)\n"},
        {"a binary file", binary, "2", "detrend: Illegal character in numeric input (input file \"t\", line 2)\n"},
        {"a value too large for a double", "Year A\n1901 1e400\n", "2",
         "detrend: Number out of range in numeric input (input file \"t\", line 2)\n"},
        {"NaN written in the table", "Year A\n1901 NaN\n", "2",
         "detrend: Illegal character in numeric input (input file \"t\", line 2)\n"},
        {"Inf written in the table", "Year A\n1901 1\n1902 -Inf\n", "2",
         "detrend: Illegal character in numeric input (input file \"t\", line 3)\n"},
        {"a year too large for 32 bits", "Year A\n1e12 1\n1e12 2\n", "2",
         "detrend: input file \"t\": the year of data row 1 does not fit a 32-bit integer\n"},
        {"a zero repeat count", "Year A\n1901 0*5\n", "2",
         "detrend: Zero repeat count in input (input file \"t\", line 2)\n"},
        {"701 columns", "", "701",
         "detrend: too many columns: 701 typed, at most 700 (the year column and 699 series)\n"},
        {"a year column that jumps", "Year A\n1901 1\n1902 1\n1904 1\n", "2",
         "detrend: input file \"t\": years do not rise by one at row 3\n"},
    };
    for (const BadTable& c : cases) {
        Scenario s;
        s.write("t", c.table);
        const Outcome o = s.run("t\nout.txt\n" + c.columns + "\n-999\n5\n");
        EXPECT_EQ(o.err, c.err) << c.what;
        EXPECT_EQ(o.status, 1) << c.what;
        EXPECT_EQ(o.out.find("Normal termination"), std::string::npos) << c.what;
        EXPECT_EQ(o.files.at("out.txt"), "") << c.what;
    }
}

TEST(BadInput, OddButReadableTablesRunToTheEnd) {
    std::string hugeLine = "Year A";
    while (hugeLine.size() < (1u << 20)) hugeLine += " extra";
    std::string wideRow = "1901 1";
    while (wideRow.size() < (1u << 20)) wideRow += " 7.5";
    const std::string longName(200, 'N');
    struct Case {
        const char* what;
        std::string table;
        std::string seriesLine;
    };
    const Case cases[] = {
        {"a 1 MB names line", hugeLine + "\n1901 1\n1902 2\n", " A                       1901    1902\n"},
        {"a 1 MB data row", "Year A\n" + wideRow + "\n1902 2\n", " A                       1901    1902\n"},
        {"a 200-character name", "Year " + longName + "\n1901 1\n1902 2\n", " NNNNNNNNNNNNNNNNNNNN    1901    1902\n"},
        {"a huge repeat count", "Year A\n1901 99999999999999999999*1\n1902 2\n",
         " A                       1901    1902\n"},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t", c.table);
        const Outcome o = s.run("t\nout.txt\n2\n-999\n1\n");
        EXPECT_EQ(o.status, 0) << c.what << ": " << o.err;
        EXPECT_NE(o.out.find(seriesReadHeading + c.seriesLine), std::string::npos) << c.what;
        EXPECT_NE(o.out.find("Normal termination"), std::string::npos) << c.what;
        EXPECT_NE(o.files.at("out.txt").find(" 1902   2.000"), std::string::npos) << c.what;
    }
}

TEST(BadInput, ADirectoryAsInputFile) {
    Scenario s;
    std::filesystem::create_directory(s.path("dir"));
    const Outcome o = s.run("dir\nout.txt\n");
    EXPECT_EQ(o.err, "detrend: cannot open input file \"dir\": Is a directory\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, inputPrompt);
}

TEST(BadInput, OutputFilesThatCannotBeWritten) {
    struct Case {
        const char* what;
        std::string name;
        std::string err;
    };
    const Case cases[] = {
        {"a directory that does not exist", "nodir/out.txt",
         "detrend: cannot open output file \"nodir/out.txt\": No such file or directory\n"},
        {"a directory", "sub", "detrend: cannot open output file \"sub\": Is a directory\n"},
        {"a directory without write permission", "locked/out.txt",
         "detrend: cannot open output file \"locked/out.txt\": Permission denied\n"},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", goodTable);
        std::filesystem::create_directory(s.path("sub"));
        std::filesystem::create_directory(s.path("locked"));
        std::filesystem::permissions(s.path("locked"),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                         std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
        RunOptions options;
        options.unprivileged = true;
        const Outcome o = s.run("t.txt\n" + c.name + "\n3\n-999\n2\n", options);
        EXPECT_EQ(o.err, c.err) << c.what;
        EXPECT_EQ(o.status, 1) << c.what;
        EXPECT_EQ(o.out, inputPrompt + outputPrompt) << c.what;
    }
}

TEST(BadInput, AWriteFailureIsNeverASuccess) {
    Scenario s;
    s.write("t.txt", goodTable);
    const Outcome o = s.run("t.txt\n../../../../../../../../../../dev/full\n3\n-999\n2\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot write output file \"../../../../../../../../../../dev/full\": No space left on "
                         "device\n"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(o.out.find("Normal termination"), std::string::npos);
}

TEST(BadInput, EveryCompletedBlockIsKeptWhenTheRunEnds) {
    // Two series at cutoff 0: each waits for a line; the console ends during
    // the second wait. The first block stays, byte for byte.
    Scenario full, cut;
    full.write("t.txt", goodTable);
    cut.write("t.txt", goodTable);
    const Outcome complete = full.run("t.txt\nout.txt\n3\n-999\n0\n\n\n");
    ASSERT_EQ(complete.status, 0);
    const std::string& listing = complete.files.at("out.txt");
    const std::string firstBlock = listing.substr(0, listing.find("\r\n\r\n") + 2);
    ASSERT_EQ(firstBlock.size(), 2 + 40 + 31 + 5 * 31u);

    const Outcome ended = cut.run("t.txt\nout.txt\n3\n-999\n0\n\n");
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(ended.err, noDisplayNote +
                             "detrend: Attempt to read past end of file (the line awaited after \"never get here\")\n");
    EXPECT_EQ(ended.files.at("out.txt"), firstBlock);
}

TEST(BadInput, TheEndOfTheConsoleInputAfterAPartialReply) {
    // A reply line without a line end still counts; nothing after it does.
    Scenario s;
    s.write("t.txt", goodTable);
    const Outcome o = s.run("t.txt\nout.txt\n3\n-999");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: Attempt to read past end of file (the reply to \"Enter the 50% frequency response cutoff\")\n");
}

}  // namespace
}  // namespace detrend::e2e
