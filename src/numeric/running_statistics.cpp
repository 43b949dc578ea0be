// Site statistics in running windows; see running_statistics.hpp for the
// sources.
#include "numeric/running_statistics.hpp"

#include <algorithm>
#include <cmath>

namespace detrend::numeric {
namespace {

// The series' values in the years [start, end], and their tree labels.
void clip(std::span<const IndexSeries> series, std::span<const std::size_t> tree, long start, long end,
          std::vector<IndexSeries>& out, std::vector<std::size_t>& labels) {
    out.clear();
    labels.clear();
    for (std::size_t i = 0; i < series.size(); ++i) {
        const IndexSeries& s = series[i];
        const long from = std::max(start, static_cast<long>(s.first));
        const long to = std::min(end + 1, static_cast<long>(s.first) + static_cast<long>(s.values.size()));
        if (to <= from) continue;
        out.push_back({static_cast<int>(from), s.values.subspan(static_cast<std::size_t>(from - s.first),
                                                                static_cast<std::size_t>(to - from))});
        labels.push_back(tree.empty() ? i : tree[i]);
    }
}

long floorHalf(long v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }

}  // namespace

std::vector<RunningWindow> runningStatistics(std::span<const IndexSeries> series, std::span<const std::size_t> tree,
                                             const StatisticsOptions& options, const RunningOptions& running) {
    std::vector<RunningWindow> windows;
    // Windows that would never advance: none (the command line refuses them).
    if (running.window < 2 || running.overlap < 0 || running.overlap >= running.window) return windows;
    long first = 0, last = 0;
    if (!yearsWithValues(series, first, last)) return windows;
    const long window = std::min(static_cast<long>(running.window), last - first + 1);
    const long step = running.window - running.overlap;

    StatisticsOptions inWindow = options;
    inWindow.minimumOverlap = std::min(options.minimumOverlap, static_cast<std::size_t>(window));
    std::vector<long> starts;
    for (long end = last; end - window + 1 >= first; end -= step) starts.push_back(end - window + 1);
    std::reverse(starts.begin(), starts.end());

    std::vector<IndexSeries> clipped;
    std::vector<std::size_t> labels;
    for (const long start : starts) {
        const long end = start + window - 1;
        clip(series, tree, start, end, clipped, labels);
        windows.push_back({static_cast<int>(start), static_cast<int>(floorHalf(start + end)), static_cast<int>(end),
                           siteStatistics(clipped, labels, inWindow)});
    }
    return windows;
}

}  // namespace detrend::numeric
