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
// unscaled form of nls(). Far from convergence the gradient is the model's
// own partial derivatives, which share the model's exponentials; once the
// relative offset is at most GaussNewtonOptions::differencesFrom it is taken
// by forward differences for the rest of the fit, as nls() takes it, with
// the step sqrt(machine epsilon) |theta_j| (that epsilon for 0) divided by
// as represented, (theta_j + h) - theta_j (Dennis, J. E. and Schnabel, R. B.
// (1983), Numerical Methods for Unconstrained Optimization and Nonlinear
// Equations, Prentice-Hall, section 5.4). Every decision to stop is thus
// made with the differences: on ill-conditioned series their error keeps
// the relative offset above the tolerance, and the fit fails where the
// published fits fail (chin008 WUY07A's negative exponential ends as a
// line), which exact derivatives would let converge. Where the relative
// offset first falls below the tolerance still depends on the gradient's
// last digits: a fit that converges slowly may stop an iteration earlier or
// later than the published one.
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
// times a shape plus an offset, the shape depending on the middle
// parameters. `logs` holds ln t for t = 1..n (at least n values) for the
// models that use it.
struct NonlinearModel {
    // The shape u at t = 1..n into u[0..n) for the parameters theta.
    void (*shape)(std::span<const double> theta, std::span<const double> logs, std::span<double> u);
    // The partial derivatives of the shape in theta_1 .. theta_{p-2} at
    // t = 1..n, given the shape u there: the one in theta_j into
    // du[(j - 1) n, j n).
    void (*slopes)(std::span<const double> theta, std::span<const double> logs, std::span<const double> u,
                   std::span<double> du);
};

// e^x for each x into out[0..x.size()) (out may be x), within one unit in
// the last place, in the same bits on every processor; for the models'
// shapes. expOfBaseline: the same without the vector instructions of the
// processor it runs on, to compare with.
void expOf(std::span<const double> x, std::span<double> out);
void expOfBaseline(std::span<const double> x, std::span<double> out);

struct GaussNewtonOptions {
    int maxIterations = 50;
    double minFactor = 1.0 / 1024.0;
    double tolerance = 1e-5;
    // Per parameter; infinite: no bound.
    std::array<double, maxModelParameters> lower, upper;
    bool bounded = false;
    // The gradient is the model's own until the relative offset is at most
    // this, then by forward differences (0: never; infinity: from the start).
    double differencesFrom = 1e-3;
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
// and the model's values there in scratch.a. Uses scratch.a to .e,
// .shape and .columns, and keeps ln t in scratch.logs from call to call. An exact fit (residuals at rounding level,
// below 1e-12 |y|) counts as converged, where the relative offset is rounding noise over rounding noise.
GaussNewtonStatus gaussNewton(const NonlinearModel& model, std::span<const double> y, std::span<double> theta,
                              const GaussNewtonOptions& options, FitScratch& scratch);

}  // namespace detrend::numeric
