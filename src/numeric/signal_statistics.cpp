// rbar, EPS and SNR of a set of index series, with cores grouped into trees;
// see signal_statistics.hpp for the sources.
#include "numeric/signal_statistics.hpp"

#include <tbb/parallel_sort.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The series with each 0 made missing; only those holding a 0 are copied.
std::vector<IndexSeries> zerosMissing(std::span<const IndexSeries> series, std::vector<std::vector<double>>& copies) {
    std::vector<IndexSeries> out(series.begin(), series.end());
    for (IndexSeries& one : out) {
        if (std::find(one.values.begin(), one.values.end(), 0.0) == one.values.end()) continue;
        auto& copy = copies.emplace_back(one.values.begin(), one.values.end());
        for (double& v : copy) v = v == 0.0 ? notANumber : v;
        one.values = copy;
    }
    return out;
}

// The mean of r summed in ascending order; NaN for none. Reorders r.
double sortedMean(std::vector<double>& r) {
    if (r.empty()) return notANumber;
    tbb::parallel_sort(r.begin(), r.end());
    double sum = 0.0;
    for (double v : r) sum = sum + v;
    return sum / static_cast<double>(r.size());
}

// Each series' tree as an index 0, 1, ... into the sorted distinct labels;
// returns the number of labels.
std::size_t denseTrees(std::span<const std::size_t> tree, std::size_t count, std::vector<std::size_t>& dense) {
    dense.resize(count);
    if (tree.empty()) {
        for (std::size_t i = 0; i < count; ++i) dense[i] = i;
        return count;
    }
    std::vector<std::size_t> labels(tree.begin(), tree.end());
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    for (std::size_t i = 0; i < count; ++i)
        dense[i] = static_cast<std::size_t>(std::lower_bound(labels.begin(), labels.end(), tree[i]) - labels.begin());
    return labels.size();
}

// n.cores, n.trees and the years with a value.
void countSeries(std::span<const IndexSeries> series, std::span<const std::size_t> dense, std::size_t labels,
                 SiteStatistics& s) {
    std::vector<bool> treeHasValue(labels, false);
    for (std::size_t k = 0; k < series.size(); ++k) {
        const IndexSeries& one = series[k];
        bool any = false;
        for (std::size_t i = 0; i < one.values.size(); ++i) {
            if (std::isnan(one.values[i])) continue;
            const int year = one.first + static_cast<int>(i);
            if (!s.first || year < *s.first) s.first = year;
            if (!s.last || year > *s.last) s.last = year;
            any = true;
        }
        s.cores += any ? 1 : 0;
        if (any && !treeHasValue[dense[k]]) ++s.trees;
        if (any) treeHasValue[dense[k]] = true;
    }
}

// c.eff and rbar.eff from the pairs within each tree, over the trees in n.
void effective(std::span<const std::size_t> within, const std::vector<bool>& inN, SiteStatistics& s) {
    std::vector<double> inverse;
    double c = notANumber;
    bool allSame = true;
    for (std::size_t t = 0; t < within.size(); ++t) {
        if (!inN[t]) continue;
        const double cores = within[t] == 0 ? 1.0 : 0.5 + std::sqrt(0.25 + 2.0 * static_cast<double>(within[t]));
        allSame = allSame && (inverse.empty() || cores == c);
        c = cores;
        inverse.push_back(1.0 / cores);
    }
    if (!allSame) c = 1.0 / sortedMean(inverse);
    s.coresPerTree = c;
    if (s.pairsWithin == 0) {
        s.rbarEffective = s.rbarBetween;
        return;
    }
    const double share = allSame ? 1.0 / c : 1.0 / s.coresPerTree;
    s.rbarEffective = s.rbarBetween / (s.rbarWithin + (1.0 - s.rbarWithin) * share);
}

}  // namespace

SiteStatistics siteStatistics(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                              const StatisticsOptions& options) {
    SiteStatistics s;
    std::vector<std::size_t> dense;
    const std::size_t labels = denseTrees(tree, series.size(), dense);
    countSeries(series, dense, labels, s);

    std::vector<std::vector<double>> copies;
    const std::vector<IndexSeries> masked =
        options.zeros == Zeros::missing ? zerosMissing(series, copies) : std::vector(series.begin(), series.end());
    std::vector<double> all, within, between;
    std::vector<std::size_t> pairsInTree(labels, 0);
    std::vector<bool> inN(labels, false);
    for (const PairCorrelation& p : pairCorrelations(masked, options.method, options.minimumOverlap)) {
        if (std::isnan(p.r)) continue;
        all.push_back(p.r);
        const std::size_t a = dense[p.first], b = dense[p.second];
        if (a == b) {
            within.push_back(p.r);
            ++pairsInTree[a];
        } else {
            between.push_back(p.r);
            inN[a] = inN[b] = true;
        }
    }
    s.pairs = all.size();
    s.pairsWithin = within.size();
    s.pairsBetween = between.size();
    s.n = static_cast<std::size_t>(std::count(inN.begin(), inN.end(), true));
    s.rbarTotal = sortedMean(all);
    s.rbarWithin = sortedMean(within);
    s.rbarBetween = sortedMean(between);
    effective(pairsInTree, inN, s);

    const double n = static_cast<double>(s.n), r = s.rbarEffective;
    const double epsDenominator = (n - 1.0) * r + 1.0;
    s.eps = epsDenominator == 0.0 ? notANumber : n * r / epsDenominator;
    s.snr = r == 1.0 ? std::numeric_limits<double>::infinity() : n * r / (1.0 - r);
    return s;
}

SignalStatistics signalStatistics(std::span<const IndexSeries> series, const StatisticsOptions& options) {
    const SiteStatistics s = siteStatistics(series, {}, options);
    return {s.cores, s.first, s.last, s.pairs, s.rbarEffective, s.eps, s.snr, s.n};
}

SignalStatistics signalStatistics(std::span<const IndexSeries> series, CorrelationMethod method) {
    StatisticsOptions options;
    options.method = method;
    return signalStatistics(series, options);
}

}  // namespace detrend::numeric
