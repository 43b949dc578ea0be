// Friedman's super smoother; see super_smoother.hpp for the source.
#include "numeric/super_smoother.hpp"

#include <algorithm>
#include <cmath>

#include "numeric/mean_curve.hpp"

namespace detrend::numeric {
namespace {

constexpr double tweeter = 0.05, midrange = 0.2, woofer = 0.5;
constexpr double big = 1e20, small = 1e-7;

// The running means and co-moments of the points in the window, kept by
// updating formulas as points enter and leave (unit weights, x = i + 1).
struct Window {
    double count = 0.0, xm = 0.0, ym = 0.0, var = 0.0, cvar = 0.0;
    void add(double x, double y) {
        const double before = count;
        count = count + 1.0;
        xm = (before * xm + x) / count;
        ym = (before * ym + y) / count;
        const double t = before > 0.0 ? count * (x - xm) / before : 0.0;
        var = var + t * (x - xm);
        cvar = cvar + t * (y - ym);
    }
    void remove(double x, double y) {
        const double before = count;
        count = count - 1.0;
        const double t = count > 0.0 ? before * (x - xm) / count : 0.0;
        var = var - t * (x - xm);
        cvar = cvar - t * (y - ym);
        xm = (before * xm - x) / count;
        ym = (before * ym - y) / count;
    }
};

// Running lines of y with the span `span` into smooth; with residuals
// non-empty, also the absolute cross-validated residuals |y - s| / (1 - h),
// h the point's leverage in its window's line. The window holds the
// 2 floor(span n / 2 + 1/2) + 1 points centred on each point (at least 5,
// at most n), shifted inwards near the ends. `tiny` is the variance of x
// below which a window's line is flat.
void runningLines(std::span<const double> y, double span, double tiny, std::span<double> smooth,
                  std::span<double> residuals) {
    const long n = static_cast<long>(y.size());
    const long half = std::max(2L, static_cast<long>(0.5 * span * static_cast<double>(n) + 0.5));
    const long width = std::min(2 * half + 1, n);
    Window w;
    for (long i = 0; i < width; ++i) w.add(static_cast<double>(i + 1), y[static_cast<std::size_t>(i)]);
    for (long j = 0; j < n; ++j) {
        const long out = j - half - 1, in = j + half;
        if (out >= 0 && in < n) {
            w.remove(static_cast<double>(out + 1), y[static_cast<std::size_t>(out)]);
            w.add(static_cast<double>(in + 1), y[static_cast<std::size_t>(in)]);
        }
        const double x = static_cast<double>(j + 1);
        const double slope = w.var > tiny ? w.cvar / w.var : 0.0;
        const auto k = static_cast<std::size_t>(j);
        smooth[k] = slope * (x - w.xm) + w.ym;
        if (residuals.empty()) continue;
        double h = 1.0 / w.count;
        if (w.var > tiny) h = h + (x - w.xm) * (x - w.xm) / w.var;
        const double a = 1.0 - h;
        if (a > 0.0)
            residuals[k] = std::fabs(y[k] - smooth[k]) / a;
        else
            residuals[k] = k > 0 ? residuals[k - 1] : 0.0;
    }
}

// The span chosen at each point from the smoothed residuals of the three
// spans, with the bass adjustment.
void chooseSpans(std::span<const std::span<double>> smoothedResiduals, int bass, std::span<double> spans) {
    const double spanOf[3] = {tweeter, midrange, woofer};
    for (std::size_t j = 0; j < spans.size(); ++j) {
        double least = big;
        for (std::size_t i = 0; i < 3; ++i) {
            if (smoothedResiduals[i][j] >= least) continue;
            least = smoothedResiduals[i][j];
            spans[j] = spanOf[i];
        }
        const double wooferResidual = smoothedResiduals[2][j];
        if (bass > 0 && bass <= 10 && least < wooferResidual && least > 0.0)
            spans[j] = spans[j] + (woofer - spans[j]) * std::pow(std::max(small, least / wooferResidual),
                                                                 10.0 - static_cast<double>(bass));
    }
}

}  // namespace

void superSmoother(std::span<const double> y, double span, int bass, std::span<double> out, std::vector<double>& work) {
    const std::size_t n = y.size();
    if (n < 3) {  // no line to smooth with: the mean
        double sum = 0.0;
        for (double v : y) sum = sum + v;
        std::fill_n(out.begin(), n, sum / static_cast<double>(n));
        return;
    }
    const double scale = 2.0 * static_cast<double>(n / 4);  // x(3 [n/4]) - x([n/4])
    const double tiny = (1e-3 * scale) * (1e-3 * scale);
    if (span > 0.0) {
        runningLines(y, span, tiny, out.first(n), {});
        return;
    }
    work.resize(9 * n);
    auto slice = [&](std::size_t i) { return std::span(work.data() + i * n, n); };
    const std::span<double> smooth[3] = {slice(0), slice(1), slice(2)};
    const std::span<double> smoothedResiduals[3] = {slice(3), slice(4), slice(5)};
    const std::span<double> residuals = slice(6), spans = slice(7), blend = slice(8);
    const double spanOf[3] = {tweeter, midrange, woofer};
    for (std::size_t i = 0; i < 3; ++i) {
        runningLines(y, spanOf[i], tiny, smooth[i], residuals);
        runningLines(residuals, midrange, tiny, smoothedResiduals[i], {});
    }
    chooseSpans(smoothedResiduals, bass, spans);
    runningLines(spans, midrange, tiny, residuals, {});  // the spans smoothed
    for (std::size_t j = 0; j < n; ++j) {
        const double s = std::clamp(residuals[j], tweeter, woofer);
        double f = s - midrange;
        if (f < 0.0) {
            f = -f / (midrange - tweeter);
            blend[j] = (1.0 - f) * smooth[1][j] + f * smooth[0][j];
        } else {
            f = f / (woofer - midrange);
            blend[j] = (1.0 - f) * smooth[1][j] + f * smooth[2][j];
        }
    }
    runningLines(blend, tweeter, tiny, out.first(n), {});
}

void fitSuperSmoother(std::span<const double> values, double span, int bass, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    beginFit(fit, Method::friedman, values.size());
    superSmoother(fit.scratch.values, span, bass, fit.curve, fit.scratch.columns);
    if (!positiveEverywhere(fit.curve)) {
        fit.fallback = fallbackReason::notPositive;
        meanCurve(fit.scratch.values, fit);
        return;
    }
    fit.parameters.push_back({"span", span});
    fit.parameters.push_back({"bass", static_cast<double>(bass)});
}

}  // namespace detrend::numeric
