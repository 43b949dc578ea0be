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

// Each reason has its case where it is found (the reader, the dialogue's
// table); here, what the user sees of some: the report, status 1, no normal
// termination and an empty listing.
TEST(BadInput, TablesThatCannotBeReadEndWithAReason) {
    std::string binary = "Year A\n", shownBinary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(255 - i);
    for (int i = 0; i < 60; ++i)
        shownBinary += "\\x" + std::string(1, "FEDCBA9876543210"[i / 16]) + "FEDCBA9876543210"[i % 16];
    const BadTable cases[] = {
        {"an empty file", "", "2", "detrend: Attempt to read past end of file (input file \"t\", which is empty)\n"},
        {"names cut short", "Year\nA", "3",
         "detrend: Attempt to read past end of file (input file \"t\", which ends after line 2)\n"},
        // Bytes outside UTF-8 show escaped, and the item is cut after 60.
        {"a binary file", binary, "2",
         "detrend: Illegal character in numeric input (input file \"t\", line 2, item 1: \"" + shownBinary +
             "...\")\n"},
        {"NA in the fifth column", "Year A B C D\n1901 1 2 3 4\n1902 1 2 3 NA\n", "5",
         "detrend: Illegal character in numeric input (input file \"t\", line 3, item 5: \"NA\")\n"},
        {"a row continued on the next line", "Year A B C\n1901 1\n  2 x3\n", "4",
         "detrend: Illegal character in numeric input (input file \"t\", line 3, item 4: \"x3\")\n"},
        {"a long word with a comma after it", "Year A\n1901 not_a_number_but_a_long_word,1\n", "2",
         "detrend: Illegal character in numeric input (input file \"t\", line 2, item 2: "
         "\"not_a_number_but_a_long_word\")\n"},
        {"a dash that is not a minus sign", "Year A\n1901 \u2013999.5\n", "2",
         "detrend: Illegal character in numeric input (input file \"t\", line 2, item 2: \"\u2013999.5\")\n"},
        // Names and rows run on over the next lines: the second year is a value.
        // Files of the field's own layouts: the command line that reads them.
        {"a Tucson file", "SITE01  1901   120   130   140   150   999\n", "2",
         "detrend: input file \"t\", line 1: 7 names found, 2 columns typed; the extra ones are ignored\n"
         "detrend: input file \"t\": no data rows after the names\n"
         "detrend: \"t\" looks like a Tucson ring-width file, which the command line reads: detrend -c 32 t\n"},
        {"a CSV table", "year,A,B\n1901,1.2,NA\n1902,0.8,1.1\n", "3",
         "detrend: Illegal character in numeric input (input file \"t\", line 2, item 3: \"NA\")\n"
         "detrend: \"t\" looks like a CSV table, which the command line reads: detrend -c 32 t\n"},
        {"more columns typed than the table has", goodTable, "4",
         "detrend: input file \"t\": years do not rise by one at row 2 (the number of columns may be wrong: 4 "
         "typed)\n"},
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

TEST(BadInput, ExtraNamesOrValuesAreIgnoredWithAWarning) {
    // One warning at most: about the names line, or else the first data line.
    const std::string ignored = " columns typed; the extra ones are ignored\n";
    struct Case {
        const char* what;
        std::string table;
        std::string columns;
        std::string warning;  // standard error before the note on plots
    };
    const Case cases[] = {
        {"as many columns as typed", "Year A\n1901 1\n1902 2\n", "2", ""},
        {"a series more in the table", "Year A B\n1901 1 2\n1902 2 1\n", "2",
         "detrend: input file \"t\", line 1: 3 names found, 2" + ignored},
        {"values without names", "Year A\n1901 1 7 7\n1902 2\n", "2",
         "detrend: input file \"t\", line 2: 4 values found, 2" + ignored},
        {"only the first data line is checked", "Year A\n1901 1\n1902 2 7\n", "2", ""},
        {"quoted names and repeat counts", "Year 'Site A' 2*x \"B, C\"\n1901 1\n1902 2\n", "2",
         "detrend: input file \"t\", line 1: 5 names found, 2" + ignored},
        {"empty items", "Year A\n1901 1,,7\n1902 2\n", "2",
         "detrend: input file \"t\", line 2: 4 values found, 2" + ignored},
        {"a comment or a slash after the row", "Year A ! site\n1901 1 / 7\n1902 2\n", "2", ""},
        {"a trailing comma", "Year A,\n1901 1,\n1902 2\n", "2", ""},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t", c.table);
        const Outcome o = s.run("t\nout.txt\n" + c.columns + "\n-999\n1\n");
        EXPECT_EQ(o.err, c.warning + noDisplayNote) << c.what;
        EXPECT_EQ(o.status, 0) << c.what;
        EXPECT_NE(o.out.find("    1901    1902\n"), std::string::npos) << c.what;
    }
}

TEST(BadInput, ADirectoryAsInputFile) {
    Scenario s;
    std::filesystem::create_directory(s.path("dir"));
    const Outcome o = s.run("dir\nout.txt\n");
    EXPECT_EQ(o.err, "detrend: cannot open input file \"dir\": Is a directory\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, inputPrompt);
    // The batch says what to name instead.
    RunOptions batch;
    batch.arguments = {"-c", "5", "dir/"};
    const Outcome b = s.run("", batch);
    EXPECT_EQ(b.err, "detrend: dir/: is a directory: name the files in it (dir/*.rwl)\n");
    EXPECT_EQ(b.status, 1);
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
    ASSERT_EQ(complete.status, 1);  // no spline at cutoff 0
    const std::string& listing = complete.files.at("out.txt");
    const std::string firstBlock = listing.substr(0, listing.find("\r\n\r\n") + 2);
    ASSERT_EQ(firstBlock.size(), 2 + 40 + 31 + 5 * 31u);

    const Outcome ended = cut.run("t.txt\nout.txt\n3\n-999\n0\n\n");
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(ended.err, "detrend: series A: no spline: the cutoff 0 is not a period\n" + noDisplayNote +
                             "detrend: Attempt to read past end of file (the line awaited after \"never get here\")\n");
    EXPECT_EQ(ended.files.at("out.txt"), firstBlock);
}

TEST(BadInput, RunningOutOfMemoryIsReportedNeverACrash) {
    constexpr unsigned long MiB = 1024;  // limits are in KiB
    const std::string noMemory = "detrend: not enough memory";
    auto run = [](const std::string& replies, unsigned long limit, const std::string& oldListing = "") {
        Scenario s;
        s.write("t.txt", goodTable);
        if (!oldListing.empty()) s.write("out.txt", oldListing);
        RunOptions options;
        options.memoryLimitKiB = limit;
        return s.run(replies, options);
    };
    // An ending for want of memory: the report, or the loader's own message
    // (status 127) under a limit too low to load the program at all.
    auto expectNoCrash = [&](const Outcome& o, unsigned long limit) {
        EXPECT_TRUE(o.status == 0 || o.status == 1 || o.status == 127) << limit << " KiB: " << o.status << o.err;
        if (o.status != 1) return;
        const std::size_t lastLine = o.err.size() < 2 ? std::string::npos : o.err.rfind('\n', o.err.size() - 2);
        EXPECT_EQ(o.err.substr(lastLine == std::string::npos ? 0 : lastLine + 1, noMemory.size()), noMemory)
            << limit << " KiB: " << o.err;
    };

    // How much the program takes to start depends on the build: find the
    // least limit under which "/" ends normally.
    unsigned long enough = 1024 * MiB, tooLittle = 0;
    if (run("/\n", enough).status != 0) GTEST_SKIP() << "the program needs more than 1 GiB of address space";
    while (enough - tooLittle > MiB / 4) {
        const unsigned long limit = (enough + tooLittle) / 2;
        const Outcome o = run("/\n", limit);
        expectNoCrash(o, limit);
        (o.status == 0 ? enough : tooLittle) = limit;
    }

    // 16 MiB more: not enough for the table (56 MB), which is taken only
    // after the prompts, and an existing listing stays as it was.
    const Outcome table = run("t.txt\nout.txt\n3\n-999\n2\n", enough + 16 * MiB, "old listing\n");
    EXPECT_EQ(table.out, openingPrompts);
    EXPECT_EQ(table.err, noMemory + " to go on\n");
    EXPECT_EQ(table.status, 1);
    EXPECT_EQ(table.files.at("out.txt"), "old listing\n");

    // Every limit from too little to start to enough for the whole run.
    Outcome last;
    for (unsigned long limit = tooLittle; limit <= enough + 128 * MiB; limit += 2 * MiB) {
        last = run("t.txt\nout.txt\n3\n-999\n2\n", limit);
        expectNoCrash(last, limit);
        if (last.status == 0) {
            EXPECT_EQ(last.out.substr(last.out.size() - closingLines.size()), closingLines) << limit;
        }
    }
    EXPECT_EQ(last.status, 0) << last.err;
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
