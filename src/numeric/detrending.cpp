#include "numeric/detrending.hpp"

#include <algorithm>
#include <cmath>

#include "numeric/burg_spline.hpp"
#include "numeric/methods.hpp"

namespace detrend::numeric {
namespace {

// Why a Burg spline gave way to the spline of the series alone.
constexpr std::string_view burgNotPositive = "the Burg-extended spline is not positive everywhere";

// The filter order of `rule` for a series of n values with `cutoff`.
int filterOrder(const FilterLength& rule, long long n, int cutoff) {
    switch (rule.rule) {
        case FilterLength::Rule::years: return std::min(rule.value, cutoff);
        case FilterLength::Rule::percent:
            return static_cast<int>(std::clamp<long long>(n * rule.value / 100, 1, std::max(cutoff, 1)));
        case FilterLength::Rule::cutoff:
        case FilterLength::Rule::automatic: break;
    }
    return cutoff;
}

// Whether a fitted Burg spline is positive in every year.
bool positiveSpline(const SeriesFit& fit) {
    return fit.outcome == SeriesOutcome::fitted &&
           std::all_of(fit.spline.begin(), fit.spline.end(), [](float v) { return v > 0.0f; });
}

}  // namespace

void BurgSpline::fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
                     std::span<SeriesFit> fits) const {
    if (filter_.rule == FilterLength::Rule::cutoff) {
        detrendSeriesGroup(values, cutoff, capacity_, scratch, fits);
    } else {
        for (std::size_t i = 0; i < values.size(); ++i) fitOne(values[i], cutoff, scratch, fits[i]);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        SeriesFit& fit = fits[i];
        fit.used = Method::burgSpline;
        fit.fallback = {};
        fit.parameters.clear();
        fit.parameters.push_back({"cutoff", static_cast<double>(cutoff)});
        fit.parameters.push_back({"filter", static_cast<double>(fit.coefficients.size())});
        fit.index.clear();
        if (!index_) continue;
        if (*index_ == IndexKind::ratio && fit.outcome == SeriesOutcome::fitted && !positiveSpline(fit) &&
            std::all_of(fit.spline.begin(), fit.spline.end(), [](float v) { return !std::isnan(v); })) {
            // No ratio where the curve is not positive: the series alone.
            MethodOptions options;
            options.cutoff = cutoff;
            fitCurve(Method::spline, values[i], options, scratch.curve);
            curveIntoFit(values[i], scratch.curve, *index_, fit);
            if (fit.used == Method::spline) fit.fallback = burgNotPositive;
            continue;
        }
        indexValues(fit, *index_, fit.index);
    }
}

void BurgSpline::fitOne(std::span<const double> values, int cutoff, SeriesScratch& scratch, SeriesFit& fit) const {
    if (filter_.rule == FilterLength::Rule::automatic) {
        detrendSeriesAutoFilter(values, cutoff, capacity_, scratch, scratch.orders, fit);
        return;
    }
    const int order = filterOrder(filter_, static_cast<long long>(values.size()), cutoff);
    detrendSeriesWithFilter(values, cutoff, order, capacity_, scratch, fit);
}

void curveIntoFit(std::span<const double> values, const CurveFit& curve, IndexKind index, SeriesFit& fit) {
    const std::size_t n = values.size();
    fit.outcome = SeriesOutcome::fitted;
    fit.filterComputed = false;
    fit.coefficients.clear();
    fit.series.resize(n);
    fit.spline.resize(n);
    fit.residual.resize(n);
    fit.index.resize(n);
    const std::vector<double>& raised = curve.scratch.values;
    for (std::size_t i = 0; i < n; ++i) {
        fit.series[i] = static_cast<float>(values[i]);
        fit.spline[i] = static_cast<float>(curve.curve[i]);
        fit.residual[i] = static_cast<float>(values[i] - curve.curve[i]);
        const double x = i < raised.size() ? raised[i] : values[i];
        double value =
            index == IndexKind::ratio ? (curve.curve[i] > 0.0 ? x / curve.curve[i] : std::nan("")) : x - curve.curve[i];
        if (!curve.index.empty()) value = curve.index[i];
        fit.index[i] = static_cast<float>(value);
    }
    fit.mean = 0.0f;
    fit.used = curve.used;
    fit.fallback = curve.fallback;
    fit.parameters.assign(curve.parameters.begin(), curve.parameters.end());
}

void CurveMethod::fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
                      std::span<SeriesFit> fits) const {
    for (std::size_t i = 0; i < values.size(); ++i) {
        MethodOptions options = options_;
        if (method_ == Method::spline) options.cutoff = cutoff;
        if (!fitCurve(method_, values[i], options, scratch.curve)) {
            fits[i].outcome = SeriesOutcome::splineTooShort;
            fits[i].series.assign(values[i].begin(), values[i].end());
            fits[i].spline.assign(values[i].size(), std::nanf(""));
            fits[i].residual = fits[i].spline;
            continue;
        }
        curveIntoFit(values[i], scratch.curve, index_, fits[i]);
    }
}

std::unique_ptr<Detrending> makeDetrending(Method method, const MethodOptions& options, FilterLength filter,
                                           IndexKind index) {
    if (method == Method::burgSpline) return std::make_unique<BurgSpline>(0, filter, index);
    return std::make_unique<CurveMethod>(method, options, index);
}

}  // namespace detrend::numeric
