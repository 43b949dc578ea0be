#include "numeric/extend.hpp"

#include <algorithm>

namespace detrend::numeric {

void extend(std::span<float> x, int n, int k, std::span<const double> d, int m, int direction) {
    if (k <= 0) return;
    const long long size = static_cast<long long>(x.size());
    if (2LL * k + n > size || n < 0) return;

    const bool forward = direction == 0 || direction == 1;
    const bool backward = direction == 0 || direction == -1;
    auto X = [&](long long t) { return static_cast<double>(x[static_cast<std::size_t>(t - 1)]); };
    for (int i = 1; i <= k; ++i) {
        const long long tf = static_cast<long long>(k) + n + i;  // 1-based positions
        const long long tb = static_cast<long long>(k) + 1 - i;
        const long long lastForward = std::min<long long>(m, tf - 1);  // keeps tf - j >= 1
        const long long lastBackward = std::min<long long>(m, size - tb);  // keeps tb + j <= size
        double sf = 0.0;
        double sb = 0.0;
        for (int j = 1; j <= m; ++j) {
            const double dj = d[static_cast<std::size_t>(j - 1)];
            if (forward && j <= lastForward) sf = sf + X(tf - j) * dj;
            if (backward && j <= lastBackward) sb = sb + X(tb + j) * dj;
        }
        x[static_cast<std::size_t>(tf - 1)] = static_cast<float>(sf);
        x[static_cast<std::size_t>(tb - 1)] = static_cast<float>(sb);
    }
}

}  // namespace detrend::numeric
