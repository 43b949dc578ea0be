// Four doubles in the lanes of one vector, for the routines that treat up to
// four series at once. The arithmetic is element-wise, rounded per lane as the
// scalar operation is. In a function compiled for AVX2 one register holds all
// four lanes; on SSE2 the compiler splits each operation in two.
#pragma once

#include <cstring>

namespace detrend::numeric::lanes {

typedef double Lanes __attribute__((vector_size(32)));
typedef float FloatLanes __attribute__((vector_size(16)));
constexpr int width = 4;
static_assert(sizeof(Lanes) == width * sizeof(double));

[[gnu::always_inline]] inline void load(Lanes& v, const double* p) { std::memcpy(&v, p, sizeof v); }
[[gnu::always_inline]] inline void store(double* p, const Lanes& v) { std::memcpy(p, &v, sizeof v); }
[[gnu::always_inline]] inline void broadcast(Lanes& v, double value) { v = Lanes{value, value, value, value}; }

}  // namespace detrend::numeric::lanes
