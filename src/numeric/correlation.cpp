// Pair correlations of index series; see correlation.hpp for the sources.
//
// Both ways to a pair's correlation perform the same operations in the same
// order: the block of series with the same years centres each series once,
// and x - mean x is the same number whether it is formed per series or per
// pair, as are the sums of its products in year order.
#include "numeric/correlation.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_sort.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <tuple>

#include "numeric/cross_products.hpp"

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

double meanOf(std::span<const double> x) {
    double sum = 0.0;
    for (double v : x) sum = sum + v;
    return sum / static_cast<double>(x.size());
}

double correlationOf(double sxy, double sxx, double syy) {
    const double r = sxy / std::sqrt(sxx * syy);
    return r > 1.0 ? 1.0 : r < -1.0 ? -1.0 : r;
}

// The years of a series from its first to its last value.
struct Span {
    std::size_t begin = 0, end = 0;  // indices into values
    std::size_t count = 0;  // values in [begin, end)
};

Span spanOf(const IndexSeries& s) {
    Span span;
    const auto& v = s.values;
    while (span.begin < v.size() && std::isnan(v[span.begin])) ++span.begin;
    span.end = v.size();
    while (span.end > span.begin && std::isnan(v[span.end - 1])) --span.end;
    for (std::size_t i = span.begin; i < span.end; ++i) span.count += std::isnan(v[i]) ? 0 : 1;
    return span;
}

long yearOf(const IndexSeries& s, std::size_t index) { return static_cast<long>(s.first) + static_cast<long>(index); }

bool sameYears(const IndexSeries& a, const Span& sa, const IndexSeries& b, const Span& sb) {
    if (yearOf(a, sa.begin) != yearOf(b, sb.begin) || sa.end - sa.begin != sb.end - sb.begin || sa.count != sb.count)
        return false;
    for (std::size_t i = 0; i < sa.end - sa.begin; ++i)
        if (std::isnan(a.values[sa.begin + i]) != std::isnan(b.values[sb.begin + i])) return false;
    return true;
}

// A series as its pairs take it: where its values lie and, for Spearman's
// correlation, its values in ascending order and their indices.
struct Prepared {
    const IndexSeries* series = nullptr;
    Span span;
    std::vector<std::uint32_t> byValue;
    std::vector<double> sorted;
    long from() const { return yearOf(*series, span.begin); }
    long to() const { return yearOf(*series, span.end); }
};

// The indices of the values (no NaN) in ascending order of value, by a
// least-significant-digit radix sort of keys that order as the values do
// (Knuth, D. E. (1998), The Art of Computer Programming 3, section 5.2.5),
// one byte a pass, skipping the bytes all keys share. Equal values (-0 and
// +0 too) have equal keys.
std::vector<std::uint32_t> sortedByValue(std::span<const double> values, std::size_t begin, std::size_t end) {
    std::vector<std::uint64_t> key, keys;
    std::vector<std::uint32_t> index, indices;
    for (std::size_t i = begin; i < end; ++i) {
        if (std::isnan(values[i])) continue;
        const auto bits = std::bit_cast<std::uint64_t>(values[i] == 0.0 ? 0.0 : values[i]);
        key.push_back(bits >> 63 ? ~bits : bits | std::uint64_t{1} << 63);
        index.push_back(static_cast<std::uint32_t>(i));
    }
    const std::size_t n = key.size();
    std::size_t count[8][256] = {};
    for (std::uint64_t k : key)
        for (int d = 0; d < 8; ++d) ++count[d][k >> (8 * d) & 255];
    keys.resize(n);
    indices.resize(n);
    for (int d = 0; d < 8 && n > 0; ++d) {
        if (count[d][key[0] >> (8 * d) & 255] == n) continue;
        std::size_t start[256];
        for (std::size_t b = 0, sum = 0; b < 256; ++b) {
            start[b] = sum;
            sum += count[d][b];
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t to = start[key[i] >> (8 * d) & 255]++;
            keys[to] = key[i];
            indices[to] = index[i];
        }
        key.swap(keys);
        index.swap(indices);
    }
    return index;
}

Prepared prepare(const IndexSeries& s, CorrelationMethod method) {
    Prepared p;
    p.series = &s;
    p.span = spanOf(s);
    if (method == CorrelationMethod::pearson) return p;
    p.byValue = sortedByValue(s.values, p.span.begin, p.span.end);
    for (std::uint32_t i : p.byValue) p.sorted.push_back(s.values[i]);
    return p;
}

// Working storage of one thread.
struct Work {
    std::vector<std::int32_t> place;
    std::vector<std::pair<double, std::int32_t>> kept;
    std::vector<double> x, y;
};

// The ranks of p's values among the years that have a place:
// place[year - from] >= 0, defined for every year of p's span, is the year's
// place among them, where ranks[place] receives its rank. The values are
// walked in ascending order, those with a place kept without a branch; tied
// values, next to each other, get the mean of their ranks, a whole or half
// number, whatever their order among themselves.
void ranksAmong(const Prepared& p, long from, std::span<const std::int32_t> place, std::span<double> ranks,
                std::vector<std::pair<double, std::int32_t>>& kept) {
    const long shift = p.series->first - from;
    kept.resize(p.byValue.size());
    std::size_t n = 0;
    for (std::size_t k = 0; k < p.byValue.size(); ++k) {
        const std::int32_t at = place[static_cast<std::size_t>(p.byValue[k] + shift)];
        kept[n] = {p.sorted[k], at};
        n += at >= 0 ? 1 : 0;
    }
    for (std::size_t k = 0; k < n;) {
        std::size_t end = k + 1;
        while (end < n && kept[end].first == kept[k].first) ++end;
        const double rank = static_cast<double>(k + 1 + end) / 2.0;  // of ranks k + 1 .. end
        for (; k < end; ++k) ranks[static_cast<std::size_t>(kept[k].second)] = rank;
    }
}

// The correlation over the common years, or nothing with too few of them.
std::optional<double> correlate(const Prepared& a, const Prepared& b, CorrelationMethod method, std::size_t least,
                                Work& work) {
    const long from = std::max(a.from(), b.from());
    const long to = std::min(a.to(), b.to());
    if (to - from < static_cast<long>(least)) return std::nullopt;
    // Places for every year of both spans, for ranksAmong.
    const long first = std::min(a.from(), b.from());
    work.place.assign(static_cast<std::size_t>(std::max(a.to(), b.to()) - first), -1);
    work.x.clear();
    work.y.clear();
    for (long year = from; year < to; ++year) {
        const double va = a.series->values[static_cast<std::size_t>(year - a.series->first)];
        const double vb = b.series->values[static_cast<std::size_t>(year - b.series->first)];
        if (std::isnan(va) || std::isnan(vb)) continue;
        work.place[static_cast<std::size_t>(year - first)] = static_cast<std::int32_t>(work.x.size());
        work.x.push_back(va);
        work.y.push_back(vb);
    }
    if (work.x.size() < least) return std::nullopt;
    if (method == CorrelationMethod::spearman) {
        ranksAmong(a, first, work.place, work.x, work.kept);
        ranksAmong(b, first, work.place, work.y, work.kept);
    }
    return pearson(work.x, work.y);
}

// The pairs of one block of series with the same m years, onto out.
void correlateBlock(std::span<const Prepared> prepared, std::span<const std::size_t> members, CorrelationMethod method,
                    std::vector<PairCorrelation>& out) {
    const std::size_t g = members.size();
    const Prepared& leader = prepared[members[0]];
    const std::size_t m = leader.span.count;
    // Every year of the block with a value has a place among them.
    std::vector<std::int32_t> place(leader.span.end - leader.span.begin, -1);
    for (std::size_t i = leader.span.begin, k = 0; i < leader.span.end; ++i)
        if (!std::isnan(leader.series->values[i])) place[i - leader.span.begin] = static_cast<std::int32_t>(k++);
    std::vector<double> c(g * m), self(g), dots(g * (g - 1) / 2);
    tbb::parallel_for(std::size_t{0}, g, [&](std::size_t k) {
        const Prepared& p = prepared[members[k]];
        const std::span<double> x(c.data() + k * m, m);
        for (std::size_t i = p.span.begin, t = 0; i < p.span.end; ++i)
            if (!std::isnan(p.series->values[i])) x[t++] = p.series->values[i];
        std::vector<std::pair<double, std::int32_t>> kept;
        if (method == CorrelationMethod::spearman) ranksAmong(p, p.from(), place, x, kept);
        // Centred and summed as pearson does.
        const double mean = meanOf(x);
        double s = 0.0;
        for (double& v : x) {
            v = v - mean;
            s = s + v * v;
        }
        self[k] = s;
    });
    crossProducts(c, g, m, dots);
    for (std::size_t a = 0; a < g; ++a)
        for (std::size_t b = a + 1; b < g; ++b) {
            const double r = correlationOf(dots[pairIndex(a, b, g)], self[a], self[b]);
            const std::size_t i = std::min(members[a], members[b]), j = std::max(members[a], members[b]);
            out.push_back({i, j, r});
        }
}

}  // namespace

double pearson(std::span<const double> x, std::span<const double> y) {
    const double mx = meanOf(x);
    const double my = meanOf(y);
    double sxy = 0.0, sxx = 0.0, syy = 0.0;
    for (std::size_t t = 0; t < x.size(); ++t) {
        const double dx = x[t] - mx;
        const double dy = y[t] - my;
        sxy = sxy + dx * dy;
        sxx = sxx + dx * dx;
        syy = syy + dy * dy;
    }
    return correlationOf(sxy, sxx, syy);
}

double pairCorrelation(const IndexSeries& a, const IndexSeries& b, CorrelationMethod method, std::size_t least) {
    Work work;
    return correlate(prepare(a, method), prepare(b, method), method, least, work).value_or(notANumber);
}

namespace {

// Blocks of series with the same years: sorted by first year, length and
// count (into order, which the sweep then walks), each run of equal keys led
// by its first series; a series that matches its leader in these but not in
// its gaps stays alone, as do series with too few values to correlate.
// block[i] is the leader of series i's block, or i.
std::vector<std::vector<std::size_t>> findBlocks(std::span<const IndexSeries> series,
                                                 std::span<const Prepared> prepared, std::size_t least,
                                                 std::vector<std::size_t>& order, std::vector<std::size_t>& block) {
    const std::size_t n = series.size();
    auto key = [&](std::size_t i) {
        const Span& s = prepared[i].span;
        return std::make_tuple(prepared[i].from(), s.end - s.begin, s.count);
    };
    order.resize(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    tbb::parallel_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        return std::make_pair(key(i), i) < std::make_pair(key(j), j);
    });
    block.resize(n);
    std::vector<std::vector<std::size_t>> blocks;
    for (std::size_t k = 0; k < n;) {
        const std::size_t leader = order[k];
        std::vector<std::size_t> members{leader};
        block[leader] = leader;
        std::size_t next = k + 1;
        for (; next < n && key(order[next]) == key(leader); ++next) {
            const std::size_t i = order[next];
            const Span &a = prepared[leader].span, &b = prepared[i].span;
            const bool same = b.count >= least && sameYears(series[leader], a, series[i], b);
            block[i] = same ? leader : i;
            if (same) members.push_back(i);
        }
        if (members.size() > 1) blocks.push_back(std::move(members));
        k = next;
    }
    return blocks;
}

// The sweep: from each series in order of first year, the later-starting
// series that begin at least `least` years before its span ends, outside
// its block; found[k] receives the pairs of the series order[k]. The series
// on one thread each.
void sweep(std::span<const Prepared> prepared, std::span<const std::size_t> order, std::span<const std::size_t> block,
           CorrelationMethod method, std::size_t least, std::vector<std::vector<PairCorrelation>>& found) {
    const std::size_t n = order.size();
    found.resize(n);
    const auto tooShort = [&](std::size_t i) { return prepared[i].span.count < least; };
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, n, 64), [&](const tbb::blocked_range<std::size_t>& range) {
        Work work;
        for (std::size_t k = range.begin(); k < range.end(); ++k) {
            const std::size_t i = order[k];
            if (tooShort(i)) continue;
            const long latest = prepared[i].to() - static_cast<long>(least);
            for (std::size_t l = k + 1; l < n && prepared[order[l]].from() <= latest; ++l) {
                const std::size_t j = order[l];
                if (tooShort(j) || block[i] == block[j]) continue;
                if (const auto r = correlate(prepared[i], prepared[j], method, least, work))
                    found[k].push_back({std::min(i, j), std::max(i, j), *r});
            }
        }
    });
}

}  // namespace

std::vector<PairCorrelation> pairCorrelations(std::span<const IndexSeries> series, CorrelationMethod method,
                                              std::size_t least) {
    std::vector<Prepared> prepared(series.size());
    tbb::parallel_for(std::size_t{0}, series.size(), [&](std::size_t i) { prepared[i] = prepare(series[i], method); });
    std::vector<std::size_t> order, block;
    const auto blocks = findBlocks(series, prepared, least, order, block);
    std::vector<std::vector<PairCorrelation>> found, inBlocks(blocks.size());
    sweep(prepared, order, block, method, least, found);
    for (std::size_t b = 0; b < blocks.size(); ++b) correlateBlock(prepared, blocks[b], method, inBlocks[b]);

    std::vector<PairCorrelation> pairs;
    for (auto* lists : {&found, &inBlocks})
        for (auto& list : *lists) pairs.insert(pairs.end(), list.begin(), list.end());
    tbb::parallel_sort(pairs.begin(), pairs.end(), [](const PairCorrelation& p, const PairCorrelation& q) {
        return std::pair(p.first, p.second) < std::pair(q.first, q.second);
    });
    return pairs;
}

}  // namespace detrend::numeric
