// The arithmetic of a picture's axes: round tick steps, the ticks between
// two bounds, tick labels, and the bounds that the values of a panel give.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace detrend::plot::files {

// A number as a tick label, without regard to the locale: `decimals` digits
// after the point, or in scientific notation with `decimals` digits when
// `scientific`. A negative zero is written without its sign.
std::string tickLabel(double value, int decimals, bool scientific);

// The values of an axis, with its ticks: major ones, labelled, every `step`;
// minor ones every `minorStep` (0: none).
struct Axis {
    double lo = 0, hi = 1;
    double step = 1, minorStep = 0;
    int decimals = 0;
    bool scientific = false;

    double fraction(double v) const { return (v - lo) / (hi - lo); }
    std::string label(double v) const { return tickLabel(v, decimals, scientific); }
};

// An axis from lo to hi (lo < hi) with about `ticks` major ticks at round
// values: 1, 2 or 5 times a power of ten apart, and whole numbers apart at
// least when `whole`. Labels are scientific beyond six decimals or from 1e7.
Axis makeAxis(double lo, double hi, double ticks, bool whole);

// The multiples of `step` from lo to hi; none when there would be too many
// to draw. Where the step is lost in the precision of the bounds, they end
// at the first multiple a count of steps cannot pass.
std::vector<double> multiples(double lo, double hi, double step);

// The finite values seen, from lo to hi; lo > hi while there are none.
struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (!drawable(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    static bool drawable(double v) { return std::isfinite(v) && std::fabs(v) <= 1e300; }
};

// The value axis for a range: widened a little beyond the values, and made
// wide enough for a frame when they are all equal or missing.
Axis valueAxis(Range range, double ticks);

// The year axis from the first to the last of n years (n >= 1); one year is
// shown with a year on each side.
Axis yearAxis(int firstYear, std::size_t n);

}  // namespace detrend::plot::files
