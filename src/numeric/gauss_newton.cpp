// Gauss-Newton with step halving; see gauss_newton.hpp for the sources.
#include "numeric/gauss_newton.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::numeric {
namespace {

// Dependent columns: one whose part orthogonal to those before it is below
// this fraction of its norm (the rank tolerance of R's qr()).
constexpr double rankTolerance = 1e-7;

struct Problem {
    ModelFunction model;
    std::span<const double> y;
    std::size_t n;
    std::size_t p;
    FitScratch& s;
};

// The gradient at theta, whose values are in s.a, by forward differences
// into s.columns.
void gradient(const Problem& pr, std::span<const double> theta) {
    const double eps = std::sqrt(std::numeric_limits<double>::epsilon());
    std::array<double, maxModelParameters> moved{};
    const std::size_t n = pr.n;
    for (std::size_t j = 0; j < pr.p; ++j) {
        std::copy(theta.begin(), theta.end(), moved.begin());
        moved[j] = theta[j] + (theta[j] == 0.0 ? eps : std::fabs(theta[j]) * eps);
        const double h = moved[j] - theta[j];  // the step as represented
        const double* u = pr.s.shape.data();
        if (j > 0 && j + 1 < pr.p) {  // a shape parameter: the shape again
            pr.model(std::span(moved.data(), pr.p), std::span(pr.s.e.data(), n));
            u = pr.s.e.data();
        }
        const double scale = moved[0], offset = moved[pr.p - 1];
        for (std::size_t i = 0; i < n; ++i) pr.s.columns[j * n + i] = ((scale * u[i] + offset) - pr.s.a[i]) / h;
    }
}

// The model at theta: values in s.a, residuals in s.b; returns the
// residual sum of squares.
double evaluate(const Problem& pr, std::span<const double> theta) {
    pr.model(theta, std::span(pr.s.shape.data(), pr.n));
    const double scale = theta[0], offset = theta[pr.p - 1];
    double sum = 0.0;
    for (std::size_t i = 0; i < pr.n; ++i) {
        pr.s.a[i] = scale * pr.s.shape[i] + offset;
        pr.s.b[i] = pr.y[i] - pr.s.a[i];
        sum = sum + pr.s.b[i] * pr.s.b[i];
    }
    return sum;
}

double dot(const double* u, const double* v, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum = sum + u[i] * v[i];
    return sum;
}

// Householder QR of the free columns of the gradient (copied to s.d) and
// Q'r (in s.c). Fills `free` with the indices of the free parameters and
// rDiag with R's diagonal; false when the columns are dependent.
bool factor(const Problem& pr, std::span<const bool> held, std::array<std::size_t, maxModelParameters>& free,
            std::size_t& freeCount, std::array<double, maxModelParameters>& rDiag) {
    const std::size_t n = pr.n;
    freeCount = 0;
    for (std::size_t j = 0; j < pr.p; ++j) {
        if (held[j]) continue;
        std::copy_n(pr.s.columns.begin() + static_cast<std::ptrdiff_t>(j * n), n,
                    pr.s.d.begin() + static_cast<std::ptrdiff_t>(freeCount * n));
        free[freeCount++] = j;
    }
    std::copy_n(pr.s.e.begin(), n, pr.s.c.begin());
    for (std::size_t k = 0; k < freeCount; ++k) {
        double* v = pr.s.d.data() + k * n;
        const double whole = std::sqrt(dot(v, v, n));
        const double norm = std::sqrt(dot(v + k, v + k, n - k));
        if (!(norm > rankTolerance * whole)) return false;
        const double alpha = v[k] > 0.0 ? -norm : norm;
        v[k] = v[k] - alpha;  // the reflector u = x - alpha e_k, stored over the column
        const double uu = dot(v + k, v + k, n - k);
        for (std::size_t j = k + 1; j < freeCount; ++j) {
            double* w = pr.s.d.data() + j * n;
            const double f = 2.0 * dot(v + k, w + k, n - k) / uu;
            for (std::size_t i = k; i < n; ++i) w[i] = w[i] - f * v[i];
        }
        const double f = 2.0 * dot(v + k, pr.s.c.data() + k, n - k) / uu;
        for (std::size_t i = k; i < n; ++i) pr.s.c[i] = pr.s.c[i] - f * v[i];
        rDiag[k] = alpha;
    }
    return true;
}

// The parameters held at a bound: those there whose descent direction,
// the sign of (J'r)_j, points out of the box.
void holdAtBounds(const Problem& pr, std::span<const double> theta, const GaussNewtonOptions& options,
                  std::span<bool> held) {
    for (std::size_t j = 0; j < pr.p; ++j) {
        held[j] = false;
        if (!options.bounded) continue;
        const double descent = dot(pr.s.columns.data() + j * pr.n, pr.s.b.data(), pr.n);
        held[j] = (theta[j] <= options.lower[j] && descent <= 0.0) || (theta[j] >= options.upper[j] && descent >= 0.0);
    }
}

// A free parameter whose whole increment would carry it out of the box:
// moved to the bound it crosses (the one crossing farthest, in proportion to
// its step) and held there, the residuals the others reduce in s.e
// corrected by the linearised effect of that move (Stark, P. B. and Parker,
// R. L. (1995), Bounded-variable least squares: an algorithm and
// applications, Computational Statistics 10, 129-141). False when none.
bool moveToBound(const Problem& pr, std::span<const double> theta, const GaussNewtonOptions& options,
                 const std::array<std::size_t, maxModelParameters>& free, std::size_t freeCount,
                 const std::array<double, maxModelParameters>& increment, std::array<bool, maxModelParameters>& held,
                 std::array<bool, maxModelParameters>& moved, std::array<double, maxModelParameters>& target) {
    std::size_t crossing = pr.p;
    double farthest = 1.0;
    double bound = 0.0;
    for (std::size_t k = 0; k < freeCount; ++k) {
        const std::size_t j = free[k];
        const double next = theta[j] + increment[k];
        const double b = next < options.lower[j] ? options.lower[j] : next > options.upper[j] ? options.upper[j] : next;
        if (b == next) continue;
        const double reach = increment[k] / (b - theta[j]);  // > 1: how far beyond the bound the step goes
        if (reach > farthest || crossing == pr.p) crossing = j, farthest = reach, bound = b;
    }
    if (crossing == pr.p) return false;
    held[crossing] = moved[crossing] = true;
    target[crossing] = bound;
    const double shift = bound - theta[crossing];
    const double* column = pr.s.columns.data() + crossing * pr.n;
    for (std::size_t i = 0; i < pr.n; ++i) pr.s.e[i] = pr.s.e[i] - column[i] * shift;
    return true;
}

// The increment of the free parameters from R and Q'r.
void solve(const Problem& pr, std::size_t freeCount, const std::array<double, maxModelParameters>& rDiag,
           std::array<double, maxModelParameters>& increment) {
    const std::size_t n = pr.n;
    for (std::size_t k = freeCount; k-- > 0;) {
        double v = pr.s.c[k];
        for (std::size_t j = k + 1; j < freeCount; ++j) v = v - pr.s.d[j * n + k] * increment[j];
        increment[k] = v / rDiag[k];
    }
}

}  // namespace

GaussNewtonStatus gaussNewton(ModelFunction model, std::span<const double> y, std::span<double> theta,
                              const GaussNewtonOptions& options, FitScratch& scratch) {
    const std::size_t n = y.size(), p = theta.size();
    for (auto* v : {&scratch.a, &scratch.b, &scratch.c, &scratch.e, &scratch.shape}) v->resize(n);
    scratch.d.resize(n * p);
    scratch.columns.resize(n * p);
    const Problem pr{model, y, n, p, scratch};
    if (options.bounded)
        for (std::size_t j = 0; j < p; ++j) theta[j] = std::clamp(theta[j], options.lower[j], options.upper[j]);
    const double exact = 1e-12 * std::sqrt(dot(y.data(), y.data(), n));
    double deviance = evaluate(pr, theta);
    gradient(pr, theta);
    double factorNow = 1.0;
    std::array<bool, maxModelParameters> held{};
    std::array<std::size_t, maxModelParameters> free{};
    std::array<double, maxModelParameters> rDiag{}, increment{}, trial{};
    for (int iteration = 0; iteration < options.maxIterations; ++iteration) {
        holdAtBounds(pr, theta, options, std::span(held.data(), p));
        std::array<double, maxModelParameters> target{};  // where a parameter moved to its bound goes
        std::array<bool, maxModelParameters> moved{};
        std::copy_n(scratch.b.begin(), n, scratch.e.begin());  // the residuals the increment reduces
        std::size_t freeCount = 0;
        for (std::size_t pass = 0; pass <= p; ++pass) {
            if (!factor(pr, std::span(held.data(), p), free, freeCount, rDiag))
                return GaussNewtonStatus::singularGradient;
            if (pass == 0) {
                const double along = dot(scratch.c.data(), scratch.c.data(), freeCount);
                const double across = dot(scratch.c.data() + freeCount, scratch.c.data() + freeCount, n - freeCount);
                if (std::sqrt(along / across) <= options.tolerance || std::sqrt(along + across) <= exact)
                    return GaussNewtonStatus::converged;
            }
            solve(pr, freeCount, rDiag, increment);
            if (!options.bounded || !moveToBound(pr, theta, options, free, freeCount, increment, held, moved, target))
                break;
        }
        for (;;) {
            if (factorNow < options.minFactor) return GaussNewtonStatus::stepFactorTooSmall;
            std::copy_n(theta.begin(), p, trial.begin());
            for (std::size_t k = 0; k < freeCount; ++k) trial[free[k]] = theta[free[k]] + factorNow * increment[k];
            for (std::size_t j = 0; j < p; ++j) {
                if (moved[j]) trial[j] = theta[j] + factorNow * (target[j] - theta[j]);
                if (options.bounded) trial[j] = std::clamp(trial[j], options.lower[j], options.upper[j]);
            }
            const double next = evaluate(pr, std::span(trial.data(), p));
            if (next <= deviance) {
                deviance = next;
                std::copy_n(trial.begin(), p, theta.begin());
                gradient(pr, theta);
                factorNow = std::min(2.0 * factorNow, 1.0);
                break;
            }
            factorNow = factorNow / 2.0;
        }
    }
    return GaussNewtonStatus::iterationLimit;
}

}  // namespace detrend::numeric
