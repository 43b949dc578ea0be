// Prewhitening of a series by an autoregressive model fitted with the
// Yule-Walker equations, solved by the Levinson-Durbin recursion, the order
// chosen by Akaike's information criterion:
// Levinson, N. (1947), The Wiener RMS error criterion in filter design and
// prediction, J. Math. Phys. 25, 261-278; Durbin, J. (1960), The fitting of
// time-series models, Rev. Inst. Int. Stat. 28, 233-244; Akaike, H. (1974),
// A new look at the statistical model identification, IEEE Trans. Autom.
// Control 19, 716-723. The order search is the default of R's
// ar(x, method = "yule-walker"); Cook and Kairiukstis (1990), section 2.6,
// prewhiten tree-ring indices this way before averaging the residual
// chronology.
#pragma once

#include <span>
#include <vector>

namespace detrend::numeric {

struct Autoregression {
    int order = 0;  // p
    double mean = 0.0;  // the series' mean, summed in year order
    // phi_1 .. phi_p: x(t) - mean is predicted by the sum over k of
    // phi_k (x(t - k) - mean).
    std::vector<double> coefficients;
    double variance = 0.0;  // the innovations variance sigma_p^2 of the recursion
};

// Fits the model to x (no NaN). With d = x - mean and the biased
// autocovariances c_k = sum over t of d(t) d(t + k) / n, the recursion gives
// sigma_0^2 = c_0, sigma_1^2, ...; the order is the smallest p of
// 0 .. min(n - 1, floor(10 log10 n)) with the least n log(sigma_p^2) + 2 p.
// The recursion stops early where sigma^2 is no longer positive (a series
// predicted exactly, or a constant one, which gets order 0).
Autoregression fitAutoregression(std::span<const double> x);

// Fits the model to x and writes to out[t] the residual
// d(t) - sum over k of phi_k d(t - k), plus the mean, for t >= p, and NaN
// for the first p values. Requires out.size() >= x.size(); x holds no NaN.
Autoregression prewhiten(std::span<const double> x, std::span<double> out);

}  // namespace detrend::numeric
