// The indices of a detrended series: what the CSV tables, the chronology and
// the pictures take from it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "numeric/detrend_series.hpp"

namespace detrend::numeric {

enum class IndexKind {
    difference,  // series minus spline: the listing's residual
    ratio,  // series divided by spline; NaN where the spline is not positive
};

// "ratio" or "difference", as files record the kind.
std::string_view indexName(IndexKind kind);

// The index of every value of a fitted series into `out` (replacing what it
// held), one per year.
void indexValues(const SeriesFit& fit, IndexKind kind, std::vector<float>& out);

// The number of values whose spline is not positive: no ratio index there.
std::size_t yearsWithoutRatio(const SeriesFit& fit);

}  // namespace detrend::numeric
