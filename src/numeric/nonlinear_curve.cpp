#include "numeric/nonlinear_curve.hpp"

#include <array>
#include <cmath>

#include "numeric/linear_curve.hpp"

namespace detrend::numeric {
namespace {

// One attempt; "" when it gave an acceptable curve (in scratch.a),
// otherwise why not.
std::string_view attempt(const NonlinearCurve& curve, std::span<const double> raised, std::span<double> theta,
                         bool bounded, FitScratch& scratch) {
    GaussNewtonOptions options;
    options.bounded = bounded;
    std::copy(curve.lower.begin(), curve.lower.end(), options.lower.begin());
    std::copy(curve.upper.begin(), curve.upper.end(), options.upper.begin());
    if (gaussNewton(curve.model, raised, theta, options, scratch) != GaussNewtonStatus::converged)
        return fallbackReason::notConverged;
    for (double v : theta)
        if (!std::isfinite(v)) return fallbackReason::notConverged;
    if (!curve.acceptable(theta)) return fallbackReason::outOfRange;
    if (!(scratch.a[raised.size() - 1] > 0.0)) return fallbackReason::endNotPositive;
    return {};
}

}  // namespace

void fitNonlinearCurve(const NonlinearCurve& curve, std::span<const double> raised, std::span<const double> start,
                       Constrain constrain, bool posSlope, CurveFit& fit) {
    const std::size_t p = curve.names.size();
    std::array<double, maxModelParameters> theta{};
    std::string_view reason = fallbackReason::tooShort;
    if (raised.size() > p) {
        std::copy_n(start.begin(), p, theta.begin());
        reason = attempt(curve, raised, std::span(theta.data(), p), constrain == Constrain::always, fit.scratch);
        if (!reason.empty() && constrain == Constrain::whenFail) {
            std::copy_n(start.begin(), p, theta.begin());
            reason = attempt(curve, raised, std::span(theta.data(), p), true, fit.scratch);
        }
    }
    if (!reason.empty()) {
        lineOrMean(raised, posSlope, reason, fit);
        return;
    }
    beginFit(fit, curve.method, raised.size());
    std::copy_n(fit.scratch.a.begin(), raised.size(), fit.curve.begin());
    for (std::size_t j = 0; j < p; ++j) fit.parameters.push_back({curve.names[j], theta[j]});
}

}  // namespace detrend::numeric
