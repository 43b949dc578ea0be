// Nonlinear least squares by the Gauss-Newton method with step halving, as
// Bates, D. M. and Watts, D. G. (1988), Nonlinear Regression Analysis and
// Its Applications, Wiley, section 2.2, describe it and R's nls() applies it
// by default: each increment is the least-squares solution of the
// linearised problem (a Householder QR of the gradient), taken whole or
// halved until the residual sum of squares does not grow; the factor
// doubles again (to at most 1) after each accepted step. Converged when the
// relative offset of Bates, D. M. and Watts, D. G. (1981), A relative offset
// orthogonality convergence criterion for nonlinear least squares,
// Technometrics 23, 179-183, is at most the tolerance: sqrt(|Q1'r|^2 /
// |Q2'r|^2), Q1 spanning the gradient's columns and Q2 the rest, in the
// unscaled form of nls(). The gradient is taken by forward differences, as
// nls() takes it, with the step sqrt(machine epsilon) |theta_j| (that
// epsilon for 0) divided by as represented, (theta_j + h) - theta_j
// (Dennis, J. E. and Schnabel, R. B. (1983), Numerical Methods for
// Unconstrained Optimization and Nonlinear Equations, Prentice-Hall,
// section 5.4): on ill-conditioned series the point where the relative
// offset first falls below the tolerance depends on the gradient's last
// digits, and these differences follow the published fits most closely.
//
// With bounds, the method is a projected Gauss-Newton with an active set
// (Bertsekas, D. P. (1982), Projected Newton methods for optimization
// problems with simple constraints, SIAM J. Control Optim. 20, 221-246):
// a parameter at a bound that the descent direction of the sum of squares
// would carry beyond it is held there, the increment is solved for the
// others; a parameter the increment would carry out of the box is moved to
// its bound and held, and the increment solved again for the rest; every
// trial point is projected into the box.
#pragma once

#include <array>
#include <limits>
#include <span>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

inline constexpr int maxModelParameters = 4;

// The models fitted: f(t) = theta_0 u(t) + theta_last, t = 1..n, a scale
// times a shape plus an offset. The function writes the shape u at
// t = 1..n to u[0..n) for the parameters theta (it reads the middle ones).
// The forward differences in the scale and the offset come from u without
// evaluating it again, in the bits a new evaluation would give.
using ModelFunction = void (*)(std::span<const double> theta, std::span<double> u);

struct GaussNewtonOptions {
    int maxIterations = 50;
    double minFactor = 1.0 / 1024.0;
    double tolerance = 1e-5;
    // Per parameter; infinite: no bound.
    std::array<double, maxModelParameters> lower, upper;
    bool bounded = false;
    GaussNewtonOptions() {
        lower.fill(-std::numeric_limits<double>::infinity());
        upper.fill(std::numeric_limits<double>::infinity());
    }
};

enum class GaussNewtonStatus {
    converged,
    singularGradient,  // the gradient's columns are dependent (relative tolerance 1e-7)
    stepFactorTooSmall,  // no step of factor >= minFactor reduced the sum of squares
    iterationLimit,  // not converged after maxIterations increments
};

// Fits the model with theta.size() <= maxModelParameters parameters to
// y[0..n), starting from theta and leaving the last point reached in it,
// and the model's values there in scratch.a. Uses scratch.a to .e and
// .columns. An exact fit (residuals at rounding level, below 1e-12 |y|)
// counts as converged, where the relative offset is rounding noise over
// rounding noise.
GaussNewtonStatus gaussNewton(ModelFunction model, std::span<const double> y, std::span<double> theta,
                              const GaussNewtonOptions& options, FitScratch& scratch);

}  // namespace detrend::numeric
