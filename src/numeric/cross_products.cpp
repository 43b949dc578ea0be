// Cross products of a set of vectors; see cross_products.hpp for the source.
//
// The vectors are packed in panels of eight, the values of one index t
// side by side: panel p holds v_{8p + l}[t] at [8 t + l], zero where 8p + l
// is past the last vector. A tile of row panel I and column panel J keeps
// its 64 sums in one vector of eight lanes per row: row r adds v_{8I+r}[t]
// times the column panel's eight values at t, for t in ascending order.
// The index range is cut into blocks that keep a row panel's part in the
// first-level cache; a tile's sums carry over from block to block, so the
// order of each sum is untouched.
#include "numeric/cross_products.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace detrend::numeric {
namespace {

constexpr std::size_t width = 8;  // vectors per panel, columns of a tile
constexpr std::size_t block = 256;  // indices t per cache block
typedef double Lanes2 __attribute__((vector_size(2 * sizeof(double))));
typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));
typedef double Lanes8 __attribute__((vector_size(8 * sizeof(double))));

struct Panels {
    std::size_t count = 0, length = 0;
    std::vector<double> values;
    const double* panel(std::size_t p) const { return values.data() + p * length * width; }
};

// One tile over t in [begin, end): rows [row0, row0 + Rows) of row panel
// `row` against column panel `column`, in vectors V of W lanes; sums holds
// the tile's width x width sums, row by row.
template <class V, std::size_t W, std::size_t Rows>
[[gnu::always_inline]] inline void tile(const double* row, const double* column, std::size_t row0, std::size_t begin,
                                        std::size_t end, double* sums) {
    constexpr std::size_t per = width / W;  // vectors per row
    V s[Rows][per];
    for (std::size_t r = 0; r < Rows; ++r)
        for (std::size_t k = 0; k < per; ++k) std::memcpy(&s[r][k], sums + width * (row0 + r) + W * k, sizeof(V));
    for (std::size_t t = begin; t < end; ++t) {
        V c[per];
#pragma GCC unroll 4
        for (std::size_t k = 0; k < per; ++k) std::memcpy(&c[k], column + width * t + W * k, sizeof(V));
#pragma GCC unroll 8
        for (std::size_t r = 0; r < Rows; ++r) {
            V a;
            for (std::size_t l = 0; l < W; ++l) a[l] = row[width * t + row0 + r];
#pragma GCC unroll 4
            for (std::size_t k = 0; k < per; ++k) s[r][k] = s[r][k] + a * c[k];
        }
    }
    for (std::size_t r = 0; r < Rows; ++r)
        for (std::size_t k = 0; k < per; ++k) std::memcpy(sums + width * (row0 + r) + W * k, &s[r][k], sizeof(V));
}

// Row panel I against column panels I .. count - 1; sums holds one tile of
// width x width sums per column panel.
template <class V, std::size_t W, std::size_t Rows>
[[gnu::always_inline]] inline void rowPanel(const Panels& panels, std::size_t I, double* sums) {
    const double* const row = panels.panel(I);
    for (std::size_t begin = 0; begin < panels.length; begin += block) {
        const std::size_t end = std::min(begin + block, panels.length);
        for (std::size_t J = I; J < panels.count; ++J) {
            double* const tileSums = sums + (J - I) * width * width;
            for (std::size_t row0 = 0; row0 < width; row0 += Rows)
                tile<V, W, Rows>(row, panels.panel(J), row0, begin, end, tileSums);
        }
    }
}

// Eight rows of sums take eight of the 32 registers of AVX-512; four rows
// take eight of the 16 of AVX2, two rows eight of the 16 of SSE2.
[[gnu::target("avx512f")]] void rowPanelAvx512(const Panels& panels, std::size_t I, double* sums) {
    rowPanel<Lanes8, 8, 8>(panels, I, sums);
}
[[gnu::target("avx2")]] void rowPanelAvx2(const Panels& panels, std::size_t I, double* sums) {
    rowPanel<Lanes4, 4, 4>(panels, I, sums);
}
void rowPanelBaseline(const Panels& panels, std::size_t I, double* sums) { rowPanel<Lanes2, 2, 2>(panels, I, sums); }

}  // namespace

void crossProducts(std::span<const double> v, std::size_t g, std::size_t m, std::span<double> out, VectorUnit lanes) {
    if (g < 2) return;
    Panels panels;
    panels.count = (g + width - 1) / width;
    panels.length = m;
    panels.values.assign(panels.count * m * width, 0.0);
    tbb::parallel_for(std::size_t{0}, g, [&](std::size_t i) {
        double* const p = panels.values.data() + (i / width) * m * width + i % width;
        for (std::size_t t = 0; t < m; ++t) p[width * t] = v[i * m + t];
    });

    static const auto best = __builtin_cpu_supports("avx512f") ? rowPanelAvx512
                             : __builtin_cpu_supports("avx2")  ? rowPanelAvx2
                                                               : rowPanelBaseline;
    const auto kernel = lanes == VectorUnit::sse2                             ? rowPanelBaseline
                        : lanes == VectorUnit::avx2 && best == rowPanelAvx512 ? rowPanelAvx2
                                                                              : best;
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, panels.count, 1),
                      [&](const tbb::blocked_range<std::size_t>& r) {
                          std::vector<double> sums;
                          for (std::size_t I = r.begin(); I < r.end(); ++I) {
                              sums.assign((panels.count - I) * width * width, 0.0);
                              kernel(panels, I, sums.data());
                              for (std::size_t J = I; J < panels.count; ++J)
                                  for (std::size_t a = 0; a < width; ++a)
                                      for (std::size_t b = 0; b < width; ++b) {
                                          const std::size_t i = I * width + a, j = J * width + b;
                                          if (i < j && j < g)
                                              out[pairIndex(i, j, g)] = sums[((J - I) * width + a) * width + b];
                                      }
                          }
                      });
}

}  // namespace detrend::numeric
