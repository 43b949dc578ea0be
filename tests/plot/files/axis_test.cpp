#include "plot/files/axis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace detrend::plot::files {
namespace {

TEST(PictureAxis, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double lo, hi, ticks;
        bool whole;
        double step, minorStep;
        int decimals;
        bool scientific;
    } rows[] = {
        {0, 10, 5, false, 2, 0.5, 0, false},      {0, 1, 4, false, 0.2, 0.05, 1, false},
        {0, 8, 1, false, 10, 2, 0, false},  // a tenfold mantissa
        {-3, 3, 6, false, 1, 0.2, 0, false},      {1700, 1999, 9, true, 50, 10, 0, false},
        {1700, 1720, 9, true, 2, 1, 0, false},  // minor ticks no finer than a year
        {1900, 1902, 9, true, 1, 0, 0, false},  // whole years apart at least, no minor ticks
        {0, 1e8, 5, false, 2e7, 5e6, 1, true},  // from 1e7 on in scientific notation
        {0, 4e-7, 4, false, 1e-7, 2e-8, 0, true},  // and beyond six decimals
    };
    for (const auto& r : rows) {
        const Axis axis = makeAxis(r.lo, r.hi, r.ticks, r.whole);
        EXPECT_EQ(axis.lo, r.lo);
        EXPECT_EQ(axis.hi, r.hi);
        EXPECT_DOUBLE_EQ(axis.step, r.step) << r.lo << " to " << r.hi;
        EXPECT_DOUBLE_EQ(axis.minorStep, r.minorStep) << r.lo << " to " << r.hi;
        EXPECT_EQ(axis.decimals, r.decimals) << r.lo << " to " << r.hi;
        EXPECT_EQ(axis.scientific, r.scientific) << r.lo << " to " << r.hi;
    }
}

TEST(PictureAxis, TickLabels) {
    const struct {
        double value;
        int decimals;
        bool scientific;
        const char* label;
    } rows[] = {
        {1750, 0, false, "1750"},       {0.25, 2, false, "0.25"},
        {-0.4, 1, false, "-0.4"},       {-0.0, 1, false, "0.0"},
        {-0.01, 1, false, "0.0"},  // a rounded negative zero has no sign
        {4e7, 1, true, "4.0e+07"},      {0, 3, true, "0"},
        {-2.5e-7, 1, true, "-2.5e-07"}, {1234567.891, 6, false, "1234567.891000"},
    };
    for (const auto& r : rows) EXPECT_EQ(tickLabel(r.value, r.decimals, r.scientific), r.label) << r.value;
    const Axis axis = makeAxis(0, 1, 4, false);
    EXPECT_EQ(axis.label(0.6), "0.6");
}

TEST(PictureAxis, MultiplesBetweenTheBounds) {
    using Values = std::vector<double>;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double lo, hi, step;
        Values values;
    } rows[] = {
        {"bounds on multiples", 0, 10, 2.5, {0, 2.5, 5, 7.5, 10}},
        {"bounds between", -1.2, 1.2, 0.5, {-1, -0.5, 0, 0.5, 1}},
        {"a bound just short of a multiple", 0.1, 0.3, 0.1, {0.1, 0.2, 3 * 0.1}},
        {"none between", 0.1, 0.2, 1, {}},
        {"no step", 0, 1, 0, {}},
        {"not a step", 0, 1, nan, {}},
        {"too many", 0, 1000, 1, {}},
    };
    for (const auto& r : rows) EXPECT_EQ(multiples(r.lo, r.hi, r.step), r.values) << r.what;
    EXPECT_EQ(multiples(0, 199, 1).size(), 200u);
}

// Bounds a double's precision apart give steps whose multiples are beyond
// 2^53, where adding one to a count may not change it.
TEST(PictureAxis, MultiplesEndWhereTheStepIsLostInPrecision) {
    for (const double lo : {1.0, -1.0, 3e10}) {
        const double hi = std::nextafter(std::nextafter(lo, HUGE_VAL), HUGE_VAL);
        const Axis axis = makeAxis(lo, hi, 6, false);
        for (const double step : {axis.step, axis.minorStep}) {
            const std::vector<double> values = multiples(lo, hi, step);
            EXPECT_LE(values.size(), 200u) << lo;
            for (double v : values) EXPECT_TRUE(v >= lo - step && v <= hi + step) << lo;
        }
    }
}

TEST(PictureAxis, ValueAndYearAxesFrameTheirValues) {
    const struct {
        const char* what;
        std::vector<double> values;
        double lo, hi;
    } rows[] = {
        {"widened by 4% each side", {1, 2}, 0.96, 2.04},
        {"nothing drawable", {std::nan(""), HUGE_VAL, -1e301}, -0.04, 1.04},
        {"all equal", {10, 10}, 9.46, 10.54},  // 5% of the value each side, then 4%
        {"all zero", {0}, -1.08, 1.08},
    };
    for (const auto& r : rows) {
        Range range;
        for (double v : r.values) range.add(v);
        const Axis axis = valueAxis(range, 6);
        EXPECT_DOUBLE_EQ(axis.lo, r.lo) << r.what;
        EXPECT_DOUBLE_EQ(axis.hi, r.hi) << r.what;
    }
    const Axis years = yearAxis(1900, 101), one = yearAxis(-50, 1);
    EXPECT_EQ(years.lo, 1900);
    EXPECT_EQ(years.hi, 2000);
    EXPECT_EQ(one.lo, -51);
    EXPECT_EQ(one.hi, -49);
    EXPECT_GE(one.step, 1);
}

}  // namespace
}  // namespace detrend::plot::files
