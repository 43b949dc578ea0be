// Yule-Walker autoregression and prewhitening; see autoregression.hpp for the
// sources.
#include "numeric/autoregression.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::numeric {
namespace {

double meanOf(std::span<const double> x) {
    double sum = 0.0;
    for (double v : x) sum = sum + v;
    return sum / static_cast<double>(x.size());
}

}  // namespace

Autoregression fitAutoregression(std::span<const double> x) {
    Autoregression fit;
    const std::size_t n = x.size();
    if (n == 0) return fit;
    fit.mean = meanOf(x);
    const double count = static_cast<double>(n);
    const int most = static_cast<int>(std::min(count - 1.0, std::floor(10.0 * std::log10(count))));

    std::vector<double> d(n);
    for (std::size_t t = 0; t < n; ++t) d[t] = x[t] - fit.mean;
    std::vector<double> c(static_cast<std::size_t>(most) + 1);
    for (std::size_t k = 0; k < c.size(); ++k) {
        double sum = 0.0;
        for (std::size_t t = 0; t + k < n; ++t) sum = sum + d[t] * d[t + k];
        c[k] = sum / count;
    }

    // phi[j - 1] holds phi_{k,j} of the current order k.
    std::vector<double> phi, previous;
    double variance = c[0];
    double best = count * std::log(variance);
    fit.variance = variance;
    for (int k = 1; k <= most && variance > 0.0; ++k) {
        previous = phi;
        double a = c[static_cast<std::size_t>(k)];
        for (int j = 1; j < k; ++j)
            a = a - previous[static_cast<std::size_t>(j - 1)] * c[static_cast<std::size_t>(k - j)];
        const double kappa = a / variance;
        phi.resize(static_cast<std::size_t>(k));
        for (int j = 1; j < k; ++j)
            phi[static_cast<std::size_t>(j - 1)] =
                previous[static_cast<std::size_t>(j - 1)] - kappa * previous[static_cast<std::size_t>(k - j - 1)];
        phi[static_cast<std::size_t>(k - 1)] = kappa;
        variance = variance * (1.0 - kappa * kappa);
        if (!(variance >= 0.0)) break;
        const double aic = count * std::log(variance) + 2.0 * k;
        if (aic < best) {
            best = aic;
            fit.order = k;
            fit.coefficients = phi;
            fit.variance = variance;
        }
    }
    return fit;
}

Autoregression prewhiten(std::span<const double> x, std::span<double> out) {
    Autoregression fit = fitAutoregression(x);
    const auto p = static_cast<std::size_t>(fit.order);
    for (std::size_t t = 0; t < x.size(); ++t) {
        if (t < p) {
            out[t] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        double e = x[t] - fit.mean;
        for (std::size_t k = 1; k <= p; ++k) e = e - fit.coefficients[k - 1] * (x[t - k] - fit.mean);
        out[t] = e + fit.mean;
    }
    return fit;
}

}  // namespace detrend::numeric
