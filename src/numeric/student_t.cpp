// Student's t distribution; see student_t.hpp for the sources.
#include "numeric/student_t.hpp"

#include <cmath>
#include <limits>

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The continued fraction of I_x(a, b) (Abramowitz and Stegun 26.5.8) by the
// modified Lentz method, to full double precision.
double betaFraction(double a, double b, double x) {
    constexpr double tiny = 1e-300;
    constexpr double epsilon = std::numeric_limits<double>::epsilon();
    const double sum = a + b, up = a + 1.0, down = a - 1.0;
    double c = 1.0;
    double d = 1.0 - sum * x / up;
    d = 1.0 / (std::fabs(d) < tiny ? tiny : d);
    double h = d;
    for (int m = 1; m <= 100000; ++m) {
        const double dm = static_cast<double>(m), m2 = 2.0 * dm;
        // The even step, then the odd one, after which the fraction is tested.
        const double coefficients[2] = {dm * (b - dm) * x / ((down + m2) * (a + m2)),
                                        -(a + dm) * (sum + dm) * x / ((a + m2) * (up + m2))};
        for (const double coefficient : coefficients) {
            d = 1.0 + coefficient * d;
            d = 1.0 / (std::fabs(d) < tiny ? tiny : d);
            c = 1.0 + coefficient / c;
            if (std::fabs(c) < tiny) c = tiny;
            h = h * (d * c);
        }
        if (std::fabs(d * c - 1.0) <= epsilon) return h;
    }
    return h;
}

}  // namespace

double logGamma(double x) {
    if (!(x > 0.0)) return notANumber;
    double product = 1.0;  // x (x + 1) ... while below 10
    for (; x < 10.0; x = x + 1.0) product = product * x;
    const double shift = std::log(product);
    const double inverse = 1.0 / x, inverse2 = inverse * inverse;
    // 1/(12x) - 1/(360x^3) + 1/(1260x^5) - 1/(1680x^7) + 1/(1188x^9)
    // - 691/(360360x^11) + 1/(156x^13)
    const double series =
        inverse *
        (1.0 / 12.0 +
         inverse2 *
             (-1.0 / 360.0 +
              inverse2 * (1.0 / 1260.0 +
                          inverse2 * (-1.0 / 1680.0 +
                                      inverse2 * (1.0 / 1188.0 + inverse2 * (-691.0 / 360360.0 + inverse2 / 156.0))))));
    constexpr double halfLogTwoPi = 0.91893853320467274178;
    return (x - 0.5) * std::log(x) - x + halfLogTwoPi + series - shift;
}

double incompleteBeta(double a, double b, double x) {
    if (!(a > 0.0) || !(b > 0.0) || !(x >= 0.0) || !(x <= 1.0)) return notANumber;
    if (x == 0.0) return 0.0;
    if (x == 1.0) return 1.0;
    const double front = std::exp(logGamma(a + b) - logGamma(a) - logGamma(b) + a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1.0) / (a + b + 2.0)) return front * betaFraction(a, b, x) / a;
    return 1.0 - front * betaFraction(b, a, 1.0 - x) / b;
}

double studentTUpper(double t, double df) {
    if (std::isnan(t) || !(df > 0.0)) return notANumber;
    if (std::isinf(t)) return t > 0.0 ? 0.0 : 1.0;
    const double half = incompleteBeta(df / 2.0, 0.5, df / (df + t * t)) / 2.0;
    return t >= 0.0 ? half : 1.0 - half;
}

}  // namespace detrend::numeric
