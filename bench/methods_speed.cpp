// Time of each detrending method on the dialogue's largest table, 699
// series of 9000 years, on one thread, against the Burg-extended spline.
// Usage: bench_methods_speed [series years]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "numeric/burg_spline.hpp"
#include "numeric/methods.hpp"

using namespace detrend::numeric;

int main(int argc, char** argv) {
    const int count = argc > 2 ? std::atoi(argv[1]) : 699;
    const int years = argc > 2 ? std::atoi(argv[2]) : 9000;
    std::mt19937_64 random(1);
    std::normal_distribution<double> normal(0.0, 0.2);
    std::vector<std::vector<double>> all(static_cast<std::size_t>(count));
    for (auto& v : all) {
        double e = 0.0;
        for (int t = 1; t <= years; ++t) {
            e = 0.5 * e + normal(random);
            v.push_back((1.5 * std::exp(-0.002 * t) + 0.4) * std::exp(e));
        }
    }
    auto time = [&](auto&& fit) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& v : all) fit(v);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    SeriesScratch scratch;
    SeriesFit series;
    FilterOrderScratch orders;
    const double burg = time([&](const std::vector<double>& v) { detrendSeries(v, 32, 0, scratch, series); });
    std::printf("%d series x %d years, one thread\n%-24s %8.3f s\n", count, years, "burg-spline 32", burg);
    const double automatic =
        time([&](const std::vector<double>& v) { detrendSeriesAutoFilter(v, 32, 0, scratch, orders, series); });
    std::printf("%-24s %8.3f s  %5.2f x\n", "burg-spline auto 32", automatic, automatic / burg);
    CurveFit fit;
    for (Method m : {Method::spline, Method::negexp, Method::hugershoff, Method::mean, Method::ar, Method::friedman,
                     Method::ageSpline, Method::line}) {
        MethodOptions options;
        options.cutoff = m == Method::spline ? 32 : 0;
        const double t = time([&](const std::vector<double>& v) { fitCurve(m, v, options, fit); });
        std::printf("%-24s %8.3f s  %5.2f x\n", std::string(methodName(m)).c_str(), t, t / burg);
    }
    MethodOptions defaults;
    const double t = time([&](const std::vector<double>& v) { fitCurve(Method::spline, v, defaults, fit); });
    std::printf("%-24s %8.3f s  %5.2f x\n", "spline 67%", t, t / burg);
    return 0;
}
