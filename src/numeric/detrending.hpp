// The seam of the detrending methods: whatever the method, a series goes in
// and its fit comes out (the values, the curve and the residual, one each a
// year, its index, and a description of the fit), so that the pipeline, the
// listing and the indices never depend on which method made the curve.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "numeric/curve_fit.hpp"
#include "numeric/detrend_series.hpp"
#include "numeric/index.hpp"

namespace detrend::numeric {

// The length of the Burg spline's prediction-error filter.
struct FilterLength {
    enum class Rule {
        cutoff,  // as long as the cutoff
        years,  // `value` coefficients (at most the cutoff)
        percent,  // `value`% of the series' length, at least 1 (at most the cutoff)
        automatic,  // by Akaike's final prediction error among 1..min(cutoff, n / 3)
    } rule = Rule::cutoff;
    int value = 0;
};

class Detrending {
public:
    virtual ~Detrending() = default;

    // The method asked for.
    virtual Method method() const = 0;
    // The most series one call of fit takes.
    virtual int groupSize() const = 0;
    // Fits each of values[0 .. values.size()) into fits[i] with `cutoff`,
    // values.size() <= groupSize(), fits.size() >= values.size(). The curve
    // of a fit is its `spline`; an outcome other than fitted means there is
    // no curve. `used`, `fallback`, `parameters` and, when the method was
    // made with an index kind, `index` are set. `scratch` is the calling
    // thread's working storage.
    virtual void fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
                     std::span<SeriesFit> fits) const = 0;
};

// The series centred, extended at both ends by prediction with its Burg
// prediction-error filter, and the cubic smoothing spline with its 50%
// response at the cutoff fitted to the extended series (detrendSeries,
// filterLanes series at once when the filter is as long as the cutoff).
// `capacity` bounds the filter and the extended series as detrendSeries does
// (0: no bound). With a ratio index, a curve that is not positive everywhere
// is replaced by the spline of the series alone, and that, when it is not
// positive either, by the mean.
class BurgSpline final : public Detrending {
public:
    explicit BurgSpline(int capacity = 0, FilterLength filter = {}, std::optional<IndexKind> index = {})
        : capacity_(capacity), filter_(filter), index_(index) {}

    Method method() const override { return Method::burgSpline; }
    int groupSize() const override { return filter_.rule == FilterLength::Rule::cutoff ? filterLanes : 1; }
    void fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
             std::span<SeriesFit> fits) const override;

private:
    void fitOne(std::span<const double> values, int cutoff, SeriesScratch& scratch, SeriesFit& fit) const;

    int capacity_;
    FilterLength filter_;
    std::optional<IndexKind> index_;
};

// Any other method of methods.hpp, one series at a time: its curve in
// single precision as the spline, the value as read and value minus curve
// as the residual, the index from the values with zero rings raised (or,
// for prewhitening, the method's own).
class CurveMethod final : public Detrending {
public:
    CurveMethod(Method method, const MethodOptions& options, IndexKind index)
        : method_(method), options_(options), index_(index) {}

    Method method() const override { return method_; }
    int groupSize() const override { return 1; }
    void fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
             std::span<SeriesFit> fits) const override;

private:
    Method method_;
    MethodOptions options_;
    IndexKind index_;
};

// The method of `method` with its options, computing `index`.
std::unique_ptr<Detrending> makeDetrending(Method method, const MethodOptions& options, FilterLength filter,
                                           IndexKind index);

// The curve of a fitted curve method into `fit` (as CurveMethod does):
// exposed for the Burg spline's fallback.
void curveIntoFit(std::span<const double> values, const CurveFit& curve, IndexKind index, SeriesFit& fit);

}  // namespace detrend::numeric
