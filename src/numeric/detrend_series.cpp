#include "numeric/detrend_series.hpp"

#include <algorithm>
#include <limits>

#include "numeric/extend.hpp"
#include "numeric/pefilter.hpp"
#include "numeric/pefilter_lanes.hpp"

namespace detrend::numeric {
namespace {

static_assert(filterLanes <= splineLaneCount);

template <class T>
void fitSize(std::vector<T>& v, std::size_t size) {
    if (v.size() < size) v.resize(size);
}

// The work series: the values in single precision, centred on their mean.
// The sum is rounded to single precision before the division. False, with
// the outcome set, when the filter is too long to compute.
bool centre(std::span<const double> values, int cutoff, int capacity, SeriesFit& fit) {
    const int n = static_cast<int>(values.size());
    fit.outcome = SeriesOutcome::fitted;
    fit.filterComputed = false;
    fit.coefficients.clear();
    // Resized, not cleared: a fit reused for a series of the same length is
    // not filled with zeros first.
    fit.series.resize(values.size());
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        fit.series[i] = static_cast<float>(values[i]);
        sum += static_cast<double>(fit.series[i]);
    }
    const float mean = static_cast<float>(static_cast<double>(static_cast<float>(sum)) / n);
    fit.mean = mean;
    for (int i = 0; i < n; ++i)
        fit.series[i] = static_cast<float>(static_cast<double>(fit.series[i]) - static_cast<double>(mean));

    if (capacity > 0 && cutoff > capacity) {
        fit.outcome = SeriesOutcome::filterTooLong;
        fit.series.clear();
        fit.spline.clear();
        fit.residual.clear();
        return false;
    }
    fit.coefficients.assign(static_cast<std::size_t>(std::max(cutoff, 0)), 0.0);
    return true;
}

// After the filter: the series extended into `extended`; it and `smoothed`,
// for the spline, grow to hold it. False, with the outcome set, when the
// extended series is too long.
bool extendSeries(int cutoff, int capacity, std::vector<float>& extended, std::vector<float>& smoothed,
                  SeriesFit& fit) {
    const int n = static_cast<int>(fit.series.size());
    const int k = cutoff;  // the filter length and the extension at each end
    const long long nn = n + 2LL * std::max(k, 0);
    if (capacity > 0 && nn > capacity) {
        fit.outcome = SeriesOutcome::extendedTooLong;
        fit.series.clear();
        fit.spline.clear();
        fit.residual.clear();
        return false;
    }
    const std::size_t extendedSize = std::max<std::size_t>(static_cast<std::size_t>(nn), 1);
    fitSize(extended, extendedSize);
    fitSize(smoothed, extendedSize);
    // The series in the middle, zeros at both ends until the extension
    // fills them.
    const std::size_t offset = static_cast<std::size_t>(std::max(k, 0));
    const auto extendedBegin = extended.begin();
    std::fill(extendedBegin, extendedBegin + static_cast<std::ptrdiff_t>(offset), 0.0f);
    std::copy_n(fit.series.begin(), n, extendedBegin + static_cast<std::ptrdiff_t>(offset));
    std::fill(extendedBegin + static_cast<std::ptrdiff_t>(offset) + n, extendedBegin + static_cast<std::ptrdiff_t>(nn),
              0.0f);
    extend(std::span(extended.data(), static_cast<std::size_t>(nn)), n, k, fit.coefficients, cutoff, 0);
    return true;
}

// The extended series' length.
std::size_t extendedLength(int cutoff, const SeriesFit& fit) {
    return fit.series.size() + 2 * static_cast<std::size_t>(std::max(cutoff, 0));
}

// After the spline: the outcome, and the mean restored. The mean goes back in
// double precision; the residual is formed from the two sums before they are
// rounded. Without a spline the spline and residual are NaN.
void restore(int cutoff, SplineResult fitted, const std::vector<float>& extended, const std::vector<float>& smoothed,
             SeriesFit& fit) {
    switch (fitted) {
        case SplineResult::fitted: break;
        case SplineResult::tooShort: fit.outcome = SeriesOutcome::splineTooShort; break;
        case SplineResult::notPositiveDefinite: fit.outcome = SeriesOutcome::notPositiveDefinite; break;
    }
    const int n = static_cast<int>(fit.series.size());
    const std::size_t offset = static_cast<std::size_t>(std::max(cutoff, 0));
    const float mean = fit.mean;
    fit.spline.resize(fit.series.size());
    fit.residual.resize(fit.series.size());
    const bool noSpline = fit.outcome != SeriesOutcome::fitted;
    for (int i = 0; i < n; ++i) {
        const double restoredValue = static_cast<double>(mean) + static_cast<double>(extended[offset + i]);
        const double restoredSmooth = static_cast<double>(mean) + static_cast<double>(smoothed[offset + i]);
        fit.series[i] = static_cast<float>(restoredValue);
        if (noSpline) {
            fit.spline[i] = fit.residual[i] = std::numeric_limits<float>::quiet_NaN();
        } else {
            fit.spline[i] = static_cast<float>(restoredSmooth);
            fit.residual[i] = static_cast<float>(restoredValue - restoredSmooth);
        }
    }
}

// After the filter: the extension, the spline and the mean restored.
void extendAndSmooth(int cutoff, int capacity, SeriesScratch& scratch, SeriesFit& fit) {
    if (!extendSeries(cutoff, capacity, scratch.extended, scratch.smoothed, fit)) return;
    float p;
    const SplineResult fitted = spline(static_cast<int>(extendedLength(cutoff, fit)), scratch.extended,
                                       scratch.smoothed, p, cutoff, scratch.band);
    restore(cutoff, fitted, scratch.extended, scratch.smoothed, fit);
}

}  // namespace

void detrendSeries(std::span<const double> values, int cutoff, int capacity, SeriesScratch& scratch, SeriesFit& fit) {
    if (!centre(values, cutoff, capacity, fit)) return;
    const std::size_t work = std::max<std::size_t>(values.size(), 1);
    fitSize(scratch.forwardErrors, work);
    fitSize(scratch.backwardErrors, work);
    fitSize(scratch.previousCoefficients, std::max<std::size_t>(fit.coefficients.size(), 1));
    double meanSquare;
    fit.filterComputed = pefilter(fit.series, static_cast<int>(values.size()), cutoff, meanSquare, fit.coefficients,
                                  scratch.forwardErrors, scratch.backwardErrors, scratch.previousCoefficients);
    extendAndSmooth(cutoff, capacity, scratch, fit);
}

void detrendSeriesGroup(std::span<const std::span<const double>> values, int cutoff, int capacity,
                        SeriesScratch& scratch, std::span<SeriesFit> fits) {
    // Without a filter to compute the lanes have nothing to share.
    if (cutoff <= 0 || (capacity > 0 && cutoff > capacity)) {
        for (std::size_t i = 0; i < values.size(); ++i) detrendSeries(values[i], cutoff, capacity, scratch, fits[i]);
        return;
    }
    for (std::size_t first = 0; first < values.size(); first += filterLanes) {
        const std::size_t lanes = std::min<std::size_t>(filterLanes, values.size() - first);
        std::span<const float> series[filterLanes];
        std::span<double> coefficients[filterLanes];
        double meanSquare[filterLanes];
        for (std::size_t l = 0; l < lanes; ++l) {
            SeriesFit& fit = fits[first + l];
            centre(values[first + l], cutoff, capacity, fit);
            series[l] = fit.series;
            coefficients[l] = fit.coefficients;
        }
        const bool computed =
            pefilterLanes(std::span(series, lanes), cutoff, meanSquare, std::span(coefficients, lanes), scratch.lanes);
        // The splines of the series that reach them, at once too.
        std::span<const float> extended[filterLanes];
        std::span<float> smoothed[filterLanes];
        std::size_t member[filterLanes];  // the series of each spline
        std::size_t splines = 0;
        for (std::size_t l = 0; l < lanes; ++l) {
            SeriesFit& fit = fits[first + l];
            fit.filterComputed = computed;
            if (!extendSeries(cutoff, capacity, scratch.groupExtended[l], scratch.groupSmoothed[l], fit)) continue;
            extended[splines] = std::span(scratch.groupExtended[l].data(), extendedLength(cutoff, fit));
            smoothed[splines] = scratch.groupSmoothed[l];
            member[splines++] = l;
        }
        SplineResult fitted[filterLanes];
        splineLanes(std::span(extended, splines), std::span(smoothed, splines), cutoff, scratch.band,
                    std::span(fitted, splines));
        for (std::size_t j = 0; j < splines; ++j) {
            const std::size_t l = member[j];
            restore(cutoff, fitted[j], scratch.groupExtended[l], scratch.groupSmoothed[l], fits[first + l]);
        }
    }
}

}  // namespace detrend::numeric
