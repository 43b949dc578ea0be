// Cubic smoothing spline of equally spaced values, with the amount of
// smoothing given as the period at which the spline keeps half the amplitude.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace detrend::numeric {

// The dialogue's capacity: the most values of an extended series.
constexpr int dialogueCapacity = 10000;
// Marks put into s[0] when no spline is computed.
constexpr float tooShortMark = -9998.0f;
constexpr float failureMark = -9999.0f;

enum class SplineResult {
    fitted,  // s[0..N) holds the spline
    tooShort,  // N <= 3: s[0] = tooShortMark, nothing else written
    notPositiveDefinite,  // s[0] = failureMark
};

// The band system of one call, kept by the caller so that one set can serve
// every call of a thread; it grows to the largest N seen. The factorization
// depends only on the smoothing parameter and the row, not on the data or on
// N (but for the positive-definiteness test, which is made again where an
// earlier pass does not imply it), so rows factored for one series serve the
// next with the same cutoff.
struct SplineBand {
    std::vector<std::array<double, 3>> A;
    std::vector<double> b;
    std::vector<double> pivot;  // per factored row, the value tested and rooted
    int factored = 0;  // rows 1..factored of A hold the factorization
    int tested = 0;  // rows 1..tested passed the positive-definiteness test for M = tested
    std::uint64_t factoredFor = 0;  // for the smoothing parameter with these bits
    std::vector<double> lanes;  // splineLanes' right-hand sides and solutions, interleaved
};

// Fits the spline to y[0..N) and writes its values to s[0..N), and the
// smoothing parameter, rounded to single precision, to p.
//
// Requires: y.size() >= N and s.size() >= N (at least 1 when N <= 3); y and
// s distinct. A non-zero cutoff gives a finite p; cutoff 0 gives a NaN p and
// the failure mark. Any N: the band storage grows as needed.
SplineResult spline(int N, std::span<const float> y, std::span<float> s, float& p, int cutoff, SplineBand& band);

// The most series one call of splineLanes fits.
constexpr int splineLaneCount = 4;

// For each of the series y[0..L), 1 <= L <= splineLaneCount, with
// N = y[l].size() values (lengths may differ), does what spline(N, y[l], s[l],
// p, cutoff, band) does, to the bit, and returns its result in results[l];
// the smoothing parameter is not written. The solves of the series that
// reach one run at once, one series in each lane of a vector register, every
// lane performing exactly spline's operations on its series in the same
// order; the factorization is shared.
//
// Requires: s.size() >= L and results.size() >= L; s[l].size() >= N (at
// least 1 when N <= 3); no s[l] overlaps a y[k] or another s[k].
void splineLanes(std::span<const std::span<const float>> y, std::span<const std::span<float>> s, int cutoff,
                 SplineBand& band, std::span<SplineResult> results);

// The same on plain SSE2, whatever the processor; splineLanes takes this
// path where AVX2 is missing.
void splineLanesBaseline(std::span<const std::span<const float>> y, std::span<const std::span<float>> s, int cutoff,
                         SplineBand& band, std::span<SplineResult> results);

// The smoothing parameter p, in double precision, that puts the spline's 50%
// response at the period `cutoff`: 6 (1 - cos w)^2 / (2 + cos w) with
// w = 2 pi / cutoff. 0 for cutoff 1, NaN for cutoff 0; even in cutoff.
double smoothingParameter(int cutoff);

}  // namespace detrend::numeric
