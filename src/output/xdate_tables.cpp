#include "output/xdate_tables.hpp"

#include <cmath>

#include "base/text.hpp"
#include "output/write_csv.hpp"

namespace detrend::output {
namespace {

std::string number(double value) {
    if (std::isnan(value)) return "NA";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    return base::shortestNumber(value);
}

}  // namespace

std::string seriesStatisticsCsv(std::span<const std::string> names,
                                std::span<const numeric::SeriesStatistics> statistics) {
    std::string out = "series,first,last,year,mean,median,stdev,skew,gini,ar1,sens1,sens2,zeros\n";
    for (std::size_t i = 0; i < names.size() && i < statistics.size(); ++i) {
        const numeric::SeriesStatistics& s = statistics[i];
        const bool none = s.length == 0;
        out += csvField(names[i]) + "," + (none ? "NA" : std::to_string(s.first)) + "," +
               (none ? "NA" : std::to_string(s.last)) + "," + std::to_string(s.length);
        for (double v : {s.mean, s.median, s.stdev, s.skewness, s.gini, s.ar1, s.sens1, s.sens2})
            out += "," + number(v);
        out += "," + std::to_string(s.zeros) + "\n";
    }
    return out;
}

std::string overallCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result) {
    std::string out = "series,r,p\n";
    for (std::size_t i = 0; i < names.size() && i < result.overall.size(); ++i)
        out += csvField(names[i]) + "," + number(result.overall[i].r) + "," + number(result.overall[i].p) + "\n";
    return out;
}

std::string segmentsCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result) {
    std::string out = "series,first,last,r,p,flagged\n";
    const std::size_t segments = result.segments.size();
    for (std::size_t i = 0; i < names.size() && segments > 0 && (i + 1) * segments <= result.segment.size(); ++i) {
        for (std::size_t k = 0; k < segments; ++k) {
            const numeric::CorrelationTest& t = result.at(i, k);
            if (t.n == 0) continue;  // not covered
            const int first = result.segments[k];
            out += csvField(names[i]) + "," + std::to_string(first) + "," +
                   std::to_string(first + result.segmentLength - 1) + "," + number(t.r) + "," + number(t.p) + "," +
                   (result.flagged[i * segments + k] != 0 ? "TRUE" : "FALSE") + "\n";
        }
    }
    return out;
}

std::string lagsCsv(std::span<const std::string> names, const numeric::CrossdatingResult& result) {
    std::string out = "series,first,lag,r\n";
    for (const numeric::LagCorrelations& lags : result.lags) {
        if (lags.series >= names.size() || lags.r.empty()) continue;
        const int lagMax = static_cast<int>(lags.r.size() / 2);
        for (int k = -lagMax; k <= lagMax; ++k)
            out += csvField(names[lags.series]) + "," + std::to_string(lags.segment) + "," + std::to_string(k) + "," +
                   number(lags.r[static_cast<std::size_t>(k + lagMax)]) + "\n";
    }
    return out;
}

}  // namespace detrend::output
