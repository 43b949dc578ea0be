// The order of a series' prediction-error filter by Akaike's final
// prediction error, FPE(m) = P_m (n + m + 1) / (n - m - 1), P_m the
// prediction-error power after m stages of Burg's recursion (pefilter.hpp).
// Akaike, H. (1969), Fitting autoregressive models for prediction, Ann.
// Inst. Statist. Math. 21, 243-247; Akaike, H. (1970), Statistical
// predictor identification, Ann. Inst. Statist. Math. 22, 203-217; Burg,
// J. P. (1975), Maximum entropy spectral analysis, PhD thesis, Stanford
// University.
#pragma once

#include <span>
#include <vector>

namespace detrend::numeric {

struct FilterOrderScratch {
    std::vector<double> f, b, d, w, powers;
    std::vector<double> stages;  // the coefficients after each stage (stageCoefficients)
};

// powers[m - 1] = P after m stages of the recursion on x[0..n), for
// m = 1..maxOrder, each the bits pefilter(x, n, m, P, ...) leaves in P: the
// same operations in the same order, run once to maxOrder. Requires
// powers.size() >= maxOrder, x.size() >= n, 1 <= maxOrder.
void burgPowers(std::span<const float> x, int n, int maxOrder, std::span<double> powers, FilterOrderScratch& scratch);

// The coefficients d(1..order) the last burgPowers left after `order`
// stages, 1 <= order <= its maxOrder: the bits pefilter(x, n, order, ...)
// leaves in d (Levinson's recursion keeps them from stage to stage).
std::span<const double> stageCoefficients(const FilterOrderScratch& scratch, int order);

// The order 1..min(cutoff, n / 3) with the least FPE (the lowest on a tie;
// a NaN power never wins); 0 when that range is empty. The coefficients of
// every order searched stay in the scratch (stageCoefficients).
int filterOrderByFpe(std::span<const float> x, int n, int cutoff, FilterOrderScratch& scratch);

}  // namespace detrend::numeric
