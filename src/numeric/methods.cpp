#include "numeric/methods.hpp"

#include <array>
#include <utility>

#include "numeric/age_dependent_spline.hpp"
#include "numeric/hugershoff.hpp"
#include "numeric/linear_curve.hpp"
#include "numeric/mean_curve.hpp"
#include "numeric/negative_exponential.hpp"
#include "numeric/prewhitening_index.hpp"
#include "numeric/smoothing_spline_curve.hpp"
#include "numeric/super_smoother.hpp"

namespace detrend::numeric {
namespace {

constexpr std::array<std::pair<Method, std::string_view>, 9> names = {{
    {Method::burgSpline, "burg-spline"},
    {Method::spline, "spline"},
    {Method::negexp, "negexp"},
    {Method::hugershoff, "hugershoff"},
    {Method::mean, "mean"},
    {Method::ar, "ar"},
    {Method::friedman, "friedman"},
    {Method::ageSpline, "age-spline"},
    {Method::line, "line"},
}};

}  // namespace

std::string_view methodName(Method method) {
    for (const auto& [m, name] : names)
        if (m == method) return name;
    return {};
}

std::optional<Method> methodByName(std::string_view name) {
    for (const auto& [m, n] : names)
        if (n == name) return m;
    return std::nullopt;
}

bool fitCurve(Method method, std::span<const double> values, const MethodOptions& options, CurveFit& fit) {
    if (values.empty()) return false;
    switch (method) {
        case Method::burgSpline: return false;
        case Method::mean: fitMean(values, fit); break;
        case Method::line: fitLine(values, fit); break;
        case Method::spline: fitSmoothingSpline(values, options.cutoff, fit); break;
        case Method::negexp: fitNegativeExponential(values, options.constrain, options.posSlope, fit); break;
        case Method::hugershoff: fitHugershoff(values, options.constrain, options.posSlope, fit); break;
        case Method::ar: fitPrewhitening(values, fit); break;
        case Method::friedman: fitSuperSmoother(values, options.span, options.bass, fit); break;
        case Method::ageSpline: fitAgeDependentSpline(values, options.nyrs0, options.posSlope, fit); break;
        default: return false;
    }
    return true;
}

}  // namespace detrend::numeric
