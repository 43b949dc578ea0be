// What the batch readers' tests share: the outcome of one read, and the check
// of a series' years and values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/result.hpp"
#include "formats/series_set.hpp"

namespace detrend::formats {

struct Outcome {
    bool ok = false;
    SeriesSet set;
    base::Diagnostic error;

    Outcome(base::Result<SeriesSet> read) : ok(read.ok()) {
        if (ok) {
            set = std::move(read).value();
        } else {
            error = read.error();
        }
    }
};

// The problem of a series, "" when it has none.
inline std::string problemOf(const Series& series) { return series.problem.value_or(""); }

// NaN stands for a missing year; compared bit for bit otherwise.
inline void expectValues(const Series& series, long long firstYear, const std::vector<double>& values) {
    EXPECT_EQ(series.firstYear, firstYear) << series.name;
    ASSERT_EQ(series.values.size(), values.size()) << series.name;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) {
            EXPECT_TRUE(std::isnan(series.values[i])) << series.name << " value " << i;
        } else {
            EXPECT_EQ(series.values[i], values[i]) << series.name << " value " << i;
        }
    }
}

inline const double nan = std::nan("");

// A file a reader must refuse, and where and why.
struct ReadErrorCase {
    std::string text;
    long line, column;
    std::string message;
};

// Runs `read` on each case's text and checks the error it reports.
template <class ReadFunction>
void expectReadErrors(const std::vector<ReadErrorCase>& cases, ReadFunction read) {
    for (const ReadErrorCase& c : cases) {
        SCOPED_TRACE(c.text);
        const Outcome r = read(c.text);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error.line, c.line);
        EXPECT_EQ(r.error.column, c.column);
        EXPECT_EQ(r.error.what, c.message);
    }
}

}  // namespace detrend::formats
