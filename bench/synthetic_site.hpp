// A synthetic site for the benchmarks: a common signal and each series' own
// noise, from Park and Miller's minimal standard generator, so every run
// measures the same numbers.
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

namespace detrend::bench {

// `count` series of `years` values, 0.5 + signal + noise, each uniform on
// [0, 1); staggered series keep a tenth to a half of the years each, at random
// places, NaN elsewhere.
inline std::vector<std::vector<double>> syntheticSite(int count, int years, bool staggered) {
    unsigned long state = 1;
    auto uniform = [&] {
        state = state * 16807 % 2147483647;
        return static_cast<double>(state) / 2147483647.0;
    };
    std::vector<double> signal(static_cast<std::size_t>(years));
    for (double& v : signal) v = uniform();
    std::vector<std::vector<double>> values(static_cast<std::size_t>(count));
    for (auto& series : values) {
        for (double common : signal) series.push_back(0.5 + common + uniform());
        if (!staggered) continue;
        const auto length = static_cast<std::size_t>((0.1 + 0.4 * uniform()) * years);
        const auto first = static_cast<std::size_t>(uniform() * static_cast<double>(series.size() - length));
        for (std::size_t t = 0; t < series.size(); ++t)
            if (t < first || t >= first + length) series[t] = std::numeric_limits<double>::quiet_NaN();
    }
    return values;
}

}  // namespace detrend::bench
