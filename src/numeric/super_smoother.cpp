// Friedman's super smoother; see super_smoother.hpp for the source.
#include "numeric/super_smoother.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "numeric/mean_curve.hpp"

namespace detrend::numeric {
namespace {

constexpr double tweeter = 0.05, midrange = 0.2, woofer = 0.5;
constexpr double big = 1e20, small = 1e-7;

// The running means and co-moments of the points in the window, kept by
// updating formulas as points enter and leave (unit weights, x = i + 1);
// the mean of y from the running sum, so that no division waits on the one
// before. The window's x are consecutive integers lo..hi, whose mean the
// updating formula gives exactly (each sum and each mean, a multiple of
// 1/2, is represented): it is (lo + hi) / 2; the weight t of a point
// entering or leaving depends only on x - xm and the counts, the same from
// point to point in the middle of the series, and is kept.
struct Window {
    double count = 0.0, xm = 0.0, ym = 0.0, var = 0.0, cvar = 0.0;
    double lo = 1.0, hi = 0.0;  // the window's x
    double sum = 0.0;
    double a = 0.0, dx = 0.0, b = 0.0, t = 0.0;  // the last weight, a dx / b
    double weight(double na, double ndx, double nb) {
        if (na != a || ndx != dx || nb != b) a = na, dx = ndx, b = nb, t = na * ndx / nb;
        return t;
    }
    [[gnu::always_inline]] void add(double x, double y) {
        const double before = count;
        count = count + 1.0;
        hi = x;
        xm = (lo + hi) * 0.5;
        sum = sum + y;
        ym = sum / count;
        const double w = before > 0.0 ? weight(count, x - xm, before) : 0.0;
        var = var + w * (x - xm);
        cvar = cvar + w * (y - ym);
    }
    [[gnu::always_inline]] void remove(double x, double y) {
        const double before = count;
        count = count - 1.0;
        const double w = count > 0.0 ? weight(before, x - xm, count) : 0.0;
        var = var - w * (x - xm);
        cvar = cvar - w * (y - ym);
        lo = x + 1.0;
        xm = (lo + hi) * 0.5;
        sum = sum - y;
        ym = sum / count;
    }
};

// One running-lines smooth of y with the span `span` into smooth; with
// residuals non-empty, also the absolute cross-validated residuals
// |y - s| / (1 - h), h the point's leverage in its window's line. The
// window holds the 2 floor(span n / 2 + 1/2) + 1 points centred on each
// point (at least 5, at most n), shifted inwards near the ends. `tiny` is
// the variance of x below which a window's line is flat.
struct RunningLines {
    RunningLines(std::span<const double> values, double fraction, std::span<double> into,
                 std::span<double> crossValidated = {})
        : y(values), span(fraction), smooth(into), residuals(crossValidated) {}

    std::span<const double> y;
    double span;
    std::span<double> smooth, residuals;
    long half = 0;
    double inverseCount = 0.0;  // 1 / the window's count, the same at every point
    Window w;

    void start() {
        const long n = static_cast<long>(y.size());
        half = std::max(2L, static_cast<long>(0.5 * span * static_cast<double>(n) + 0.5));
        const long width = std::min(2 * half + 1, n);
        for (long i = 0; i < width; ++i) w.add(static_cast<double>(i + 1), y[static_cast<std::size_t>(i)]);
        inverseCount = 1.0 / w.count;
    }
    [[gnu::always_inline]] void point(long j, double tiny) {
        const long n = static_cast<long>(y.size());
        const long out = j - half - 1, in = j + half;
        if (out >= 0 && in < n) {
            w.remove(static_cast<double>(out + 1), y[static_cast<std::size_t>(out)]);
            w.add(static_cast<double>(in + 1), y[static_cast<std::size_t>(in)]);
        }
        const double x = static_cast<double>(j + 1);
        const double slope = w.var > tiny ? w.cvar / w.var : 0.0;
        const auto k = static_cast<std::size_t>(j);
        smooth[k] = slope * (x - w.xm) + w.ym;
        if (residuals.empty()) return;
        double h = inverseCount;
        if (w.var > tiny) h = h + (x - w.xm) * (x - w.xm) / w.var;
        const double a = 1.0 - h;
        if (a > 0.0)
            residuals[k] = std::fabs(y[k] - smooth[k]) / a;
        else
            residuals[k] = k > 0 ? residuals[k - 1] : 0.0;
    }
};

// The smooths of `runs` (of one length), point by point together: each
// one's running means wait on its divisions, the others' go on meanwhile.
template <std::size_t count>
void runningLines(std::array<RunningLines, count>&& runs, double tiny) {
    for (RunningLines& r : runs) r.start();
    const long n = static_cast<long>(runs[0].y.size());
    for (long j = 0; j < n; ++j)
        for (RunningLines& r : runs) r.point(j, tiny);
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
        runningLines<1>({RunningLines(y, span, out.first(n))}, tiny);
        return;
    }
    work.resize(11 * n);
    auto slice = [&](std::size_t i) { return std::span(work.data() + i * n, n); };
    const std::span<double> smooth[3] = {slice(0), slice(1), slice(2)};
    const std::span<double> smoothedResiduals[3] = {slice(3), slice(4), slice(5)};
    const std::span<double> residuals[3] = {slice(6), slice(9), slice(10)};
    const std::span<double> spans = slice(7), blend = slice(8);
    runningLines<3>(
        {RunningLines(y, tweeter, smooth[0], residuals[0]), RunningLines(y, midrange, smooth[1], residuals[1]),
         RunningLines(y, woofer, smooth[2], residuals[2])},
        tiny);
    runningLines<3>({RunningLines(residuals[0], midrange, smoothedResiduals[0]),
                     RunningLines(residuals[1], midrange, smoothedResiduals[1]),
                     RunningLines(residuals[2], midrange, smoothedResiduals[2])},
                    tiny);
    chooseSpans(smoothedResiduals, bass, spans);
    runningLines<1>({RunningLines(spans, midrange, residuals[0])}, tiny);  // the spans smoothed
    for (std::size_t j = 0; j < n; ++j) {
        const double s = std::clamp(residuals[0][j], tweeter, woofer);
        double f = s - midrange;
        if (f < 0.0) {
            f = -f / (midrange - tweeter);
            blend[j] = (1.0 - f) * smooth[1][j] + f * smooth[0][j];
        } else {
            f = f / (woofer - midrange);
            blend[j] = (1.0 - f) * smooth[1][j] + f * smooth[2][j];
        }
    }
    runningLines<1>({RunningLines(blend, tweeter, out.first(n))}, tiny);
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
