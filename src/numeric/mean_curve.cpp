#include "numeric/mean_curve.hpp"

namespace detrend::numeric {

void meanCurve(std::span<const double> raised, CurveFit& fit) {
    const std::string_view reason = fit.fallback;
    beginFit(fit, Method::mean, raised.size());
    fit.fallback = reason;
    double sum = 0.0;
    for (double v : raised) sum = sum + v;
    const double mean = sum / static_cast<double>(raised.size());
    std::fill(fit.curve.begin(), fit.curve.end(), mean);
    fit.parameters.push_back({"mean", mean});
}

void fitMean(std::span<const double> values, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    fit.fallback = {};
    meanCurve(fit.scratch.values, fit);
}

}  // namespace detrend::numeric
