// The Burg recursion of pefilter for up to four series at once, one series in
// each lane of a vector register. Every lane performs exactly the operations
// of pefilter on its own series, in the same order, so each series gets the
// same bits as from pefilter alone; the lanes only overlap the latency of the
// series' sums, which must keep their order.
#pragma once

#include <span>
#include <vector>

namespace detrend::numeric {

// The most series one call treats.
constexpr int filterLanes = 4;

// Working storage of one thread, the series interleaved lane by lane; it grows
// to the longest series and filter seen and is reused for every call.
struct FilterLanesScratch {
    std::vector<double> forward, backward, previous, current;
};

// For each of the series x[0..L), 1 <= L <= filterLanes, with n = x[l].size()
// values (lengths may differ), computes what pefilter(x[l], n, m, P[l], d[l],
// ...) computes, to the bit: the m coefficients d[l][0..m) and the
// prediction-error power P[l], NaN where pefilter gives NaN (m >= n, a stage
// whose errors are all zero, NaN values), with its sign and payload. The
// filter length m is the same for every series. A series holding a NaN is
// handed to pefilter itself: which NaN reaches the result then depends on the
// order of the compiled operands.
//
// Requires: P.size() >= L, d.size() >= L and d[l].size() >= m.
// Returns false, with d untouched and only P computed, when m <= 0.
bool pefilterLanes(std::span<const std::span<const float>> x, int m, std::span<double> P,
                   std::span<const std::span<double>> d, FilterLanesScratch& scratch);

// The same on plain SSE2, whatever the processor; pefilterLanes takes this
// path where AVX2 is missing.
bool pefilterLanesBaseline(std::span<const std::span<const float>> x, int m, std::span<double> P,
                           std::span<const std::span<double>> d, FilterLanesScratch& scratch);

}  // namespace detrend::numeric
