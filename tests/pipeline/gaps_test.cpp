// The rule of --gaps between reading and detrending: which series it mends,
// and the values, names and masks it makes.
#include "pipeline/gaps.hpp"

#include "base/text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace detrend::pipeline {
namespace {

const double nan = std::nan("");

formats::Series series(std::string name, std::vector<double> values, std::optional<std::string> problem = {},
                       bool onlyGaps = false) {
    return {std::move(name), 1900, std::move(values), std::move(problem), onlyGaps};
}

// The series as "NAME@FIRST:v1 v2 ..." (NaN as "NA"), one per line.
std::string shown(const formats::SeriesSet& set) {
    std::string text;
    for (const formats::Series& s : set.series) {
        text += s.name + "@" + std::to_string(s.firstYear) + ":";
        for (double v : s.values) text += " " + (std::isnan(v) ? std::string("NA") : base::shortestNumber(v));
        text += s.problem ? " (" + *s.problem + ")\n" : "\n";
    }
    return text;
}

TEST(Gaps, SplitOrFillOnlyWhatGapsAloneKeepFromUse) {
    struct Case {
        const char* what;
        GapRule rule;
        formats::Series in;
        std::string out;
        std::vector<bool> filled = {};
    };
    const std::string gap = "it has no values for 1902 to 1903";
    const std::vector<Case> cases = {
        {"split at a gap the reader named", GapRule::split, series("A", {1, 2, nan, nan, 5, 6}, gap, true),
         "A.1@1900: 1 2\nA.2@1904: 5 6\n"},
        {"split at every missing value of a series without a problem", GapRule::split, series("B", {1, nan, 3, nan, 5}),
         "B.1@1900: 1\nB.2@1902: 3\nB.3@1904: 5\n"},
        {"filled linearly",
         GapRule::fill,
         series("A", {1, 2, nan, nan, 5, 6}, gap, true),
         "A@1900: 1 2 3 4 5 6\n",
         {false, false, true, true, false, false}},
        {"another problem is left as it is", GapRule::fill,
         series("C", {1, nan, 3}, std::string("year 1901 is given twice")),
         "C@1900: 1 NA 3 (year 1901 is given twice)\n"},
        {"skip leaves the gap to be reported", GapRule::skip, series("A", {1, nan, 3}, gap, true),
         "A@1900: 1 NA 3 (" + gap + ")\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        formats::SeriesSet set;
        set.series.push_back(c.in);
        const GapsApplied applied = applyGaps(set, c.rule);
        EXPECT_EQ(shown(applied.set), c.out);
        if (c.rule != GapRule::skip) {
            ASSERT_EQ(applied.filled.size(), applied.set.series.size());
            EXPECT_EQ(applied.filled.front(), c.filled);
        }
    }
}

}  // namespace
}  // namespace detrend::pipeline
