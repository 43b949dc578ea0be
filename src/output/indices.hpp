// The indices of a detrended series, as the CSV tables hold them.
#pragma once

#include <cstddef>
#include <string>

#include "numeric/detrend_series.hpp"
#include "output/write_csv.hpp"

namespace detrend::output {

enum class IndexKind {
    difference,  // series minus spline: the listing's residual
    ratio,  // series divided by spline; NaN where the spline is not positive
};

// The index of every value of a fitted series, one per year from firstYear.
IndexColumn indexColumn(std::string name, long long firstYear, const numeric::SeriesFit& fit, IndexKind kind);

// The number of values whose spline is not positive: no ratio index there.
std::size_t yearsWithoutRatio(const numeric::SeriesFit& fit);

}  // namespace detrend::output
