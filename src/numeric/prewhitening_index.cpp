#include "numeric/prewhitening_index.hpp"

#include <array>
#include <cmath>
#include <string>

#include "numeric/autoregression.hpp"

namespace detrend::numeric {
namespace {

// "ar1", "ar2", ...: the coefficients' names, made once. The order is at
// most 10 log10 n, below 200 for any series that fits in memory.
constexpr std::size_t namedOrders = 200;

std::string_view coefficientName(std::size_t k) {
    static const std::array<std::string, namedOrders + 1> names = [] {
        std::array<std::string, namedOrders + 1> made;
        for (std::size_t i = 1; i <= namedOrders; ++i) made[i] = "ar" + std::to_string(i);
        return made;
    }();
    return k <= namedOrders ? std::string_view(names[k]) : std::string_view("ar");
}

}  // namespace

void fitPrewhitening(std::span<const double> values, CurveFit& fit) {
    raiseZeroRings(values, fit.scratch.values);
    const std::size_t n = values.size();
    beginFit(fit, Method::ar, n);
    fit.index.resize(n);
    const Autoregression model = prewhiten(fit.scratch.values, fit.index);
    double sum = 0.0;
    std::size_t count = 0;
    for (double& v : fit.index) {
        if (std::isnan(v)) continue;
        if (v < 0.0) v = 0.0;
        sum = sum + v;
        ++count;
    }
    const double mean = sum / static_cast<double>(count);
    for (double& v : fit.index) v = v / mean;
    std::fill(fit.curve.begin(), fit.curve.end(), mean);
    fit.parameters.push_back({"order", static_cast<double>(model.order)});
    for (std::size_t k = 1; k <= model.coefficients.size(); ++k)
        fit.parameters.push_back({coefficientName(k), model.coefficients[k - 1]});
}

}  // namespace detrend::numeric
