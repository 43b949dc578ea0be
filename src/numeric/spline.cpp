// Cubic smoothing spline after Reinsch (1967): minimises the squared
// residuals plus p times the integral of the squared second derivative, solved
// as (Q'Q + pR) x = Q'y with Q the second-difference matrix and R tridiagonal
// (4/3 on the diagonal, 1/3 beside it); the spline is y - Qx. p is chosen so
// that the gain p*phi / ((2 - 2cos w)^2 + p*phi), phi = (4 + 2cos w)/3, is one
// half at w = 2*pi/cutoff.
// Reinsch, C. H. (1967), Smoothing by spline functions, Numer. Math. 10, 177-183.
//
// Every operation is rounded to double in the order written; the one
// exception is the cosine, taken in x86-64 extended precision.
#include "numeric/spline.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "numeric/lanes.hpp"

namespace detrend::numeric {
namespace {

// One unit in the last place above the double nearest to pi.
const double pi = std::bit_cast<double>(std::uint64_t{0x400921FB54442D19});
// The p-weighted part of a band row (the doubles nearest to the
// fourteen-decimal numbers, not 1/3 and 4/3) and its fixed part.
constexpr double rho[3] = {0.0, 0.33333333333333, 1.33333333333333};
constexpr double delta[3] = {1.0, -4.0, 6.0};

// The cosine is taken in x86-64 extended precision; its bits are part of
// every result.
static_assert(std::numeric_limits<long double>::digits == 64, "long double must have a 64-bit significand");

}  // namespace

double smoothingParameter(int cutoff) {
    const double omega = (2.0 * pi) / static_cast<double>(cutoff);
    const long double kappa = cosl(static_cast<long double>(omega));
    const double alpha = static_cast<double>(kappa - 1.0L);
    const double beta = static_cast<double>(kappa + 2.0L);
    return ((alpha * alpha) * 6.0) / beta;
}

namespace {

// Makes rows 1..M of the band hold its factorization for the smoothing
// parameter pd, factoring the rows not kept from an earlier call, and makes
// the positive-definiteness test for M on every row. False when the test
// fails; the rows factored before the failing one are kept.
bool factorBand(int M, double pd, SplineBand& band) {
    // Row i (1-based) of the lower band: A[i][0] = (i, i-2), A[i][1] =
    // (i, i-1), A[i][2] = (i, i); after factorization L's elements and the
    // reciprocal of L's diagonal. Index 0 is unused.
    const std::size_t rows = static_cast<std::size_t>(M) + 1;
    if (band.A.size() < rows) {
        band.A.resize(rows);
        band.pivot.resize(rows);
    }
    auto& A = band.A;
    if (band.factoredFor != std::bit_cast<std::uint64_t>(pd)) band.factored = band.tested = 0;
    band.factoredFor = std::bit_cast<std::uint64_t>(pd);
    const int reused = std::min(band.factored, M);
    for (int i = reused + 1; i <= M; ++i)
        for (int j = 0; j < 3; ++j) A[i][j] = pd * rho[j] + delta[j];
    if (reused < 1) A[1][0] = A[1][1] = 0.0;
    if (reused < 2 && M >= 2) A[2][0] = 0.0;
    const double e = 1.0 / (16.0 * static_cast<double>(M));

    // Band Cholesky factorization in place, with the positive-definiteness
    // test; the test is made for this M on the rows already factored. Every
    // row's diagonal before factorization is the same. A row that passed the
    // test for some M passes it for every smaller M: its pivot is positive,
    // and as M falls e, the product and the sum can only grow, each being
    // rounded monotonically.
    const double diagonal = pd * rho[2] + delta[2];
    if (M > band.tested) {
        for (int i = 1; i <= reused; ++i)
            if (!(diagonal + band.pivot[static_cast<std::size_t>(i)] * e > diagonal)) return false;
    }
    for (int i = reused + 1; i <= M; ++i) {
        for (int j = std::max(1, 4 - i); j <= 3; ++j) {
            const int r = i - 3 + j;
            double v = A[i][j - 1];
            for (int k = 1; k <= j - 1; ++k) v = v - A[i][k - 1] * A[r][3 - j + k - 1];
            if (j < 3) {
                A[i][j - 1] = A[r][2] * v;
            } else {
                if (!(A[i][2] + v * e > A[i][2])) {
                    band.factored = i - 1;
                    return false;
                }
                band.pivot[static_cast<std::size_t>(i)] = v;
                A[i][2] = 1.0 / std::sqrt(v);
            }
        }
    }
    band.factored = std::max(band.factored, M);
    band.tested = std::max(band.tested, M);
    return true;
}

}  // namespace

SplineResult spline(int N, std::span<const float> y, std::span<float> s, float& p, int cutoff, SplineBand& band) {
    if (N < 4) {
        s[0] = tooShortMark;
        return SplineResult::tooShort;
    }
    const int M = N - 2;
    const double pd = smoothingParameter(cutoff);
    p = static_cast<float>(pd);
    if (!factorBand(M, pd, band)) {
        s[0] = failureMark;
        return SplineResult::notPositiveDefinite;
    }
    const auto& A = band.A;
    if (band.b.size() < static_cast<std::size_t>(M) + 1) band.b.resize(static_cast<std::size_t>(M) + 1);
    auto& b = band.b;
    auto Y = [&](int i) { return static_cast<double>(y[static_cast<std::size_t>(i - 1)]); };
    for (int i = 1; i <= M; ++i) b[i] = (Y(i) + (-2.0) * Y(i + 1)) + Y(i + 2);

    // Forward substitution, skipping the rows before the first non-zero
    // right-hand side (their solutions are zero).
    bool nonZeroSeen = false;
    int terms = 0;
    for (int i = 1; i <= M; ++i) {
        double v = b[i];
        if (nonZeroSeen) {
            terms = std::min(terms + 1, 2);
            if (terms == 1) {
                v = v - b[i - 1] * A[i][1];
            } else {
                v = (v - b[i - 2] * A[i][0]) - b[i - 1] * A[i][1];
            }
        } else if (v < 0.0 || v > 0.0) {  // a NaN counts as zero here
            nonZeroSeen = true;
        }
        b[i] = A[i][2] * v;
    }

    // Back substitution.
    b[M] = b[M] * A[M][2];
    for (int i = M - 1; i >= 1; --i) {
        double v = b[i] - b[i + 1] * A[i + 1][1];
        if (i + 2 <= M) v = v - b[i + 2] * A[i + 2][0];
        b[i] = A[i][2] * v;
    }

    // Q x, rounded to single precision, then y - Q x.
    auto S = [&](int i) -> float& { return s[static_cast<std::size_t>(i - 1)]; };
    for (int i = 3; i <= M; ++i) S(i) = static_cast<float>(((-2.0) * b[i - 1] + b[i - 2]) + b[i]);
    S(1) = static_cast<float>(b[1]);
    S(2) = static_cast<float>((b[1] * (-2.0)) + b[2]);
    S(N - 1) = static_cast<float>((b[M] * (-2.0)) + b[M - 1]);
    S(N) = static_cast<float>(b[M]);
    for (int i = 1; i <= N; ++i) S(i) = static_cast<float>(Y(i) - static_cast<double>(S(i)));
    return SplineResult::fitted;
}

namespace {

using lanes::broadcast;
using lanes::FloatLanes;
using lanes::Lanes;
using lanes::load;
using lanes::store;
using lanes::width;
static_assert(width == splineLaneCount);

// The series of one call of splineLanes that reach the substitutions. The
// right-hand sides and solutions are interleaved: row i of lane l is at
// b[width (i + 1) + l], rows -1 .. longest + 2, those outside 1 .. M zero
// (lanes without a series hold lane 0's first rows).
struct LaneWork {
    int lanes = 0;
    const float* y[width] = {};
    float* s[width] = {};
    int N[width] = {};  // 0 in lanes without a series
    int shortest = 0, longest = 0;  // the least and the greatest M = N - 2
    const std::array<double, 3>* A = nullptr;  // the band, rows 1 .. longest factored
    double* b = nullptr;
    bool nan[width] = {};  // set where a right-hand side is NaN or infinite
};

// y(i) of each lane; i at most the shortest N. Lanes without a series read
// lane 0's.
[[gnu::always_inline]] inline void gather(Lanes& v, const LaneWork& work, int i) {
    auto y = [&](int l) { return static_cast<double>(work.y[l][i - 1]); };
    v = Lanes{y(0), y(1), y(2), y(3)};
}

// spline's right-hand sides, substitutions and y - Q x, one series per lane.
// Where a lane's scalar code takes other terms than the general ones (up to
// the row after its first non-zero right-hand side, next to its M) a blend
// chooses them per lane; the rows where the lanes' lengths differ, and the
// ends of Q x, are left to scalar code per lane. In a lane's rows past its M
// the values are never read by that lane.
[[gnu::always_inline]] inline void solveLanes(LaneWork& work) {
    const std::array<double, 3>* const A = work.A;
    auto row = [&](int i) { return work.b + width * (i + 1); };
    const Lanes zero = {0.0, 0.0, 0.0, 0.0};
    const Lanes one = {1.0, 1.0, 1.0, 1.0};
    const Lanes two = {2.0, 2.0, 2.0, 2.0};
    const Lanes minusTwo = {-2.0, -2.0, -2.0, -2.0};
    Lanes last;  // each lane's M
    for (int l = 0; l < width; ++l) last[l] = static_cast<double>(work.N[l] - 2);

    // The right-hand sides. v - v is NaN where v is NaN (or infinite).
    Lanes check = zero;
    store(row(-1), zero);
    store(row(0), zero);
    {
        Lanes y0, y1, y2;
        gather(y0, work, 1);
        gather(y1, work, 2);
        for (int i = 1; i <= work.shortest; ++i) {
            gather(y2, work, i + 2);
            const Lanes v = (y0 + minusTwo * y1) + y2;
            store(row(i), v);
            check = check + (v - v);
            y0 = y1;
            y1 = y2;
        }
    }
    // Each lane's first row whose right-hand side is neither zero nor NaN.
    Lanes first = zero;
    int start = 1;  // from here on every lane takes both terms forwards
    for (int l = 0; l < width; ++l) {
        const int M = l < work.lanes ? work.N[l] - 2 : work.shortest;
        auto Y = [&](int i) { return static_cast<double>(work.y[l][i - 1]); };
        bool nanSeen = check[l] != check[l];
        for (int i = work.shortest + 1; i <= M; ++i) {
            const double v = (Y(i) + (-2.0) * Y(i + 1)) + Y(i + 2);
            row(i)[l] = v;
            nanSeen |= v != v;
        }
        for (int i = M + 1; i <= work.longest + 2; ++i) row(i)[l] = 0.0;
        work.nan[l] = nanSeen;
        if (l >= work.lanes) continue;
        int firstNonZero = 1;
        while (firstNonZero <= M && !(row(firstNonZero)[l] < 0.0 || row(firstNonZero)[l] > 0.0)) ++firstNonZero;
        first[l] = static_cast<double>(firstNonZero);
        start = std::max(start, firstNonZero + 2);
    }
    start = std::min(start, work.longest + 1);

    // Forward substitution.
    Lanes before2, before1, bi;
    load(before2, row(-1));
    load(before1, row(0));
    for (int i = 1; i < start; ++i) {
        load(bi, row(i));
        Lanes a0, a1, a2, at;
        broadcast(a0, A[i][0]);
        broadcast(a1, A[i][1]);
        broadcast(a2, A[i][2]);
        broadcast(at, static_cast<double>(i));
        const Lanes oneTerm = bi - before1 * a1;
        const Lanes twoTerms = (bi - before2 * a0) - before1 * a1;
        const Lanes v = at >= first + two ? twoTerms : (at == first + one ? oneTerm : bi);
        bi = a2 * v;
        store(row(i), bi);
        before2 = before1;
        before1 = bi;
    }
    for (int i = start; i <= work.longest; ++i) {
        load(bi, row(i));
        Lanes a0, a1, a2;
        broadcast(a0, A[i][0]);
        broadcast(a1, A[i][1]);
        broadcast(a2, A[i][2]);
        bi = a2 * ((bi - before2 * a0) - before1 * a1);
        store(row(i), bi);
        before2 = before1;
        before1 = bi;
    }

    // Back substitution. A lane's row M takes b[M] A[M][2], the product
    // A[M][2] b[M] of the blend: A holds no NaN, so which operand comes first
    // cannot matter.
    Lanes after1, after2;
    load(after1, row(work.longest + 1));
    load(after2, row(work.longest + 2));
    for (int i = work.longest; i >= work.shortest - 1; --i) {
        load(bi, row(i));
        Lanes a2, a1, a0, at;
        broadcast(a2, A[i][2]);
        broadcast(a1, i + 1 <= work.longest ? A[i + 1][1] : 0.0);
        broadcast(a0, i + 2 <= work.longest ? A[i + 2][0] : 0.0);
        broadcast(at, static_cast<double>(i));
        const Lanes oneTerm = bi - after1 * a1;
        const Lanes twoTerms = oneTerm - after2 * a0;
        const Lanes v = at <= last - two ? twoTerms : (at == last - one ? oneTerm : bi);
        bi = a2 * v;
        store(row(i), bi);
        after2 = after1;
        after1 = bi;
    }
    for (int i = work.shortest - 2; i >= 1; --i) {
        load(bi, row(i));
        Lanes a2, a1, a0;
        broadcast(a2, A[i][2]);
        broadcast(a1, A[i + 1][1]);
        broadcast(a0, A[i + 2][0]);
        bi = a2 * ((bi - after1 * a1) - after2 * a0);
        store(row(i), bi);
        after2 = after1;
        after1 = bi;
    }

    // Q x, rounded to single precision, then y - Q x.
    Lanes b0, b1, b2;
    load(b0, row(1));
    load(b1, row(2));
    for (int i = 3; i <= work.shortest; ++i) {
        load(b2, row(i));
        const Lanes q = __builtin_convertvector(__builtin_convertvector((minusTwo * b1 + b0) + b2, FloatLanes), Lanes);
        Lanes y;
        gather(y, work, i);
        float residual[width];
        const FloatLanes r = __builtin_convertvector(y - q, FloatLanes);
        std::memcpy(residual, &r, sizeof residual);
        for (int l = 0; l < work.lanes; ++l) work.s[l][i - 1] = residual[l];
        b0 = b1;
        b1 = b2;
    }
    for (int l = 0; l < work.lanes; ++l) {
        const int M = work.N[l] - 2;
        auto b = [&](int i) { return row(i)[l]; };
        auto residual = [&](int i, double q) {
            const float rounded = static_cast<float>(q);
            work.s[l][i - 1] = static_cast<float>(static_cast<double>(work.y[l][i - 1]) - static_cast<double>(rounded));
        };
        residual(1, b(1));
        residual(2, (b(1) * (-2.0)) + b(2));
        for (int i = std::max(work.shortest + 1, 3); i <= M; ++i) residual(i, ((-2.0) * b(i - 1) + b(i - 2)) + b(i));
        residual(M + 1, (b(M) * (-2.0)) + b(M - 1));
        residual(M + 2, b(M));
    }
}

[[gnu::target("avx2")]] void solveLanesAvx2(LaneWork& work) { solveLanes(work); }

void solveLanesBaseline(LaneWork& work) { solveLanes(work); }

void runLanes(std::span<const std::span<const float>> y, std::span<const std::span<float>> s, int cutoff,
              SplineBand& band, std::span<SplineResult> results, bool avx2) {
    const double pd = smoothingParameter(cutoff);
    LaneWork work;
    std::size_t member[width];  // the series of each lane
    for (std::size_t l = 0; l < y.size(); ++l) {
        const int N = static_cast<int>(y[l].size());
        if (N < 4) {
            float p;
            results[l] = spline(N, y[l], s[l], p, cutoff, band);
        } else if (!factorBand(N - 2, pd, band)) {
            s[l][0] = failureMark;
            results[l] = SplineResult::notPositiveDefinite;
        } else {
            results[l] = SplineResult::fitted;
            const int lane = work.lanes++;
            member[lane] = l;
            work.y[lane] = y[l].data();
            work.s[lane] = s[l].data();
            work.N[lane] = N;
            work.shortest = lane == 0 ? N - 2 : std::min(work.shortest, N - 2);
            work.longest = std::max(work.longest, N - 2);
        }
    }
    if (work.lanes == 0) return;
    for (int lane = work.lanes; lane < width; ++lane) work.y[lane] = work.y[0];
    const std::size_t size = width * (static_cast<std::size_t>(work.longest) + 4);
    if (band.lanes.size() < size) band.lanes.resize(size);
    work.A = band.A.data();
    work.b = band.lanes.data();
    if (avx2) {
        solveLanesAvx2(work);
    } else {
        solveLanesBaseline(work);
    }
    // A series with a NaN right-hand side (a NaN value, or infinite ones)
    // takes the one-series routine again: which of two NaN operands an
    // addition passes on depends on the order the compiler gave its operands.
    // Without NaN values every NaN that arises is the processor's one default
    // NaN, whatever the order.
    for (int lane = 0; lane < work.lanes; ++lane) {
        if (!work.nan[lane]) continue;
        const std::size_t l = member[lane];
        float p;
        results[l] = spline(work.N[lane], y[l], s[l], p, cutoff, band);
    }
}

}  // namespace

void splineLanes(std::span<const std::span<const float>> y, std::span<const std::span<float>> s, int cutoff,
                 SplineBand& band, std::span<SplineResult> results) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    runLanes(y, s, cutoff, band, results, avx2);
}

void splineLanesBaseline(std::span<const std::span<const float>> y, std::span<const std::span<float>> s, int cutoff,
                         SplineBand& band, std::span<SplineResult> results) {
    runLanes(y, s, cutoff, band, results, false);
}

}  // namespace detrend::numeric
