// The indices of a detrended series, as the CSV tables hold them.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "numeric/detrend_series.hpp"

namespace detrend::output {

enum class IndexKind {
    difference,  // series minus spline: the listing's residual
    ratio,  // series divided by spline; NaN where the spline is not positive
};

// "ratio" or "difference", as files record the kind.
std::string_view indexName(IndexKind kind);

// The index of every value of a fitted series into `out` (replacing what it
// held), one per year.
void indexValues(const numeric::SeriesFit& fit, IndexKind kind, std::vector<float>& out);

// The number of values whose spline is not positive: no ratio index there.
std::size_t yearsWithoutRatio(const numeric::SeriesFit& fit);

}  // namespace detrend::output
