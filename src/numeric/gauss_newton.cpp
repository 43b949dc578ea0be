// Gauss-Newton with step halving; see gauss_newton.hpp for the sources.
#include "numeric/gauss_newton.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "numeric/lanes.hpp"

namespace detrend::numeric {
namespace {

// Dependent columns: one whose part orthogonal to those before it is below
// this fraction of its norm (the rank tolerance of R's qr()).
constexpr double rankTolerance = 1e-7;

struct Problem {
    const NonlinearModel& model;
    std::span<const double> y;
    std::size_t n;
    std::size_t p;
    FitScratch& s;
    bool differences;
    // The gradient: s.columns with bounds, which the active set reads;
    // without, s.d, factored where it is.
    double* columns;
};

// u . v over count values in eight partial sums (two vectors of four lanes,
// lanes.hpp) added in a fixed order at the end, so that the additions need
// not wait on each other; the same bits with AVX2 and without.
[[gnu::always_inline]] inline double dotBody(const double* u, const double* v, std::size_t count) {
    lanes::Lanes s0{}, s1{}, a, b;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        lanes::load(a, u + i);
        lanes::load(b, v + i);
        s0 = s0 + a * b;
        lanes::load(a, u + i + 4);
        lanes::load(b, v + i + 4);
        s1 = s1 + a * b;
    }
    double tail = 0.0;
    for (; i < count; ++i) tail = tail + u[i] * v[i];
    const lanes::Lanes sum = s0 + s1;
    return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + tail;
}

// w[0..count) -= f v[0..count).
[[gnu::always_inline]] inline void subtractBody(double* w, double f, const double* v, std::size_t count) {
    lanes::Lanes a, b, fl;
    lanes::broadcast(fl, f);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        lanes::load(a, w + i);
        lanes::load(b, v + i);
        lanes::store(w + i, a - fl * b);
    }
    for (; i < count; ++i) w[i] = w[i] - f * v[i];
}

[[gnu::target("avx2")]] double dotAvx2(const double* u, const double* v, std::size_t count) {
    return dotBody(u, v, count);
}
double dotBaseline(const double* u, const double* v, std::size_t count) { return dotBody(u, v, count); }
[[gnu::target("avx2")]] void subtractAvx2(double* w, double f, const double* v, std::size_t count) {
    subtractBody(w, f, v, count);
}
void subtractBaseline(double* w, double f, const double* v, std::size_t count) { subtractBody(w, f, v, count); }

double dot(const double* u, const double* v, std::size_t count) {
    static const auto best = __builtin_cpu_supports("avx2") ? dotAvx2 : dotBaseline;
    return best(u, v, count);
}

void subtract(double* w, double f, const double* v, std::size_t count) {
    static const auto best = __builtin_cpu_supports("avx2") ? subtractAvx2 : subtractBaseline;
    best(w, f, v, count);
}

// e^x in four lanes: x = k ln 2 + r with |r| <= ln 2 / 2 (Cody, W. J. and
// Waite, W. (1980), Software Manual for the Elementary Functions,
// Prentice-Hall, chapter 6: ln 2 in two parts, the first exact in k ln 2),
// e^r by its Taylor polynomial to r^13 (the remainder below 5e-18), and 2^k
// put in the exponent's bits. Within one unit in the last place; x outside
// [-708, 709] (a result below the normal range or above the largest) and
// NaN from std::exp.
typedef long long LongLanes __attribute__((vector_size(32)));

[[gnu::always_inline]] inline void expBlock(const double* x, double* out) {
    constexpr double log2e = 1.4426950408889634, ln2High = 6.93147180369123816490e-01,
                     ln2Low = 1.90821492927058770002e-10;
    constexpr double shifter = 6755399441055744.0;  // 1.5 2^52: adding it leaves round(v) in the low bits
    lanes::Lanes v, low, high;
    lanes::load(v, x);
    lanes::broadcast(low, -708.0);
    lanes::broadcast(high, 709.0);
    const lanes::Lanes clamped = v < low ? low : v > high ? high : v;  // NaN: high, replaced below
    const lanes::Lanes t = clamped * log2e + shifter;
    const lanes::Lanes k = t - shifter;
    const lanes::Lanes r = (clamped - k * ln2High) - k * ln2Low;
    lanes::Lanes p = r * (1.0 / 6227020800.0) + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    const lanes::Lanes er = 1.0 + (r + (r * r) * p);
    LongLanes bits;
    std::memcpy(&bits, &t, sizeof bits);
    bits = (bits + 1023) << 52;  // the low bits of t hold k: 2^k
    lanes::Lanes scale;
    std::memcpy(&scale, &bits, sizeof scale);
    lanes::Lanes result = er * scale;
    const LongLanes outside = (v < low) | !(v <= high);
    if ((outside[0] | outside[1] | outside[2] | outside[3]) != 0)
        for (int l = 0; l < lanes::width; ++l)  // e^x < 2^-1074 / 2 rounds to 0
            if (outside[l] != 0) result[l] = v[l] < -746.0 ? 0.0 : std::exp(v[l]);
    lanes::store(out, result);  // out may be x
}

[[gnu::always_inline]] inline void expBody(const double* x, double* out, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) expBlock(x + i, out + i);
    if (i == count) return;
    double in[4] = {0.0, 0.0, 0.0, 0.0}, result[4];
    std::copy(x + i, x + count, in);
    expBlock(in, result);
    std::copy_n(result, count - i, out + i);
}

[[gnu::target("avx2")]] void expAvx2(const double* x, double* out, std::size_t count) { expBody(x, out, count); }
void expBaseline(const double* x, double* out, std::size_t count) { expBody(x, out, count); }

// The gradient at theta, whose shape is in s.shape and values in s.a, into
// pr.columns: d/dtheta_0 = u, d/dtheta_j = theta_0 du/dtheta_j for the shape
// parameters, d/dtheta_last = 1; or by forward differences.
void gradient(const Problem& pr, std::span<const double> theta) {
    const std::size_t n = pr.n, p = pr.p;
    double* const columns = pr.columns;
    if (pr.differences) {
        const double eps = std::sqrt(std::numeric_limits<double>::epsilon());
        std::array<double, maxModelParameters> moved{};
        for (std::size_t j = 0; j < p; ++j) {
            std::copy(theta.begin(), theta.end(), moved.begin());
            moved[j] = theta[j] + (theta[j] == 0.0 ? eps : std::fabs(theta[j]) * eps);
            const double h = moved[j] - theta[j];  // the step as represented
            const double* u = pr.s.shape.data();
            if (j > 0 && j + 1 < p) {  // a shape parameter: the shape again
                pr.model.shape(std::span(moved.data(), p), pr.s.logs, std::span(pr.s.e.data(), n));
                u = pr.s.e.data();
            }
            const double scale = moved[0], offset = moved[p - 1];
            for (std::size_t i = 0; i < n; ++i) columns[j * n + i] = ((scale * u[i] + offset) - pr.s.a[i]) / h;
        }
        return;
    }
    std::copy_n(pr.s.shape.begin(), n, columns);
    if (p > 2) pr.model.slopes(theta, pr.s.logs, std::span(pr.s.shape.data(), n), std::span(columns + n, (p - 2) * n));
    const double scale = theta[0];
    for (std::size_t i = n; i < (p - 1) * n; ++i) columns[i] = scale * columns[i];
    std::fill_n(columns + (p - 1) * n, n, 1.0);
}

// The model at theta: shape in s.shape, values in s.a, residuals in s.b;
// returns the residual sum of squares.
double evaluate(const Problem& pr, std::span<const double> theta) {
    pr.model.shape(theta, pr.s.logs, std::span(pr.s.shape.data(), pr.n));
    const double scale = theta[0], offset = theta[pr.p - 1];
    for (std::size_t i = 0; i < pr.n; ++i) {
        pr.s.a[i] = scale * pr.s.shape[i] + offset;
        pr.s.b[i] = pr.y[i] - pr.s.a[i];
    }
    return dot(pr.s.b.data(), pr.s.b.data(), pr.n);
}

// Householder QR of the free columns of the gradient (in s.d) and Q'r (in
// s.c) for the residuals r. Fills `free` with the indices of the free parameters and
// rDiag with R's diagonal; false when the columns are dependent. Each
// reflector u = x - alpha e_k has |u|^2 = 2 |alpha| (|alpha| + |x_k|);
// reflections keep a column's norm, so the rank test compares with the
// norm of the gradient's column itself.
bool factor(const Problem& pr, std::span<const bool> held, const double* r,
            std::array<std::size_t, maxModelParameters>& free, std::size_t& freeCount,
            std::array<double, maxModelParameters>& rDiag) {
    const std::size_t n = pr.n;
    std::array<double, maxModelParameters> squares{};
    freeCount = 0;
    for (std::size_t j = 0; j < pr.p; ++j) {
        if (held[j]) continue;
        double* column = pr.s.d.data() + freeCount * n;
        if (pr.columns + j * n != column) std::copy_n(pr.columns + j * n, n, column);
        squares[freeCount] = dot(column, column, n);
        free[freeCount++] = j;
    }
    std::copy_n(r, n, pr.s.c.begin());
    double below = squares[0];  // |x[k..n)|^2 of the column reflected next
    for (std::size_t k = 0; k < freeCount; ++k) {
        double* v = pr.s.d.data() + k * n;
        const double norm = std::sqrt(below);
        if (!(norm > rankTolerance * std::sqrt(squares[k]))) return false;
        const double alpha = v[k] > 0.0 ? -norm : norm;
        const double uu = 2.0 * norm * (norm + std::fabs(v[k]));
        v[k] = v[k] - alpha;  // the reflector, stored over the column
        for (std::size_t j = k + 1; j <= freeCount; ++j) {  // the later columns, then Q'r
            double* w = j < freeCount ? pr.s.d.data() + j * n : pr.s.c.data();
            const double f = 2.0 * dot(v + k, w + k, n - k) / uu;
            subtract(w + k, f, v + k, n - k);
            if (j == k + 1 && j < freeCount) below = dot(w + j, w + j, n - j);
        }
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
        const double descent = dot(pr.columns + j * pr.n, pr.s.b.data(), pr.n);
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
    const double* column = pr.columns + crossing * pr.n;
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

// One increment: the parameters held, those free, R's diagonal and the
// increment of the free ones, those moved to a bound and where to.
struct Step {
    std::array<bool, maxModelParameters> held{}, moved{};
    std::array<std::size_t, maxModelParameters> free{};
    std::size_t freeCount = 0;
    std::array<double, maxModelParameters> rDiag{}, increment{}, target{};
    double offset = 0.0;  // the relative offset at theta
    double size = 0.0;  // |r|
};

// Factors the gradient at theta, whose residuals are in s.b, for the
// parameters not held at a bound, and the relative offset there; false when
// the columns are dependent.
bool factorAt(const Problem& pr, std::span<const double> theta, const GaussNewtonOptions& options, Step& step) {
    holdAtBounds(pr, theta, options, std::span(step.held.data(), pr.p));
    step.moved = {};
    if (options.bounded) std::copy_n(pr.s.b.begin(), pr.n, pr.s.e.begin());  // the residuals the increment reduces
    const double* r = options.bounded ? pr.s.e.data() : pr.s.b.data();
    if (!factor(pr, std::span(step.held.data(), pr.p), r, step.free, step.freeCount, step.rDiag)) return false;
    const double* c = pr.s.c.data();
    const double along = dot(c, c, step.freeCount);
    const double across = dot(c + step.freeCount, c + step.freeCount, pr.n - step.freeCount);
    step.offset = std::sqrt(along / across);
    step.size = std::sqrt(along + across);
    return true;
}

// The increment from the factors; with bounds, a parameter it would carry
// out of the box moved to its bound and the rest solved again. False when
// the columns left are dependent.
bool solveStep(const Problem& pr, std::span<const double> theta, const GaussNewtonOptions& options, Step& step) {
    for (std::size_t pass = 0;; ++pass) {
        solve(pr, step.freeCount, step.rDiag, step.increment);
        if (pass == pr.p || !options.bounded ||
            !moveToBound(pr, theta, options, step.free, step.freeCount, step.increment, step.held, step.moved,
                         step.target))
            return true;
        if (!factor(pr, std::span(step.held.data(), pr.p), pr.s.e.data(), step.free, step.freeCount, step.rDiag))
            return false;
    }
}

// Takes the increment whole or halved until the sum of squares does not
// grow, theta and the deviance updated; false when the factor falls below
// its least.
bool takeStep(const Problem& pr, std::span<double> theta, const GaussNewtonOptions& options, const Step& step,
              double& deviance, double& factorNow) {
    std::array<double, maxModelParameters> trial{};
    for (;;) {
        if (factorNow < options.minFactor) return false;
        std::copy_n(theta.begin(), pr.p, trial.begin());
        for (std::size_t k = 0; k < step.freeCount; ++k)
            trial[step.free[k]] = theta[step.free[k]] + factorNow * step.increment[k];
        for (std::size_t j = 0; j < pr.p; ++j) {
            if (step.moved[j]) trial[j] = theta[j] + factorNow * (step.target[j] - theta[j]);
            if (options.bounded) trial[j] = std::clamp(trial[j], options.lower[j], options.upper[j]);
        }
        const double next = evaluate(pr, std::span(trial.data(), pr.p));
        if (next <= deviance) {
            deviance = next;
            std::copy_n(trial.begin(), pr.p, theta.begin());
            factorNow = std::min(2.0 * factorNow, 1.0);
            return true;
        }
        factorNow = factorNow / 2.0;
    }
}

}  // namespace

void expOf(std::span<const double> x, std::span<double> out) {
    static const auto best = __builtin_cpu_supports("avx2") ? expAvx2 : expBaseline;
    best(x.data(), out.data(), x.size());
}

void expOfBaseline(std::span<const double> x, std::span<double> out) { expBaseline(x.data(), out.data(), x.size()); }

GaussNewtonStatus gaussNewton(const NonlinearModel& model, std::span<const double> y, std::span<double> theta,
                              const GaussNewtonOptions& options, FitScratch& scratch) {
    const std::size_t n = y.size(), p = theta.size();
    for (auto* v : {&scratch.a, &scratch.b, &scratch.c, &scratch.e, &scratch.shape}) v->resize(n);
    scratch.d.resize(n * p);
    scratch.columns.resize(n * p);
    if (scratch.logs.size() < n) scratch.logs.reserve(n);
    for (std::size_t t = scratch.logs.size() + 1; t <= n; ++t) scratch.logs.push_back(std::log(static_cast<double>(t)));
    Problem pr{model,
               y,
               n,
               p,
               scratch,
               !(options.differencesFrom < std::numeric_limits<double>::infinity()),
               options.bounded ? scratch.columns.data() : scratch.d.data()};
    if (options.bounded)
        for (std::size_t j = 0; j < p; ++j) theta[j] = std::clamp(theta[j], options.lower[j], options.upper[j]);
    const double exact = 1e-12 * std::sqrt(dot(y.data(), y.data(), n));
    double deviance = evaluate(pr, theta);
    gradient(pr, theta);
    double factorNow = 1.0;
    Step step;
    for (int iteration = 0; iteration < options.maxIterations;) {
        if (!factorAt(pr, theta, options, step)) return GaussNewtonStatus::singularGradient;
        if (!pr.differences && step.offset <= options.differencesFrom) {
            pr.differences = true;  // near the decision: the gradient by differences from here on
            gradient(pr, theta);
            continue;
        }
        if (step.offset <= options.tolerance || step.size <= exact) return GaussNewtonStatus::converged;
        if (!solveStep(pr, theta, options, step)) return GaussNewtonStatus::singularGradient;
        if (!takeStep(pr, theta, options, step, deviance, factorNow)) return GaussNewtonStatus::stepFactorTooSmall;
        gradient(pr, theta);
        ++iteration;
    }
    return GaussNewtonStatus::iterationLimit;
}

}  // namespace detrend::numeric
