// The recursion of pefilter.cpp with one series per vector lane. The arrays
// f, b, w and d of pefilter are interleaved: element j of lane l is at
// [4 (j - 1) + l]. Each lane's sums run over its own range: past the end of a
// shorter series the lane keeps its sum by a blend, never by adding zero
// (-0.0 + 0.0 is +0.0). The error updates need no blend: values past a lane's
// range are never read again.
//
// The update of the errors at stage k and the sums of stage k + 1 run in one
// pass: both cover j = 1 .. n - k - 1, and each sum takes the updated errors
// in the order pefilter takes them.
#include "numeric/pefilter_lanes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "numeric/lanes.hpp"
#include "numeric/pefilter.hpp"

namespace detrend::numeric {
namespace {

using lanes::broadcast;
using lanes::Lanes;
using lanes::load;
using lanes::store;
constexpr int width = filterLanes;
static_assert(width == lanes::width);

// The call's series and storage, unpacked from the spans.
struct Work {
    int lanes = 0;
    int m = 0;
    const float* x[width] = {};
    int n[width] = {};
    int shortest = 0, longest = 0;
    double* P = nullptr;
    double* d[width] = {};
    double* f = nullptr;  // forward errors, n - 1 per lane
    double* b = nullptr;  // backward errors, n - 1 per lane
    double* w = nullptr;  // the previous stage's coefficients
    double* c = nullptr;  // the current stage's coefficients
};

[[gnu::always_inline]] inline bool burg(const Work& work) {
    const Lanes zero = {0.0, 0.0, 0.0, 0.0};
    const Lanes one = {1.0, 1.0, 1.0, 1.0};
    const Lanes two = {2.0, 2.0, 2.0, 2.0};
    double* const f = work.f;
    double* const b = work.b;
    // The length of each lane's series; lanes without a series have none.
    Lanes length = zero;
    for (int l = 0; l < work.lanes; ++l) length[l] = static_cast<double>(work.n[l]);

    // The mean square, and f and b filled: f(j) = x(j) and b(j) = x(j + 1)
    // for j = 1 .. n - 1, zero past a lane's end.
    Lanes p = zero;
    for (int j = 1; j <= work.longest; ++j) {
        Lanes xj = zero;
        for (int l = 0; l < work.lanes; ++l)
            if (j <= work.n[l]) xj[l] = static_cast<double>(work.x[l][j - 1]);
        Lanes at;
        broadcast(at, static_cast<double>(j));
        p = at <= length ? p + xj * xj : p;
        if (j < work.longest) store(f + width * (j - 1), at < length ? xj : zero);
        if (j >= 2) store(b + width * (j - 2), xj);
    }
    Lanes power = p / length;
    store(work.P, power);
    if (work.m <= 0) return false;

    // The sums of stage 1.
    Lanes num = zero;
    Lanes den = zero;
    {
        const int full = std::max(work.shortest - 1, 0);
        const Lanes limit = length - one;
        Lanes fj, bj;
        for (int j = 1; j <= full; ++j) {
            load(fj, f + width * (j - 1));
            load(bj, b + width * (j - 1));
            num = num + fj * bj;
            den = (den + fj * fj) + bj * bj;
        }
        for (int j = full + 1; j <= work.longest - 1; ++j) {
            load(fj, f + width * (j - 1));
            load(bj, b + width * (j - 1));
            Lanes at;
            broadcast(at, static_cast<double>(j));
            const auto active = at <= limit;
            num = active ? num + fj * bj : num;
            den = active ? (den + fj * fj) + bj * bj : den;
        }
    }

    for (int k = 1;; ++k) {
        double* const ck = work.c + width * (k - 1);
        const Lanes dk = (two * num) / den;
        store(ck, dk);
        power = (one - dk * dk) * power;
        for (int i = 1; i <= k - 1; ++i) {
            Lanes wi, wki;
            load(wi, work.w + width * (i - 1));
            load(wki, work.w + width * (k - i - 1));
            store(work.c + width * (i - 1), wi - dk * wki);
        }
        if (k == work.m) break;
        std::memcpy(work.w, work.c, sizeof(double) * static_cast<std::size_t>(width * k));

        // The errors of stage k + 1 and, as they come, its sums.
        Lanes wk;
        load(wk, work.w + width * (k - 1));
        num = zero;
        den = zero;
        const int full = std::max(work.shortest - k - 1, 0);
        const int last = work.longest - k - 1;
        Lanes limit;
        broadcast(limit, static_cast<double>(k + 1));
        limit = length - limit;
        Lanes fj, bj, fnext, bnext;
        for (int j = 1; j <= full; ++j) {
            double* const fp = f + width * (j - 1);
            double* const bp = b + width * (j - 1);
            load(fj, fp);
            load(bj, bp);
            load(fnext, fp + width);
            load(bnext, bp + width);
            fj = fj - wk * bj;
            bj = bnext - wk * fnext;
            store(fp, fj);
            store(bp, bj);
            num = num + fj * bj;
            den = (den + fj * fj) + bj * bj;
        }
        for (int j = full + 1; j <= last; ++j) {
            double* const fp = f + width * (j - 1);
            double* const bp = b + width * (j - 1);
            load(fj, fp);
            load(bj, bp);
            load(fnext, fp + width);
            load(bnext, bp + width);
            fj = fj - wk * bj;
            bj = bnext - wk * fnext;
            store(fp, fj);
            store(bp, bj);
            Lanes at;
            broadcast(at, static_cast<double>(j));
            const auto active = at <= limit;
            num = active ? num + fj * bj : num;
            den = active ? (den + fj * fj) + bj * bj : den;
        }
    }
    store(work.P, power);
    return true;
}

[[gnu::target("avx2")]] bool burgAvx2(const Work& work) { return burg(work); }

bool burgBaseline(const Work& work) { return burg(work); }

template <class T>
T* fitSize(std::vector<T>& v, std::size_t size) {
    if (v.size() < size) v.resize(size);
    return v.data();
}

bool run(std::span<const std::span<const float>> x, int m, std::span<double> P, std::span<const std::span<double>> d,
         FilterLanesScratch& scratch, bool avx2) {
    // Series holding a NaN take the one-series routine: which of two NaN
    // operands an addition or a multiplication passes on depends on the order
    // the compiler gave its operands, and pefilter's order is not ours to see.
    // Without NaN values every NaN that arises is the processor's one default
    // NaN, whatever the order.
    Work work;
    work.m = m;
    int lane[width];  // the series of each lane
    int longest = 0;
    for (int s = 0; s < static_cast<int>(x.size()); ++s) {
        const std::span<const float> series = x[static_cast<std::size_t>(s)];
        const int n = static_cast<int>(series.size());
        longest = std::max(longest, n);
        if (std::any_of(series.begin(), series.end(), [](float v) { return std::isnan(v); })) continue;
        const int l = work.lanes++;
        lane[l] = s;
        work.x[l] = series.data();
        work.n[l] = n;
        work.shortest = l == 0 ? n : std::min(work.shortest, n);
        work.longest = std::max(work.longest, n);
    }
    double power[width];
    work.P = power;
    const std::size_t errors = width * static_cast<std::size_t>(std::max(longest - 1, 1));
    const std::size_t stages = width * static_cast<std::size_t>(std::max(m, 1));
    work.f = fitSize(scratch.forward, errors);
    work.b = fitSize(scratch.backward, errors);
    work.w = fitSize(scratch.previous, stages);
    work.c = fitSize(scratch.current, stages);

    bool computed = m > 0;
    if (work.lanes > 0) computed = avx2 ? burgAvx2(work) : burgBaseline(work);
    for (int l = 0; l < work.lanes; ++l) {
        const auto s = static_cast<std::size_t>(lane[l]);
        P[s] = power[l];
        if (!computed) continue;
        for (int i = 0; i < m; ++i) d[s][static_cast<std::size_t>(i)] = work.c[width * i + l];
    }
    for (std::size_t s = 0, l = 0; s < x.size(); ++s) {
        if (l < static_cast<std::size_t>(work.lanes) && lane[l] == static_cast<int>(s)) {
            ++l;
            continue;
        }
        pefilter(x[s], static_cast<int>(x[s].size()), m, P[s], d[s], scratch.forward, scratch.backward,
                 scratch.previous);
    }
    return computed;
}

}  // namespace

bool pefilterLanes(std::span<const std::span<const float>> x, int m, std::span<double> P,
                   std::span<const std::span<double>> d, FilterLanesScratch& scratch) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return run(x, m, P, d, scratch, avx2);
}

bool pefilterLanesBaseline(std::span<const std::span<const float>> x, int m, std::span<double> P,
                           std::span<const std::span<double>> d, FilterLanesScratch& scratch) {
    return run(x, m, P, d, scratch, false);
}

}  // namespace detrend::numeric
