// Burg's recursion as pefilter.cpp states it, keeping the power and the
// coefficients of every stage; see filter_order.hpp for the sources.
#include "numeric/filter_order.hpp"

#include <algorithm>

namespace detrend::numeric {

void burgPowers(std::span<const float> x, int n, int maxOrder, std::span<double> powers, FilterOrderScratch& scratch) {
    const std::size_t size = static_cast<std::size_t>(std::max(n, maxOrder + 1));
    for (auto* v : {&scratch.f, &scratch.b, &scratch.d, &scratch.w}) v->resize(size);
    const auto orders = static_cast<std::size_t>(maxOrder);
    scratch.stages.resize(orders * (orders + 1) / 2);
    auto X = [&](int j) { return static_cast<double>(x[static_cast<std::size_t>(j - 1)]); };
    double* const d = scratch.d.data() - 1;  // 1-based, as in the recursion's usual statement
    double* const f = scratch.f.data() - 1;
    double* const b = scratch.b.data() - 1;
    double* const w = scratch.w.data() - 1;

    double p = 0.0;
    for (int j = 1; j <= n; ++j) p = p + X(j) * X(j);
    double P = p / static_cast<double>(n);
    if (n >= 1) f[1] = X(1);
    if (n >= 2) b[n - 1] = X(n);
    for (int j = 2; j <= n - 1; ++j) {
        f[j] = X(j);
        b[j - 1] = X(j);
    }
    double num = 0.0;
    double den = 0.0;
    for (int j = 1; j <= n - 1; ++j) {
        num = num + f[j] * b[j];
        den = (den + f[j] * f[j]) + b[j] * b[j];
    }
    for (int k = 1;; ++k) {
        d[k] = 2.0 * num / den;
        P = (1.0 - d[k] * d[k]) * P;
        powers[static_cast<std::size_t>(k - 1)] = P;
        for (int i = 1; i <= k - 1; ++i) d[i] = w[i] - d[k] * w[k - i];
        std::copy_n(d + 1, k, scratch.stages.begin() + (k - 1) * k / 2);
        if (k == maxOrder) return;
        for (int i = 1; i <= k; ++i) w[i] = d[i];
        // The errors of the next stage, and the sums of its reflection over
        // them in the same pass: each sum in pefilter's order.
        num = 0.0;
        den = 0.0;
        const double reflection = w[k];
        for (int j = 1; j <= n - k - 1; ++j) {
            f[j] = f[j] - reflection * b[j];
            b[j] = b[j + 1] - reflection * f[j + 1];
            num = num + f[j] * b[j];
            den = (den + f[j] * f[j]) + b[j] * b[j];
        }
    }
}

std::span<const double> stageCoefficients(const FilterOrderScratch& scratch, int order) {
    const auto m = static_cast<std::size_t>(order);
    return std::span(scratch.stages).subspan((m - 1) * m / 2, m);
}

int filterOrderByFpe(std::span<const float> x, int n, int cutoff, FilterOrderScratch& scratch) {
    const int most = std::min(cutoff, n / 3);
    if (most < 1) return 0;
    scratch.powers.resize(static_cast<std::size_t>(most));
    burgPowers(x, n, most, scratch.powers, scratch);
    int best = 0;
    double least = 0.0;
    for (int m = 1; m <= most; ++m) {
        const double fpe = scratch.powers[static_cast<std::size_t>(m - 1)] * static_cast<double>(n + m + 1) /
                           static_cast<double>(n - m - 1);
        if (best == 0 ? fpe == fpe : fpe < least) best = m, least = fpe;
    }
    return best == 0 ? 1 : best;
}

}  // namespace detrend::numeric
