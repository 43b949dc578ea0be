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
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

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

SplineResult spline(int N, std::span<const float> y, std::span<float> s, float& p, int cutoff, SplineBand& band) {
    if (N < 4) {
        s[0] = tooShortMark;
        return SplineResult::tooShort;
    }
    const int M = N - 2;
    // Row i (1-based) of the lower band: A[i][0] = (i, i-2), A[i][1] =
    // (i, i-1), A[i][2] = (i, i); after factorization L's elements and the
    // reciprocal of L's diagonal. Index 0 is unused.
    const std::size_t rows = static_cast<std::size_t>(M) + 1;
    if (band.A.size() < rows) {
        band.A.resize(rows);
        band.b.resize(rows);
        band.pivot.resize(rows);
    }
    auto& A = band.A;
    auto& b = band.b;

    const double pd = smoothingParameter(cutoff);
    p = static_cast<float>(pd);
    if (band.factoredFor != std::bit_cast<std::uint64_t>(pd)) band.factored = 0;
    band.factoredFor = std::bit_cast<std::uint64_t>(pd);
    const int reused = std::min(band.factored, M);

    auto Y = [&](int i) { return static_cast<double>(y[static_cast<std::size_t>(i - 1)]); };
    for (int i = 1; i <= M; ++i) b[i] = (Y(i) + (-2.0) * Y(i + 1)) + Y(i + 2);
    for (int i = reused + 1; i <= M; ++i)
        for (int j = 0; j < 3; ++j) A[i][j] = pd * rho[j] + delta[j];
    if (reused < 1) A[1][0] = A[1][1] = 0.0;
    if (reused < 2 && M >= 2) A[2][0] = 0.0;
    const double e = 1.0 / (16.0 * static_cast<double>(M));

    // Band Cholesky factorization in place, with the positive-definiteness
    // test; the test is made for this N on the rows already factored.
    const double diagonal = pd * rho[2] + delta[2];  // every row's, before factorization
    for (int i = 1; i <= reused; ++i) {
        if (!(diagonal + band.pivot[static_cast<std::size_t>(i)] * e > diagonal)) {
            s[0] = failureMark;
            return SplineResult::notPositiveDefinite;
        }
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
                    s[0] = failureMark;
                    return SplineResult::notPositiveDefinite;
                }
                band.pivot[static_cast<std::size_t>(i)] = v;
                A[i][2] = 1.0 / std::sqrt(v);
            }
        }
    }
    band.factored = std::max(band.factored, M);

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

}  // namespace detrend::numeric
