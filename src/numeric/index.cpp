#include "numeric/index.hpp"

#include <algorithm>
#include <limits>

namespace detrend::numeric {

std::string_view indexName(IndexKind kind) { return kind == IndexKind::ratio ? "ratio" : "difference"; }

void indexValues(const SeriesFit& fit, IndexKind kind, std::vector<float>& out) {
    out.resize(fit.series.size());
    for (std::size_t i = 0; i < fit.series.size(); ++i) {
        out[i] = kind == IndexKind::difference ? fit.residual[i]
                 : fit.spline[i] > 0.0f
                     ? static_cast<float>(static_cast<double>(fit.series[i]) / static_cast<double>(fit.spline[i]))
                     : std::numeric_limits<float>::quiet_NaN();
    }
}

std::size_t yearsWithoutRatio(const SeriesFit& fit) {
    return static_cast<std::size_t>(
        std::count_if(fit.spline.begin(), fit.spline.end(), [](float v) { return !(v > 0.0f); }));
}

}  // namespace detrend::numeric
