#include "numeric/age_dependent_spline.hpp"

#include "numeric/mean_curve.hpp"
#include "numeric/variable_spline.hpp"

namespace detrend::numeric {

void fitAgeDependentSpline(std::span<const double> values, int nyrs0, bool posSlope, CurveFit& fit) {
    FitScratch& scratch = fit.scratch;
    raiseZeroRings(values, scratch.values);
    const std::size_t n = values.size();
    beginFit(fit, Method::ageSpline, n);
    scratch.a.resize(n);
    for (std::size_t i = 0; i < n; ++i) scratch.a[i] = static_cast<double>(nyrs0) + static_cast<double>(i);
    bool fitted = variableSpline(scratch.values, scratch.a, fit.curve, scratch.b);
    if (fitted && !posSlope) {
        std::size_t last = 0;  // the last year whose first difference is <= 0
        for (std::size_t i = 1; i < n; ++i)
            if (fit.curve[i] - fit.curve[i - 1] <= 0.0) last = i;
        for (std::size_t i = last + 1; i < n; ++i) fit.curve[i] = fit.curve[last];
        fitted = variableSpline(fit.curve, scratch.a, fit.curve, scratch.b);
    }
    if (!fitted || !positiveEverywhere(fit.curve)) {
        fit.fallback = fitted ? fallbackReason::notPositive : fallbackReason::tooShort;
        meanCurve(scratch.values, fit);
        return;
    }
    fit.parameters.push_back({"nyrs0", static_cast<double>(nyrs0)});
}

}  // namespace detrend::numeric
