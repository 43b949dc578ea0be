#include "dialogue/series_table.hpp"

#include <gtest/gtest.h>

#include "fixtures/worked_example.hpp"

#include <cstdio>
#include <memory>
#include <string>

#include "dialogue/run_end.hpp"

namespace detrend::dialogue {
namespace {

// Runs readtable on `file` with the console replies `replies`; keeps the
// console text.
class TableRead {
public:
    TableRead(const std::string& replies, const std::string& file)
        : replies_(replies),
          file_(file),
          consoleLines_(replies_, "console"),
          fileLines_(file_, "input file \"t\""),
          reader_(fileLines_) {
        out_ = open_memstream(&buffer_, &size_);
        console_ = std::make_unique<Console>(consoleLines_, out_, messages_);
    }
    ~TableRead() {
        std::fclose(out_);
        std::free(buffer_);
    }
    // Reads the table; returns the report of the run's end, or "" when none.
    std::string read() {
        int columns = 0;
        float flag = 0.0f;
        base::Status read = askColumnsAndFlag(*console_, columns, flag);
        if (read.ok()) read = readSeriesTable(reader_, columns, flag, *console_, table);
        return read.why();
    }
    std::string console() {
        std::fflush(out_);
        return std::string(buffer_, size_);
    }
    static SeriesTable table;

private:
    std::string replies_, file_;
    formats::LineReader consoleLines_, fileLines_;
    formats::FreeReader reader_;
    output::Messages messages_;
    std::FILE* out_ = nullptr;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::unique_ptr<Console> console_;
};
SeriesTable TableRead::table;

using fixtures::workedExample;

const std::string prompts =
    " Enter number of columns                    ==>  Enter missing value flag e.g., -999.00     ==> ";

TEST(ReadTable, WorkedExample) {
    TableRead t("3\n-999\n", workedExample);
    ASSERT_EQ(t.read(), "");
    EXPECT_EQ(t.console(), prompts +
                               "\n"
                               " Series Read:________________________\n"
                               " Name                     IYR     LYR\n"
                               " Site01                  1902    1904\n"
                               " Site02                  1901    1904\n");
    const SeriesTable& table = TableRead::table;
    EXPECT_EQ(table.columnCount, 2);
    EXPECT_EQ(table.names[0].view(), "Site01              ");
    EXPECT_EQ(table.names[1].view(), "Site02              ");
    EXPECT_EQ(table.names[2].view(), "Site02              ");  // the entry after the last keeps its text
    EXPECT_EQ(table.firstYear[0], 1902);
    EXPECT_EQ(table.firstYear[1], 1901);
    EXPECT_EQ(table.lastYear[0], 1904);
    EXPECT_EQ(table.lastYear[1], 1904);
    EXPECT_EQ(table.length[0], 3);
    EXPECT_EQ(table.length[1], 4);
    const double* c1 = table.column(1);
    const double* c2 = table.column(2);
    EXPECT_EQ((std::vector<double>{c1[0], c1[1], c1[2]}), (std::vector<double>{0.85, 0.90, 1.05}));
    EXPECT_EQ((std::vector<double>{c2[0], c2[1], c2[2], c2[3]}), (std::vector<double>{1.10, 0.95, 1.02, 0.98}));
}

// One series per case: its Series Read line, and its values after reading.
TEST(ReadTable, FirstAndLastYearsAndValues) {
    struct Case {
        const char* flag;
        const char* rows;
        int firstYear, lastYear;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"-999", "1 -999\n2 -999.0\n3 5\n4 6\n5 -999.00\n", 3, 4, {5, 6}},
        {"-99.99", "1 -99.99\n2 1\n3 -99.99\n", 1, 3, {-99.99, 1, -99.99}},  // never matches
        {"-999.5", "1 -999.5\n2 1\n", 2, 2, {1}},
        {"0", "1 0\n2 1\n3 2\n4 0\n", 2, 3, {1, 2}},  // a zero flag: every 0 is missing
        {"-999", "1850.9 1\n1851.2 2\n", 1850, 1851, {1, 2}},
        {"-999", "-12.7 1\n-11 2\n-10.5 3\n", -12, -10, {1, 2, 3}},
        {"-999", "1 1\n\n2 2\n\n\n", 1, 2, {1, 2}},  // empty lines change nothing
        {"-999", "1 1\n2 2\n3", 1, 2, {1, 2}},  // a row cut short does not count
        {"-999", "1\n1\n2 2 99\n", 1, 2, {1, 2}},  // spread over lines; extras lost
        {"-999", "1 , 5\n2,,\n3 7\n", 1, 3, {5, 0, 7}},  // an empty value stays 0
        {"-999", "100000 1\n100001 2\n", 100000, 100001, {1, 2}},
    };
    for (const Case& c : cases) {
        TableRead t(std::string("2\n") + c.flag + "\n", std::string("Year S\n") + c.rows);
        ASSERT_EQ(t.read(), "") << c.rows;
        const SeriesTable& table = TableRead::table;
        EXPECT_EQ(table.columnCount, 1) << c.rows;
        EXPECT_EQ(table.firstYear[0], c.firstYear) << c.rows;
        EXPECT_EQ(table.lastYear[0], c.lastYear) << c.rows;
        EXPECT_EQ(table.length[0], c.lastYear - c.firstYear + 1) << c.rows;
        EXPECT_EQ(std::vector<double>(table.column(1), table.column(1) + c.values.size()), c.values) << c.rows;
    }
}

TEST(ReadTable, YearsTooWideForTheirFieldShowAsterisks) {
    TableRead t("2\n-999\n", "Year S\n123456789 1\n123456790 2\n");
    ASSERT_EQ(t.read(), "");
    EXPECT_NE(t.console().find(" S                   ****************\n"), std::string::npos);
}

TEST(ReadTable, FewerThanTwoColumnsGiveHeadingsOnly) {
    for (const char* columns : {"1", "0", "-3", "/"}) {
        TableRead t(std::string(columns) + "\n-999\n", "Year\n1901\n1902\n");
        ASSERT_EQ(t.read(), "") << columns;
        EXPECT_EQ(t.console(), prompts +
                                   "\n"
                                   " Series Read:________________________\n"
                                   " Name                     IYR     LYR\n")
            << columns;
        EXPECT_LE(TableRead::table.columnCount, 0) << columns;
    }
}

TEST(ReadTable, EndsTheRunOnTablesItCannotUse) {
    struct Case {
        const char* replies;
        std::string file;
        std::string report;
    };
    const Case cases[] = {
        {"2\n-999\n", "", "Attempt to read past end of file (input file \"t\", which is empty)"},
        {"3\n-999\n", "Year A\n", "Attempt to read past end of file (input file \"t\", which ends after line 1)"},
        {"2\n-999\n", "Year A\n1901 x\n",
         "Illegal character in numeric input (input file \"t\", line 2, item 2: \"x\")"},
        {"2\n-999\n", "Year A\n", "input file \"t\": no data rows after the names"},
        {"2\n-999\n", "Year A\n1901 1\n1903 2\n",
         "input file \"t\": years do not rise by one at row 2 (the number of columns may be wrong: 2 typed)"},
        {"2\n-999\n", "Year A\n1901 1\n1901.5 2\n",
         "input file \"t\": years do not rise by one at row 2 (the number of columns may be wrong: 2 typed)"},
        {"3\n-999\n", "Year A B\n1 1 -999\n2 1 -999\n", "input file \"t\": series B has no values"},
        {"2\n-999\n", "Year A\n1 1\n2 -999\n3 1\n", "input file \"t\": series A has a missing value inside it"},
        {"2\n-999\n", "Year A\n1e12 1\n", "input file \"t\": the year of data row 1 does not fit a 32-bit integer"},
        {"701\n", "", "too many columns: 701 typed, at most 700 (the year column and 699 series)"},
    };
    for (const Case& c : cases) {
        TableRead t(c.replies, c.file);
        EXPECT_EQ(t.read(), c.report) << c.file;
    }
}

TEST(ReadTable, TheYearsAreCheckedBeforeTheSeries) {
    TableRead t("2\n-999\n", "Year A\n1 -999\n3 -999\n");
    EXPECT_EQ(t.read(),
              "input file \"t\": years do not rise by one at row 2 (the number of columns may be wrong: 2 typed)");
}

TEST(ReadTable, TakesAtMostTenThousandRows) {
    std::string file = "Year A\n";
    for (int i = 1; i <= 10000; ++i) file += std::to_string(i) + " 1\n";
    {
        TableRead t("2\n-999\n", file);
        ASSERT_EQ(t.read(), "");
        EXPECT_EQ(TableRead::table.length[0], 10000);
    }
    file += "10001 1\n";
    TableRead t("2\n-999\n", file);
    EXPECT_EQ(t.read(), "input file \"t\": too many rows: more than 10000 data rows (line 10002)");
}

TEST(ReadTable, SevenHundredColumnsFit) {
    std::string names = "Year", row = "1";
    for (int k = 2; k <= 700; ++k) names += " S" + std::to_string(k), row += " " + std::to_string(k);
    TableRead t("700\n-999\n", names + "\n" + row + "\n");
    ASSERT_EQ(t.read(), "");
    EXPECT_EQ(TableRead::table.columnCount, 699);
    EXPECT_EQ(TableRead::table.column(699)[0], 700.0);
    EXPECT_EQ(TableRead::table.names[698].trimmed(), "S700");
}

}  // namespace
}  // namespace detrend::dialogue
