// The steps of detrend_series.cpp with the filter's order apart from the
// cutoff, in the same arithmetic.
#include "numeric/burg_spline.hpp"

#include <algorithm>
#include <limits>

#include "numeric/extend.hpp"
#include "numeric/pefilter.hpp"

namespace detrend::numeric {
namespace {

template <class T>
void fitSize(std::vector<T>& v, std::size_t size) {
    if (v.size() < size) v.resize(size);
}

void clearAll(SeriesOutcome outcome, SeriesFit& fit) {
    fit.outcome = outcome;
    fit.series.clear();
    fit.spline.clear();
    fit.residual.clear();
}

// The work series, centred on the mean of its single-precision values.
void centre(std::span<const double> values, SeriesFit& fit) {
    const std::size_t n = values.size();
    fit.outcome = SeriesOutcome::fitted;
    fit.filterComputed = false;
    fit.coefficients.clear();
    fit.series.resize(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        fit.series[i] = static_cast<float>(values[i]);
        sum += static_cast<double>(fit.series[i]);
    }
    fit.mean = static_cast<float>(static_cast<double>(static_cast<float>(sum)) / static_cast<double>(n));
    for (std::size_t i = 0; i < n; ++i)
        fit.series[i] = static_cast<float>(static_cast<double>(fit.series[i]) - static_cast<double>(fit.mean));
}

// Extension, spline and the mean restored, as detrendSeries does them.
void extendAndSmooth(int cutoff, int filterOrder, int capacity, SeriesScratch& scratch, SeriesFit& fit) {
    const int n = static_cast<int>(fit.series.size());
    const int k = std::max(cutoff, 0);
    const long long nn = n + 2LL * k;
    if (capacity > 0 && nn > capacity) return clearAll(SeriesOutcome::extendedTooLong, fit);
    const std::size_t size = std::max<std::size_t>(static_cast<std::size_t>(nn), 1);
    fitSize(scratch.extended, size);
    fitSize(scratch.smoothed, size);
    auto& x = scratch.extended;
    std::fill(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(size), 0.0f);
    std::copy_n(fit.series.begin(), n, x.begin() + k);
    extend(std::span(x.data(), static_cast<std::size_t>(nn)), n, k, fit.coefficients, std::max(filterOrder, 0), 0);
    float p;
    const SplineResult fitted = spline(static_cast<int>(nn), x, scratch.smoothed, p, cutoff, scratch.band);
    if (fitted == SplineResult::tooShort) fit.outcome = SeriesOutcome::splineTooShort;
    if (fitted == SplineResult::notPositiveDefinite) fit.outcome = SeriesOutcome::notPositiveDefinite;
    fit.spline.resize(fit.series.size());
    fit.residual.resize(fit.series.size());
    const double mean = static_cast<double>(fit.mean);
    for (int i = 0; i < n; ++i) {
        const double value = mean + static_cast<double>(x[static_cast<std::size_t>(k + i)]);
        const double smooth = mean + static_cast<double>(scratch.smoothed[static_cast<std::size_t>(k + i)]);
        fit.series[static_cast<std::size_t>(i)] = static_cast<float>(value);
        if (fit.outcome != SeriesOutcome::fitted) {
            fit.spline[static_cast<std::size_t>(i)] = fit.residual[static_cast<std::size_t>(i)] =
                std::numeric_limits<float>::quiet_NaN();
        } else {
            fit.spline[static_cast<std::size_t>(i)] = static_cast<float>(smooth);
            fit.residual[static_cast<std::size_t>(i)] = static_cast<float>(value - smooth);
        }
    }
}

void filterAndSmooth(int cutoff, int filterOrder, int capacity, SeriesScratch& scratch, SeriesFit& fit) {
    const std::size_t n = fit.series.size();
    if (capacity > 0 && filterOrder > capacity) return clearAll(SeriesOutcome::filterTooLong, fit);
    fit.coefficients.assign(static_cast<std::size_t>(std::max(filterOrder, 0)), 0.0);
    fitSize(scratch.forwardErrors, std::max<std::size_t>(n, 1));
    fitSize(scratch.backwardErrors, std::max<std::size_t>(n, 1));
    fitSize(scratch.previousCoefficients, std::max<std::size_t>(fit.coefficients.size(), 1));
    double meanSquare;
    fit.filterComputed = pefilter(fit.series, static_cast<int>(n), filterOrder, meanSquare, fit.coefficients,
                                  scratch.forwardErrors, scratch.backwardErrors, scratch.previousCoefficients);
    extendAndSmooth(cutoff, filterOrder, capacity, scratch, fit);
}

// The same with the filter the order's search computed on the way.
void smoothWithStage(int cutoff, int filterOrder, int capacity, const FilterOrderScratch& orders,
                     SeriesScratch& scratch, SeriesFit& fit) {
    if (capacity > 0 && filterOrder > capacity) return clearAll(SeriesOutcome::filterTooLong, fit);
    fit.coefficients.clear();
    if (filterOrder > 0) {
        const std::span<const double> d = stageCoefficients(orders, filterOrder);
        fit.coefficients.assign(d.begin(), d.end());
    }
    fit.filterComputed = filterOrder > 0;
    extendAndSmooth(cutoff, filterOrder, capacity, scratch, fit);
}

}  // namespace

void detrendSeriesWithFilter(std::span<const double> values, int cutoff, int filterOrder, int capacity,
                             SeriesScratch& scratch, SeriesFit& fit) {
    centre(values, fit);
    filterAndSmooth(cutoff, filterOrder, capacity, scratch, fit);
}

int detrendSeriesAutoFilter(std::span<const double> values, int cutoff, int capacity, SeriesScratch& scratch,
                            FilterOrderScratch& orderScratch, SeriesFit& fit) {
    centre(values, fit);
    const int order = filterOrderByFpe(fit.series, static_cast<int>(values.size()), cutoff, orderScratch);
    smoothWithStage(cutoff, order, capacity, orderScratch, scratch, fit);
    return order;
}

}  // namespace detrend::numeric
