// End effects of the detrending curves: how much a curve's last years move
// when the series grows. For each series and k = 10, 20, 30, the curve fitted
// to the series without its last k years is compared, over its own last 20
// years, with the curve fitted to the whole series at the same years; the
// table shows the median over the series of the mean relative difference
// there (the end-revision error), and the fits whose curve is not positive
// everywhere (before any fallback to the mean).
// Series: 500 generated (a negative exponential age trend, AR(1) noise,
// occasional absent rings; a fixed seed) and, with REFERENCE_DIR, the
// reference sites' series.
// Usage: bench_end_effects [REFERENCE_DIR]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "formats/read_series.hpp"
#include "numeric/burg_spline.hpp"
#include "numeric/methods.hpp"

using namespace detrend;
using namespace detrend::numeric;

namespace {

std::vector<std::vector<double>> generated(int count, int shortest, int spread, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::vector<double>> all;
    for (int s = 0; s < count; ++s) {
        const int n = shortest + static_cast<int>(u(random) * spread);
        const double a = 0.5 + 1.5 * u(random), b = 0.005 + 0.025 * u(random), k = 0.2 + 0.4 * u(random);
        const double phi = 0.3 + 0.4 * u(random), sd = 0.15 + 0.15 * u(random);
        std::vector<double> v(static_cast<std::size_t>(n));
        double e = 0.0;
        for (int t = 0; t < n; ++t) {
            e = phi * e + sd * std::sqrt(1.0 - phi * phi) * normal(random);
            const double w = (a * std::exp(-b * (t + 1)) + k) * std::exp(e);
            v[static_cast<std::size_t>(t)] = u(random) < 0.005 ? 0.0 : std::round(w * 100.0) / 100.0;
        }
        all.push_back(std::move(v));
    }
    return all;
}

void addReference(const std::string& dir, std::vector<std::vector<double>>& all) {
    for (const char* site : {"az081", "chin008", "newz003"}) {
        formats::ReadOptions options;
        options.format = formats::FormatChoice::tucson;
        const formats::Read<std::string> bytes = formats::readInputFile(dir + "/data/" + site + ".rwl");
        if (!bytes.result) continue;
        const formats::Read<formats::SeriesSet> read = formats::readSeries(bytes.result.value(), options);
        if (!read.result) continue;
        const formats::SeriesSet& set = read.result.value();
        for (auto& s : set.series)
            if (!s.problem) all.push_back(s.values);
    }
}

struct Variant {
    std::string name;
    enum Kind { burgCutoff, burgAuto, method } kind;
    Method m;
    double cutoffFraction;  // 0: 32 years
};

struct Fitter {
    SeriesScratch scratch;
    FilterOrderScratch orders;
    SeriesFit series;
    CurveFit fit;
    // The curve of `values` into out; false when it is not positive
    // everywhere (before a fallback).
    bool curve(const Variant& v, std::span<const double> values, int cutoff, std::vector<double>& out) {
        if (v.kind == Variant::method) {
            MethodOptions options;
            options.cutoff = cutoff;
            fitCurve(v.m, values, options, fit);
            out = fit.curve;
            return fit.fallback != fallbackReason::notPositive;
        }
        if (v.kind == Variant::burgCutoff)
            detrendSeries(values, cutoff, 0, scratch, series);
        else
            detrendSeriesAutoFilter(values, cutoff, 0, scratch, orders, series);
        out.assign(series.spline.begin(), series.spline.end());
        return std::all_of(out.begin(), out.end(), [](double c) { return c > 0.0; });
    }
};

double median(std::vector<double> v) {
    if (v.empty()) return std::nan("");
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : 0.5 * (v[h - 1] + v[h]);
}

// The table of every variant over the series `all`.
void table(const std::vector<std::vector<double>>& all);

}  // namespace

int main(int argc, char** argv) {
    auto all = generated(500, 120, 380, 20240601);
    const std::size_t made = all.size();
    if (argc > 1) addReference(argv[1], all);
    std::printf("%zu series (%zu generated, %zu reference)\n\n", all.size(), made, all.size() - made);
    table(all);
    // Young trees: short series with a steep age trend, where a filter as
    // long as the cutoff has few values to be fitted from.
    std::printf("\n500 short series (60 to 140 years)\n\n");
    table(generated(500, 60, 80, 20261209));
    return 0;
}

namespace {

void table(const std::vector<std::vector<double>>& all) {
    const std::vector<Variant> variants = {
        {"burg-spline filter=cutoff, 32", Variant::burgCutoff, Method::burgSpline, 0},
        {"burg-spline filter=auto, 32", Variant::burgAuto, Method::burgSpline, 0},
        {"spline, 32", Variant::method, Method::spline, 0},
        {"burg-spline filter=cutoff, 67%", Variant::burgCutoff, Method::burgSpline, 0.67},
        {"burg-spline filter=auto, 67%", Variant::burgAuto, Method::burgSpline, 0.67},
        {"spline, 67%", Variant::method, Method::spline, 0.67},
        {"negexp", Variant::method, Method::negexp, 0},
        {"hugershoff", Variant::method, Method::hugershoff, 0},
        {"friedman", Variant::method, Method::friedman, 0},
        {"age-spline", Variant::method, Method::ageSpline, 0},
        {"mean", Variant::method, Method::mean, 0},
    };
    std::printf("%-32s %10s %10s %10s %14s\n", "curve", "k=10", "k=20", "k=30", "not positive");
    Fitter fitter;
    std::vector<double> whole, part;
    for (const Variant& v : variants) {
        std::vector<double> revisions[3];
        int notPositive = 0, fits = 0;
        for (const auto& series : all) {
            const int n = static_cast<int>(series.size());
            // The cutoff of the whole series serves both fits.
            const int cutoff = v.cutoffFraction > 0 ? static_cast<int>(std::floor(v.cutoffFraction * n)) : 32;
            if (n - 30 <= cutoff + 5) continue;
            notPositive += !fitter.curve(v, series, cutoff, whole);
            ++fits;
            for (int j = 0; j < 3; ++j) {
                const int k = 10 * (j + 1), m = n - k;
                notPositive += !fitter.curve(v, std::span(series).first(static_cast<std::size_t>(m)), cutoff, part);
                ++fits;
                double sum = 0.0;
                for (int t = m - 20; t < m; ++t)
                    sum += std::fabs(part[static_cast<std::size_t>(t)] - whole[static_cast<std::size_t>(t)]) /
                           std::fabs(whole[static_cast<std::size_t>(t)]);
                revisions[j].push_back(sum / 20.0);
            }
        }
        std::printf("%-32s %10.4f %10.4f %10.4f %8d / %d\n", v.name.c_str(), median(revisions[0]), median(revisions[1]),
                    median(revisions[2]), notPositive, fits);
    }
}

}  // namespace
