// Subsample signal strength; see subsample_signal.hpp for the sources.
#include "numeric/subsample_signal.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace detrend::numeric {

SubsampleSignal subsampleSignalStrength(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                                        double rbar) {
    SubsampleSignal out;
    long first = 0, last = -1;
    if (!yearsWithValues(series, first, last)) return out;

    // Each year's trees, as (year, tree) pairs made unique.
    std::vector<std::pair<long, std::size_t>> present;
    std::vector<std::size_t> trees;
    for (std::size_t k = 0; k < series.size(); ++k)
        for (std::size_t i = 0; i < series[k].values.size(); ++i) {
            if (std::isnan(series[k].values[i])) continue;
            present.push_back({static_cast<long>(series[k].first) + static_cast<long>(i), tree.empty() ? k : tree[k]});
            trees.push_back(present.back().second);
        }
    std::sort(present.begin(), present.end());
    present.erase(std::unique(present.begin(), present.end()), present.end());
    std::sort(trees.begin(), trees.end());
    const auto all = static_cast<double>(std::unique(trees.begin(), trees.end()) - trees.begin());

    out.first = static_cast<int>(first);
    std::vector<double> count(static_cast<std::size_t>(last - first + 1), 0.0);
    for (const auto& [year, label] : present) count[static_cast<std::size_t>(year - first)] += 1.0;
    out.sss.resize(count.size());
    out.trees = count;
    out.allTrees = all;
    for (std::size_t y = 0; y < count.size(); ++y) {
        const double n = count[y];
        const double denominator = all * (1.0 + (n - 1.0) * rbar);
        out.sss[y] = denominator == 0.0 ? std::numeric_limits<double>::quiet_NaN()
                                        : n * (1.0 + (all - 1.0) * rbar) / denominator;
    }
    return out;
}

}  // namespace detrend::numeric
