#include "numeric/linear_curve.hpp"

#include "numeric/mean_curve.hpp"

namespace detrend::numeric {

Line leastSquaresLine(std::span<const double> y) {
    const std::size_t n = y.size();
    double sum = 0.0;
    for (double v : y) sum = sum + v;
    const double ym = sum / static_cast<double>(n);
    const double tm = (static_cast<double>(n) + 1.0) / 2.0;
    double sxy = 0.0, sxx = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double dt = static_cast<double>(i + 1) - tm;
        sxy = sxy + dt * (y[i] - ym);
        sxx = sxx + dt * dt;
    }
    Line line;
    line.slope = sxx > 0.0 ? sxy / sxx : 0.0;
    line.intercept = ym - line.slope * tm;
    return line;
}

namespace {

void lineCurve(std::span<const double> raised, const Line& line, CurveFit& fit) {
    beginFit(fit, Method::line, raised.size());
    for (std::size_t i = 0; i < raised.size(); ++i)
        fit.curve[i] = line.intercept + line.slope * static_cast<double>(i + 1);
    fit.parameters.push_back({"intercept", line.intercept});
    fit.parameters.push_back({"slope", line.slope});
}

}  // namespace

void fitLine(std::span<const double> values, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    lineCurve(fit.scratch.values, leastSquaresLine(fit.scratch.values), fit);
}

void lineOrMean(std::span<const double> raised, bool posSlope, std::string_view reason, CurveFit& fit) {
    const Line line = leastSquaresLine(raised);
    const double n = static_cast<double>(raised.size());
    const bool positive = line.intercept + line.slope > 0.0 && line.intercept + line.slope * n > 0.0;
    if ((line.slope <= 0.0 || posSlope) && positive) {
        lineCurve(raised, line, fit);
        fit.fallback = reason;
        return;
    }
    fit.fallback = positive ? fallbackReason::risingLine : fallbackReason::lineNotPositive;
    meanCurve(raised, fit);
}

}  // namespace detrend::numeric
