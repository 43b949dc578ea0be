#include "formats/detect_format.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace detrend::formats {
namespace {

TEST(InputFormat, DetectedFromContent) {
    struct Case {
        const char* what;
        std::string text;
        InputFormat format;
    };
    const std::vector<Case> cases = {
        {"tucson with header", "ABC  1 Site\nABC  2 x\nABC01   1850   104   999\n", InputFormat::tucson},
        {"tucson, numeric id ending in a marker", "101     1850   104   999\n", InputFormat::tucson},
        {"tucson header with commas", "ABC  1 Site, Land\nABC  3 Doe, J.\nABC01   1850   104   999\n",
         InputFormat::tucson},
        {"csv", "Year,A,B\n1850,1.2,1.3\n", InputFormat::csv},
        {"csv after BOM, semicolons", "\xEF\xBB\xBFYear;A;B\r\n1850;1,2;1,3\r\n", InputFormat::csv},
        {"csv tabs", "Year\tA\tB\n1850\t1.2\t1.3\n", InputFormat::csv},
        {"csv whose first row is faulty", "Year,A,B\n1850,1.2\n1851,1.2,1.3\n", InputFormat::csv},
        {"table", "Year A B\n1850 1.2 1.3\n", InputFormat::table},
        {"table with commas between values", "Year A B\n1850, 1.2, 1.3\n", InputFormat::table},
        {"aligned integer table", "Year    A     B\n1901    1234  5678\n", InputFormat::table},
        {"empty", "", InputFormat::table},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detectFormat(c.text), c.format);
    }
}

}  // namespace
}  // namespace detrend::formats
