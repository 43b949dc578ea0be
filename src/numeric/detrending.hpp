// The seam of the detrending methods: whatever the method, a series goes in
// and its fit comes out (the values, the curve and the residual, one each a
// year, and a description of the fit), so that the pipeline, the listing and
// the indices never depend on which method made the curve.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "numeric/curve_fit.hpp"
#include "numeric/detrend_series.hpp"

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

    // The method's name ("burg-spline").
    virtual std::string_view name() const = 0;
    // The most series one call of fit takes.
    virtual int groupSize() const = 0;
    // Fits each of values[0 .. values.size()) into fits[i] with `cutoff`,
    // values.size() <= groupSize(), fits.size() >= values.size(). The curve
    // of a fit is its `spline`; an outcome other than fitted means there is
    // no curve. `scratch` is the calling thread's working storage.
    virtual void fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
                     std::span<SeriesFit> fits) const = 0;
    // The parameters of a fit made with `cutoff`, appended to `out`.
    virtual void describe(const SeriesFit& fit, int cutoff, std::vector<FitParameter>& out) const = 0;
};

// The series centred, extended at both ends by prediction with its Burg
// prediction-error filter (as long as the cutoff), and the cubic smoothing
// spline with its 50% response at the cutoff fitted to the extended series
// (detrendSeries; filterLanes series at once). `capacity` bounds the filter
// and the extended series as detrendSeries does (0: no bound).
class BurgSpline final : public Detrending {
public:
    explicit BurgSpline(int capacity = 0) : capacity_(capacity) {}

    std::string_view name() const override { return "burg-spline"; }
    int groupSize() const override { return filterLanes; }
    void fit(std::span<const std::span<const double>> values, int cutoff, SeriesScratch& scratch,
             std::span<SeriesFit> fits) const override;
    void describe(const SeriesFit& fit, int cutoff, std::vector<FitParameter>& out) const override;

private:
    int capacity_;
};

}  // namespace detrend::numeric
