// The dot products of every pair of a set of equally long vectors, as the
// cross-product matrix X^T X of a matrix multiplication, blocked for the
// caches after Goto, K. and van de Geijn, R. A. (2008), Anatomy of
// high-performance matrix multiplication, ACM Trans. Math. Softw. 34(3) 12.
// Unlike a general matrix product each sum keeps a fixed order, so every
// product is the same to the bit whatever the blocking, the vector width or
// the number of threads.
#pragma once

#include <cstddef>
#include <span>

namespace detrend::numeric {

// The index of pair i < j of g vectors in the upper triangle, row by row.
constexpr std::size_t pairIndex(std::size_t i, std::size_t j, std::size_t g) {
    return i * g - i * (i + 1) / 2 + (j - i - 1);
}

// For the g vectors of length m stored one after another in v (vector i in
// v[i m, i m + m)), writes to out[pairIndex(i, j, g)], for every i < j, the
// dot product formed as s = 0, then s = s + v_i[t] v_j[t] for t = 0 .. m - 1
// in order, each operation rounded on its own (no fused multiply-add). The
// sum is thus symmetric in i and j, to the bit. Runs on the threads of the
// current oneTBB arena.
// Requires v.size() >= g m and out.size() >= g (g - 1) / 2.
// `lanes` forces a narrower vector unit than the processor has, for tests;
// the bits are the same on each.
enum class VectorUnit { best, avx2, sse2 };
void crossProducts(std::span<const double> v, std::size_t g, std::size_t m, std::span<double> out,
                   VectorUnit lanes = VectorUnit::best);

}  // namespace detrend::numeric
