#include "numeric/hugershoff.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "numeric/nonlinear_curve.hpp"

namespace detrend::numeric {
namespace {

// a t^b e^(-g t) + d: the shape t^b e^(-g t) = e^(b ln t - g t), its
// derivatives in b and g ln t u and -t u.
void shape(std::span<const double> theta, std::span<const double> logs, std::span<double> u) {
    const double b = theta[1], g = theta[2];
    for (std::size_t i = 0; i < u.size(); ++i) u[i] = b * logs[i] - g * static_cast<double>(i + 1);
    expOf(u, u);
}

void slopes(std::span<const double>, std::span<const double> logs, std::span<const double> u, std::span<double> du) {
    const std::size_t n = u.size();
    for (std::size_t i = 0; i < n; ++i) {
        du[i] = logs[i] * u[i];
        du[n + i] = -static_cast<double>(i + 1) * u[i];
    }
}

bool acceptable(std::span<const double> theta) { return theta[0] > 0.0 && theta[1] > 0.0; }

constexpr std::array<std::string_view, 4> names = {"a", "b", "g", "d"};
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::array<double, 4> lower = {0.0, 0.0, 0.0, 0.0};
constexpr std::array<double, 4> upper = {inf, inf, inf, inf};

double meanOf(std::span<const double> v) {
    double sum = 0.0;
    for (double x : v) sum = sum + x;
    return sum / static_cast<double>(v.size());
}

}  // namespace

const NonlinearModel& hugershoffModel() {
    static const NonlinearModel model{shape, slopes};
    return model;
}

void fitHugershoff(std::span<const double> values, Constrain constrain, bool posSlope, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    const std::span<const double> y = fit.scratch.values;
    const std::size_t n = y.size();
    const std::size_t tail =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::floor(0.9 * static_cast<double>(n))));
    const double late = meanOf(y.subspan(tail - 1));
    const std::array<double, 4> start = {late, 1.0, 0.1, late};
    static const NonlinearCurve curve{Method::hugershoff, hugershoffModel(), names, lower, upper, acceptable};
    fitNonlinearCurve(curve, y, start, constrain, posSlope, fit);
}

}  // namespace detrend::numeric
