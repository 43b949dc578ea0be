// Burg recursion for the prediction-error filter, in the form of
// Andersen, N. (1974), On the calculation of filter coefficients for maximum
// entropy spectral analysis, Geophysics 39, 69-72; after Burg, J. P. (1967),
// Maximum entropy spectral analysis.
#include "numeric/pefilter.hpp"

namespace detrend::numeric {

bool pefilter(std::span<const float> x, int n, int m, double& P, std::span<double> d, std::span<double> f,
              std::span<double> b, std::span<double> w) {
    // 1-based views of the arrays, as in the recursion's usual statement.
    auto X = [&](int j) { return static_cast<double>(x[static_cast<std::size_t>(j - 1)]); };
    auto D = [&](int j) -> double& { return d[static_cast<std::size_t>(j - 1)]; };
    auto F = [&](int j) -> double& { return f[static_cast<std::size_t>(j - 1)]; };
    auto B = [&](int j) -> double& { return b[static_cast<std::size_t>(j - 1)]; };
    auto W = [&](int j) -> double& { return w[static_cast<std::size_t>(j - 1)]; };

    double p = 0.0;
    for (int j = 1; j <= n; ++j) p = p + X(j) * X(j);
    P = p / static_cast<double>(n);

    // f holds the first n-1 values, b the last n-1.
    if (n >= 1) F(1) = X(1);
    if (n >= 2) B(n - 1) = X(n);
    for (int j = 2; j <= n - 1; ++j) {
        F(j) = X(j);
        B(j - 1) = X(j);
    }

    if (m <= 0) return false;

    for (int k = 1;; ++k) {
        double num = 0.0;
        double den = 0.0;
        for (int j = 1; j <= n - k; ++j) {
            num = num + F(j) * B(j);
            den = (den + F(j) * F(j)) + B(j) * B(j);
        }
        D(k) = 2.0 * num / den;
        P = (1.0 - D(k) * D(k)) * P;
        for (int i = 1; i <= k - 1; ++i) D(i) = W(i) - D(k) * W(k - i);
        if (k == m) return true;

        for (int i = 1; i <= k; ++i) W(i) = D(i);
        for (int j = 1; j <= n - k - 1; ++j) {
            F(j) = F(j) - W(k) * B(j);
            B(j) = B(j + 1) - W(k) * F(j + 1);
        }
    }
}

}  // namespace detrend::numeric
