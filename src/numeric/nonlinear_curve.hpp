// What the negative exponential and the Hugershoff curve share: the fit,
// its checks, the constrained second attempt and the fallbacks.
#pragma once

#include <span>

#include "numeric/curve_fit.hpp"
#include "numeric/gauss_newton.hpp"

namespace detrend::numeric {

struct NonlinearCurve {
    Method method;
    NonlinearModel model;
    std::span<const std::string_view> names;  // of the parameters
    std::span<const double> lower, upper;  // the bounds of a constrained fit
    bool (*acceptable)(std::span<const double> theta);  // the parameters' range
};

// Fits `curve` to the raised values from `start`; see negative_exponential.hpp.
void fitNonlinearCurve(const NonlinearCurve& curve, std::span<const double> raised, std::span<const double> start,
                       Constrain constrain, bool posSlope, CurveFit& fit);

}  // namespace detrend::numeric
