// What the batch does with years without a value inside a series (a Tucson
// series' missing decades, NA inside a CSV column), between reading and
// detrending: skip the series (the default), split it into the stretches
// between the gaps, or fill the gaps by linear interpolation, the filled
// years then written as NA (NaN in the listing) in every output.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "formats/series_set.hpp"

namespace detrend::pipeline {

enum class GapRule { skip, split, fill };

struct GapsApplied {
    formats::SeriesSet set;
    // Per series of `set`: the years filled, one flag per value; empty when
    // none was.
    std::vector<std::vector<bool>> filled;
};

// `set` with `rule` applied to every series whose years without a value
// inside it are its only problem (formats::Series::onlyGaps), or that has
// NaN inside it and no problem: split, each stretch a series "NAME.1",
// "NAME.2", ... in the place of NAME; filled, linearly between the values
// around each gap. One note per series split or filled. With skip, `set`
// as it is.
GapsApplied applyGaps(formats::SeriesSet set, GapRule rule);

// Writes NaN into `values` at the years `filled` flags (none when empty).
void maskFilled(std::span<float> values, const std::vector<bool>& filled);

// `set` with the years `filled` flags NaN again, as the series were read:
// what a conversion writes, which must not pass filled years for rings.
formats::SeriesSet withoutFilled(const formats::SeriesSet& set, const std::vector<std::vector<bool>>& filled);

}  // namespace detrend::pipeline
