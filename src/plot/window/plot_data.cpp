#include "plot/window/plot_data.hpp"

#include "base/text.hpp"

namespace detrend::plot {

void buildPlotData(std::span<const float> series, std::span<const float> spline, std::span<const float> residual, int n,
                   int firstYear, PlotData& data) {
    data.n = n;
    float ymin = 100000.0f;
    float ymax = -100000.0f;
    for (int i = 0; i < n; ++i) {
        data.years[i] = static_cast<float>(static_cast<long long>(firstYear) + i);
        data.series[i] = series[i];
        data.spline[i] = spline[i];
        for (float v : {data.series[i], data.spline[i], residual[i]})
            if (ymax < v) ymax = v;
        for (float v : {data.series[i], data.spline[i], residual[i]})
            if (ymin > v) ymin = v;
    }
    data.xmin = static_cast<float>(firstYear);
    data.xmax = static_cast<float>(static_cast<long long>(firstYear) + n - 1);
    data.ymin = ymin;
    data.ymax = ymax;
}

std::string_view plotTitle(std::string_view name) { return base::withoutTrailingBlanks(name); }

}  // namespace detrend::plot
