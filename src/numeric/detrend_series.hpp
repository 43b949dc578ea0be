// The whole treatment of one series: centre it, compute its prediction-error
// filter, extend it at both ends with the filter, fit the smoothing spline to
// the extended series, restore the mean and form the residuals.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "numeric/curve_fit.hpp"
#include "numeric/filter_order.hpp"
#include "numeric/pefilter_lanes.hpp"
#include "numeric/spline.hpp"

namespace detrend::numeric {

// Working storage of one thread; it grows to the largest series seen and is
// reused for every call.
struct SeriesScratch {
    std::vector<float> extended, smoothed;
    std::vector<double> forwardErrors, backwardErrors, previousCoefficients;
    SplineBand band;
    FilterLanesScratch lanes;  // detrendSeriesGroup's filters
    std::vector<float> groupExtended[filterLanes], groupSmoothed[filterLanes];  // and its splines
    CurveFit curve;  // the other methods' fits (detrending.hpp)
    FilterOrderScratch orders;  // the filter order's search
};

enum class SeriesOutcome {
    fitted,  // spline and residual hold numbers (or NaN from NaN data)
    filterTooLong,  // cutoff > capacity: nothing computed
    extendedTooLong,  // n + 2 cutoff > capacity: the filter computed, no spline
    splineTooShort,  // n + 2 cutoff <= 3: no spline
    notPositiveDefinite,  // the spline's system is not positive definite (cutoff 0)
};

// What a call leaves; the vectors keep their storage from call to call.
struct SeriesFit {
    SeriesOutcome outcome = SeriesOutcome::fitted;
    bool filterComputed = false;  // false when cutoff <= 0 (no filter to compute)
    float mean = 0.0f;
    std::vector<double> coefficients;  // d(1..cutoff), or empty when cutoff <= 0
    // Per value of the series: the value with the mean restored, the spline
    // (mean added) and the residual, value minus spline. Without a spline
    // (every outcome but fitted) the spline and the residual are NaN; after
    // filterTooLong and extendedTooLong all three are empty.
    std::vector<float> series, spline, residual;
    // What a detrending method (detrending.hpp) says of the fit: the method
    // of the curve after any fallback and why, its parameters, and the index
    // of each value when one was asked for (else empty).
    Method used = Method::burgSpline;
    std::string_view fallback;
    std::vector<FitParameter> parameters;
    std::vector<float> index;
};

// Treats the n = values.size() values of one series with the filter length
// and extension `cutoff` and the spline's 50% response at `cutoff`:
// - the values rounded to single precision; their mean is the double sum
//   rounded to single, divided by n in double and rounded to single; the
//   work series is value - mean, rounded to single;
// - the filter of length cutoff (pefilter), the extension by cutoff values
//   at each end (extend, both ends), the spline of all n + 2 cutoff values;
// - per value: value and spline with the mean added in double precision and
//   rounded to single, the residual formed from the two double sums.
// `capacity` bounds cutoff and n + 2 cutoff (the dialogue's 10000); 0 means
// no bound. Pure: reads nothing but its arguments and writes only `scratch`
// and `fit`.
void detrendSeries(std::span<const double> values, int cutoff, int capacity, SeriesScratch& scratch, SeriesFit& fit);

// detrendSeries(values[i], cutoff, capacity, scratch, fits[i]) for every i,
// to the bit, with the filters and the splines of up to filterLanes series
// computed at once (pefilterLanes, splineLanes). Requires fits.size() >=
// values.size().
void detrendSeriesGroup(std::span<const std::span<const double>> values, int cutoff, int capacity,
                        SeriesScratch& scratch, std::span<SeriesFit> fits);

}  // namespace detrend::numeric
