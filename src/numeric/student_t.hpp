// Student's t distribution through the regularized incomplete beta function
// (Abramowitz, M. and Stegun, I. A. (1964), Handbook of Mathematical
// Functions, 26.7.1 and 26.5.8), the continued fraction evaluated by the
// modified Lentz method as in Press, W. H., Teukolsky, S. A., Vetterling,
// W. T. and Flannery, B. P. (2007), Numerical Recipes, 3rd ed., section 6.4;
// the log gamma function from Stirling's series (Abramowitz and Stegun 6.1.41).
#pragma once

namespace detrend::numeric {

// ln Gamma(x) for x > 0: Stirling's series to the term in x^-13 at x >= 10,
// reached from smaller x by Gamma(x) = Gamma(x + k) / (x (x + 1) ... (x + k - 1)).
// Relative error below 1e-15 of the result's magnitude; NaN for x <= 0.
double logGamma(double x);

// The regularized incomplete beta function I_x(a, b), a, b > 0, 0 <= x <= 1:
// the continued fraction for I_x(a, b) where x < (a + 1) / (a + b + 2),
// otherwise 1 - I_{1-x}(b, a). NaN outside the domain.
double incompleteBeta(double a, double b, double x);

// P(T > t) for T of Student's t distribution with df > 0 degrees of freedom:
// I_{df / (df + t^2)}(df / 2, 1 / 2) / 2 for t >= 0, one minus that for
// t < 0; 0 for t = +infinity, 1 for -infinity, NaN for a NaN t or df <= 0.
double studentTUpper(double t, double df);

}  // namespace detrend::numeric
