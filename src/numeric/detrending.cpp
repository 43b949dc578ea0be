#include "numeric/detrending.hpp"

namespace detrend::numeric {

void BurgSpline::fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
                     std::span<SeriesFit> fits) const {
    detrendSeriesGroup(values, cutoff, capacity_, scratch, fits);
}

void BurgSpline::describe(const SeriesFit& fit, int cutoff, std::vector<FitParameter>& out) const {
    out.push_back({"cutoff", static_cast<double>(cutoff)});
    out.push_back({"filter", static_cast<double>(fit.coefficients.size())});
}

}  // namespace detrend::numeric
