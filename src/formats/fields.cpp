#include "formats/fields.hpp"

#include <cmath>

namespace detrend::formats {

std::string yearOutOfRange(long long year) {
    return "year " + std::to_string(year) + " is out of range (-" + std::to_string(yearLimit) + " to " +
           std::to_string(yearLimit) + ")";
}

void cutToValues(Series& series) {
    const ValueSpan span = presentSpan(series.values, [](double v) { return !std::isnan(v); });
    if (span.empty()) {
        series.values.clear();
        series.depths.clear();
        series.problem = "it has no values";
        return;
    }
    series.firstYear += static_cast<long long>(span.first);
    for (std::vector<double>* v : {&series.values, &series.depths}) {
        if (v->empty()) continue;
        v->erase(v->begin() + static_cast<std::ptrdiff_t>(span.end), v->end());
        v->erase(v->begin(), v->begin() + static_cast<std::ptrdiff_t>(span.first));
    }
}

}  // namespace detrend::formats
