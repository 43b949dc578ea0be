// The ARSTAN chronology of a site: the persistence the site's series have in
// common, estimated by one autoregressive model pooled over all of them, put
// back into the residual chronology. Cook, E. R. (1985), A time series
// analysis approach to tree ring standardization, PhD thesis, University of
// Arizona; Cook, E. R. and Kairiukstis, L. A. (eds.) (1990), Methods of
// Dendrochronology, Kluwer, section 2.6. The model is fitted by the
// Yule-Walker equations (Levinson-Durbin recursion) and its order chosen by
// Akaike's information criterion (Akaike, H. (1974), IEEE Trans. Autom.
// Control 19, 716-723).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "numeric/chronology.hpp"
#include "numeric/index_series.hpp"

namespace detrend::numeric {

struct PooledAutoregression {
    // r_0 = 1, r_1 .. r_K with K = min(10, years - 1); empty when no series
    // deviates from its mean.
    std::vector<double> autocorrelation;
    // coefficients[p - 1] holds phi_1 .. phi_p of the model of order p, for
    // p = 1 .. K, or fewer where the recursion found the series predicted
    // exactly.
    std::vector<std::vector<double>> coefficients;
    std::vector<double> aic;  // orders 0 .. coefficients.size()
    int order = 0;  // p
};

struct ArsChronology {
    int first = 0;  // the year of element 0, as in buildChronology
    // One element per year, as the standard chronology; NaN where a year has
    // no value.
    std::vector<double> residual, ars;
    PooledAutoregression model;
    // The series with a gap between their first and last value, in index
    // order: they enter neither the model nor these chronologies.
    std::vector<std::size_t> leftOut;
};

// The model of pooled autocorrelations r (r_0 = 1) over `years` years whose
// lag-0 sum of cross-products is c0: the Levinson-Durbin recursion gives the
// coefficients of each order and v_p = (1 - kappa_1^2) .. (1 - kappa_p^2);
// AIC(p) = years log(c0 v_p) + 2 (p + 1); the order is the first p whose AIC
// is not above that of p + 1 (the first minimum), or the last one fitted.
PooledAutoregression pooledModel(std::span<const double> autocorrelation, double c0, std::size_t years);

// With d_i the values of series i less their mean and, for each year t and
// lag k, the sums over the series that have a value both in t and in t + k,
// D(t) = sum d_i(t) and D'(t) = sum d_i(t + k): C_k = sum over t of D(t) D'(t),
// r_k = C_k / C_0, over the years from the first to the last value of the
// series; the model as pooledModel, of order p. Then:
// - each series is prewhitened at order p with its own Yule-Walker
//   coefficients: e_i(t) = d_i(t) - sum phi_ik d_i(t - k), plus its mean,
//   from its (p + 1)th value on;
// - g(t), the mean (biweight or arithmetic) of the e_i(t) of year t;
// - residual: g prewhitened the same way at order p, with the coefficients
//   of g's own autocorrelation (summed over the years where g has both
//   values), plus g's mean; NaN where g lacks a value of the p years before;
// - ars: the mean of the series a_i(t) = e_i(t) + sum phi_k (a_i(t - k) -
//   mu_i), phi the pooled coefficients and mu_i the mean of e_i, a_i(t - k)
//   taken as mu_i before the series' first residual.
// The result does not depend on the order of the series or on the number of
// threads of the current oneTBB arena.
ArsChronology buildArsChronology(std::span<const IndexSeries> series, ChronologyMean mean);

}  // namespace detrend::numeric
