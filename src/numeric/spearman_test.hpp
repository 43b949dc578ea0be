// Tests of a correlation against the one-sided alternative of a positive
// association ("greater").
//
// Spearman's rho: with S = sum of squared rank differences =
// (n^3 - n)(1 - rho) / 6, the upper tail P(S >= s) of Best, D. J. and
// Roberts, D. E. (1975), Algorithm AS 89: The upper tail probabilities of
// Spearman's rho, Appl. Statist. 24, 377-379: exact, by enumerating the n!
// permutations, for n <= 9, and the Edgeworth series expansion of the paper
// beyond. A positive rho is tested by the lower tail
// P(S <= q) = 1 - P(S >= q + 2), q = round((n^3 - n)(1 - rho) / 6); the
// even values S takes make both the same. The p value is clipped to
// [0, 1] as AS 89 clips its series, so strong correlations get exactly 0.
// With ties, where S has no such distribution, and for Pearson's r:
// t = r sqrt((n - 2) / (1 - r^2)) against Student's t with n - 2 degrees
// of freedom (Fisher, R. A. (1915), Biometrika 10, 507-521).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace detrend::numeric {

// The most values for which AS 89's probability is exact.
constexpr std::size_t spearmanExactLimit = 9;

// AS 89: P(S >= s) for n values without ties; 1 for n <= 1 or s <= 0, 0 for
// s > n (n^2 - 1) / 3; an odd s is raised to the next even value.
double spearmanUpperTail(std::size_t n, std::int64_t s);

// The one-sided p value of rho from n values without ties:
// 1 - spearmanUpperTail(n, q + 2), the lower tail counted directly where
// exact. NaN for a NaN rho.
double spearmanGreaterP(double rho, std::size_t n);

// P(T > r sqrt((n - 2) / (1 - r^2))) for T with n - 2 degrees of freedom:
// 0 for r = 1, 1 for r = -1; NaN for n < 3 or a NaN r.
double tGreaterP(double r, std::size_t n);

struct CorrelationTest {
    double r = std::numeric_limits<double>::quiet_NaN();  // NaN where x or y is constant
    double p = std::numeric_limits<double>::quiet_NaN();  // NaN with r, or for n < 3 with the t test
    std::size_t n = 0;  // the pairs
    bool ties = false;  // Spearman's: a value repeated in x or in y, so p is from t
};

// Working storage of spearmanTest, reused from call to call.
struct RankScratch {
    std::vector<std::pair<double, std::size_t>> order;
    std::vector<double> rx, ry;
};

// Spearman's rho of x and y (equally long, no NaN) as Pearson's correlation
// (numeric::pearson) of their ranks, ties given their mean rank, and its
// one-sided p value: spearmanGreaterP without ties, tGreaterP with them.
CorrelationTest spearmanTest(std::span<const double> x, std::span<const double> y, RankScratch& scratch);

// Pearson's r (numeric::pearson) and tGreaterP.
CorrelationTest pearsonTest(std::span<const double> x, std::span<const double> y);

}  // namespace detrend::numeric
