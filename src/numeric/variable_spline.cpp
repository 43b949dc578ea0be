// The smoothing spline with a stiffness per point; see variable_spline.hpp.
#include "numeric/variable_spline.hpp"

#include <cmath>
#include <numbers>

namespace detrend::numeric {

double splineParameter(double nyrs) {
    const double c = std::cos(2.0 * std::numbers::pi / nyrs);
    return 6.0 * (1.0 - c) * (1.0 - c) / (2.0 + c);
}

bool variableSpline(std::span<const double> y, std::span<const double> nyrs, std::span<double> s,
                    std::vector<double>& work) {
    const std::size_t n = y.size();
    if (n < 4) return false;
    const std::size_t m = n - 2;
    work.resize(4 * m);
    // The band Cholesky factor L: l0 its diagonal, l1 and l2 the first and
    // second subdiagonals (row k: L(k,k), L(k,k-1), L(k,k-2)); x the
    // right-hand side and then the solution.
    double* l0 = work.data();
    double* l1 = l0 + m;
    double* l2 = l1 + m;
    double* x = l2 + m;
    for (std::size_t k = 0; k < m; ++k) {
        const double p = splineParameter(nyrs[k]);
        const double diagonal = 6.0 + (4.0 / 3.0) * p;  // A(k,k)
        const double beside = k >= 1 ? -4.0 + p / 3.0 : 0.0;  // A(k,k-1)
        const double farther = k >= 2 ? 1.0 : 0.0;  // A(k,k-2)
        l2[k] = k >= 2 ? farther / l0[k - 2] : 0.0;
        l1[k] = k >= 1 ? (beside - (k >= 2 ? l2[k] * l1[k - 1] : 0.0)) / l0[k - 1] : 0.0;
        const double pivot = diagonal - l1[k] * l1[k] - l2[k] * l2[k];
        if (!(pivot > 0.0)) return false;
        l0[k] = std::sqrt(pivot);
    }
    for (std::size_t k = 0; k < m; ++k) {
        double v = (y[k] - 2.0 * y[k + 1]) + y[k + 2];
        if (k >= 1) v = v - l1[k] * x[k - 1];
        if (k >= 2) v = v - l2[k] * x[k - 2];
        x[k] = v / l0[k];
    }
    for (std::size_t k = m; k-- > 0;) {
        double v = x[k];
        if (k + 1 < m) v = v - l1[k + 1] * x[k + 1];
        if (k + 2 < m) v = v - l2[k + 2] * x[k + 2];
        x[k] = v / l0[k];
    }
    for (std::size_t i = 0; i < n; ++i) {  // s = y - Q x
        double qx = 0.0;
        if (i < m) qx = qx + x[i];
        if (i >= 1 && i - 1 < m) qx = qx - 2.0 * x[i - 1];
        if (i >= 2) qx = qx + x[i - 2];
        s[i] = y[i] - qx;
    }
    return true;
}

}  // namespace detrend::numeric
