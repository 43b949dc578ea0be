// The free-layout table as the batch command line reads it.
#include "formats/read_table.hpp"
#include "cli/read_hint.hpp"

#include <gtest/gtest.h>

#include "fixtures/worked_example.hpp"

#include <cmath>
#include <limits>
#include <sstream>

namespace detrend::formats {
namespace {

// name@firstYear:v,v,... per series ("NaN" for missing), "|problem" when set.
std::string summary(const SeriesSet& set) {
    std::ostringstream out;
    for (const Series& s : set.series) {
        out << s.name << '@' << s.firstYear << ':';
        for (double v : s.values) out << v << ',';
        if (s.problem) out << '|' << *s.problem;
        out << ' ';
    }
    for (const std::string& w : set.warnings) out << "~ " << w;
    if (set.itemsIgnored) out << "~ " << cli::itemsIgnoredNote(*set.itemsIgnored);
    return out.str();
}

TEST(FreeTable, ReadsLikeTheDialogueAndKeepsGapsForTheCaller) {
    struct Case {
        const char* what;
        std::string bytes;
        TableOptions options;
        std::string expected;  // summary, or "error L:C: message"
    };
    const Case cases[] = {
        {"the worked example",
         fixtures::workedExample,
         {},
         "Site01@1902:0.85,0.9,1.05, Site02@1901:1.1,0.95,1.02,0.98, "},
        {"a gap, a series without values, and the flag in single precision",
         "Y A B C\n1 1 -99.99 -99.99\n2 -99.99 -99.99 2\n3 3 -99.99 3\n",
         {0, -99.99},
         "A@1:1,nan,3, B@0:|it has no values C@2:2,3, "},
        {"names counted on the first line, quoted, with commas",
         "'Year' \"A b\",C ! comment\n10, 1 , 2\n11 3 4\n",
         {},
         "A b@10:1,3, C@10:2,4, "},
        {"--columns for names over two lines", "Year A\nB\n1 1 2\n2 3 4\n", {3, -999}, "A@1:1,3, B@1:2,4, "},
        // A year is whole, as in CSV; a zero fraction (pandas' 1850.0) is one.
        {"years with a zero fraction", "Y A\n1850.0 1\n1851.00 2\n", {}, "A@1850:1,2, "},
        {"a fractional year", "Y A\n1850 1\n  1851.2 2\n", {}, "error 3:3: expected a year, found \"1851.2\""},
        {"a year out of range",
         "Y A\n-1000001,1\n",
         {},
         "error 2:1: year -1000001 is out of range (-1000000 to 1000000)"},
        {"the last year out of range",
         "Y A\n999999 1\n1000000 2\n1000001 3\n",
         {},
         "error 4:1: year 1000001 is out of range (-1000000 to 1000000)"},
        {"nothing but blank lines", " \r\n\n\t\n", {}, "error 0:0: the file is empty"},
        {"nothing but a byte order mark", "\xEF\xBB\xBF", {}, "error 0:0: the file is empty"},
        {"only a year column",
         "Year\n1\n",
         {},
         "error 1:1: the first line must name the year column and at least one series"},
        {"no data rows", "Year A\n", {}, "error 1:0: no data rows after the names"},
        {"years that jump", "Y A\n1 1\n2 2\n4 4\n", {}, "error 4:1: years do not rise by one: 4 follows 2"},
        {"a year far too large", "Y A\n1e300 1\n", {}, "error 2:1: the year is not a number of at most 15 digits"},
        {"a letter in a value", "Y A\n1 1\n2 x\n", {}, "error 3:3: Illegal character in numeric input (item 2: \"x\")"},
        {"years named at their column", "Y A\n1 1\n  3 3\n", {}, "error 3:3: years do not rise by one: 3 follows 1"},
        {"CR alone", "Y A\r1 1\r2 2\r", {}, "A@1:1,2, "},
        // More values on a row than the names line has columns.
        {"no year label",
         "Oak1 Oak2\n1961 2.84 3.10\n",
         {},
         "error 2:11: 3 values where the names line has 2 columns: is the year column's label missing from the names "
         "line?"},
        {"decimal commas",
         "Year Oak1 Oak2\n1961 2,84 3,10\n",
         {},
         "error 2:11: 5 values where the names line has 3 columns: are these decimal commas? Write 2.84, not 2,84"},
        {"a slash in a name",
         "Year Oak/1 Oak/2\n1961 2.84 3.10\n",
         {},
         "error 2:11: 3 values where the names line has 2 columns: a \"/\" ends the names line early (a name may not "
         "hold \"/\")"},
        {"the extra values on the second line of a row",
         "Y A B\n1 1\n2 9\n",
         {},
         "error 3:3: 4 values where the names line has 3 columns (the row begins on line 2: does it lack a value "
         "there?)"},
        // Repeat counts that would make more values than memory holds.
        {"a names line of a billion columns",
         "Y 999999999*\n1 2\n",
         {},
         "error 1:1: the table would hold more than 1048576 values, from a file of 17 bytes: is a repeat count (r*v) "
         "too large?"},
        {"rows of 300,000 values each",
         "Y 299999*\n1 299999*1\n2 299999*1\n3 299999*1\n4 299999*1\n",
         {},
         "error 5:1: the table would hold more than 1048576 values, from a file of 54 bytes: is a repeat count (r*v) "
         "too large?"},
        {"a last row the file ends inside",
         "Year A B\n1900 1 2\n1901 3\n",
         {},
         "A@1900:1, B@1900:2, ~ the file ends inside the row of line 3, before its 3 values: the file seems cut off; "
         "that row is left out"},
        {"--columns: extra values ignored with one warning",
         "Year A B\n1 1 9\n2 2 9\n",
         {2, -999},
         "A@1:1,2, ~ line 1: 3 items found, 2 columns given (--columns); the extra ones are ignored, on this line and "
         "2 "
         "more"},
    };
    for (const Case& c : cases) {
        const base::Result<SeriesSet> read = readTable(c.bytes, c.options);
        const base::Diagnostic error = read ? base::Diagnostic{} : read.error();
        const std::string got =
            read ? summary(*read)
                 : "error " + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.what;
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

}  // namespace
}  // namespace detrend::formats
