#include "numeric/negative_exponential.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "numeric/nonlinear_curve.hpp"

namespace detrend::numeric {
namespace {

// a e^(b t) + k: the shape e^(b t), its derivative in b t e^(b t).
void shape(std::span<const double> theta, std::span<const double>, std::span<double> u) {
    const double b = theta[1];
    for (std::size_t i = 0; i < u.size(); ++i) u[i] = b * static_cast<double>(i + 1);
    expOf(u, u);
}

void slopes(std::span<const double>, std::span<const double>, std::span<const double> u, std::span<double> du) {
    for (std::size_t i = 0; i < u.size(); ++i) du[i] = static_cast<double>(i + 1) * u[i];
}

bool acceptable(std::span<const double> theta) { return theta[0] > 0.0 && theta[1] < 0.0; }

constexpr std::array<std::string_view, 3> names = {"a", "b", "k"};
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr std::array<double, 3> lower = {0.0, -inf, 0.0};
constexpr std::array<double, 3> upper = {inf, 0.0, inf};

double meanOf(std::span<const double> v) {
    double sum = 0.0;
    for (double x : v) sum = sum + x;
    return sum / static_cast<double>(v.size());
}

}  // namespace

const NonlinearModel& negativeExponentialModel() {
    static const NonlinearModel model{shape, slopes};
    return model;
}

void fitNegativeExponential(std::span<const double> values, Constrain constrain, bool posSlope, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    const std::span<const double> y = fit.scratch.values;
    const std::size_t n = y.size();
    const std::size_t head = std::max<std::size_t>(1, n / 10);
    const std::size_t tail =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::floor(0.9 * static_cast<double>(n))));
    const std::array<double, 3> start = {meanOf(y.first(head)), -0.01, meanOf(y.subspan(tail - 1))};
    static const NonlinearCurve curve{Method::negexp, negativeExponentialModel(), names, lower, upper, acceptable};
    fitNonlinearCurve(curve, y, start, constrain, posSlope, fit);
}

}  // namespace detrend::numeric
