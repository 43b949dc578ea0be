// Burg's recursion as pefilter.cpp states it, keeping the power of every
// stage; see filter_order.hpp for the sources.
#include "numeric/filter_order.hpp"

#include <algorithm>

namespace detrend::numeric {

void burgPowers(std::span<const float> x, int n, int maxOrder, std::span<double> powers, FilterOrderScratch& scratch) {
    const std::size_t size = static_cast<std::size_t>(std::max(n, maxOrder + 1));
    for (auto* v : {&scratch.f, &scratch.b, &scratch.d, &scratch.w}) v->resize(size);
    auto X = [&](int j) { return static_cast<double>(x[static_cast<std::size_t>(j - 1)]); };
    auto D = [&](int j) -> double& { return scratch.d[static_cast<std::size_t>(j - 1)]; };
    auto F = [&](int j) -> double& { return scratch.f[static_cast<std::size_t>(j - 1)]; };
    auto B = [&](int j) -> double& { return scratch.b[static_cast<std::size_t>(j - 1)]; };
    auto W = [&](int j) -> double& { return scratch.w[static_cast<std::size_t>(j - 1)]; };

    double p = 0.0;
    for (int j = 1; j <= n; ++j) p = p + X(j) * X(j);
    double P = p / static_cast<double>(n);
    if (n >= 1) F(1) = X(1);
    if (n >= 2) B(n - 1) = X(n);
    for (int j = 2; j <= n - 1; ++j) {
        F(j) = X(j);
        B(j - 1) = X(j);
    }
    for (int k = 1;; ++k) {
        double num = 0.0;
        double den = 0.0;
        for (int j = 1; j <= n - k; ++j) {
            num = num + F(j) * B(j);
            den = (den + F(j) * F(j)) + B(j) * B(j);
        }
        D(k) = 2.0 * num / den;
        P = (1.0 - D(k) * D(k)) * P;
        powers[static_cast<std::size_t>(k - 1)] = P;
        for (int i = 1; i <= k - 1; ++i) D(i) = W(i) - D(k) * W(k - i);
        if (k == maxOrder) return;
        for (int i = 1; i <= k; ++i) W(i) = D(i);
        for (int j = 1; j <= n - k - 1; ++j) {
            F(j) = F(j) - W(k) * B(j);
            B(j) = B(j + 1) - W(k) * F(j + 1);
        }
    }
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
