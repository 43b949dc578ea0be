// What became of a series: whether it can be detrended at all, and why a fit
// gave no spline, as words for a message.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "formats/series_set.hpp"
#include "numeric/detrend_series.hpp"

namespace detrend::pipeline {

// The cutoff of a batch run: a fixed number of years, or a share of each
// series' own length.
struct Cutoff {
    int years = 0;  // a fixed cutoff, or
    int percent = 0;  // the share of each series' length (years == 0)

    // The cutoff for a series of n values: the fixed one, or percent of n
    // rounded down, at least 1.
    int forLength(long long n) const;
};

// Why series `s` cannot be detrended with `cutoff` (a problem of its reading,
// no values, a gap, a cutoff not below its length); nothing when it can.
std::optional<std::string> skipReason(const formats::Series& s, int cutoff);

// Whether the fit gave a spline of numbers for every value.
bool hasSpline(const numeric::SeriesFit& fit);

// Why a fit of the series `values` with `cutoff` gave no spline, as words
// for a message: a cutoff that is not a period or not below the length,
// values that overflow single precision, or an undefined filter.
std::string noSplineReason(int cutoff, std::span<const double> values, const numeric::SeriesFit& fit);

}  // namespace detrend::pipeline
