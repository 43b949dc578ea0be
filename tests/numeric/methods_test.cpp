// The detrending methods: worked values, properties that locate real faults
// (a line a running-lines smoother must reproduce, a uniform age-dependent
// spline that must be the fixed spline), and the R library's fits of three
// real series (methods_reference_data.hpp).
#include "numeric/methods.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>

#include "methods_reference_data.hpp"
#include "numeric/burg_spline.hpp"
#include "numeric/filter_order.hpp"
#include "numeric/gauss_newton.hpp"
#include "numeric/hugershoff.hpp"
#include "numeric/linear_curve.hpp"
#include "numeric/negative_exponential.hpp"
#include "numeric/pefilter.hpp"
#include "numeric/super_smoother.hpp"
#include "numeric/variable_spline.hpp"

namespace detrend::numeric {
namespace {

double parameter(const CurveFit& fit, std::string_view name) {
    for (const auto& p : fit.parameters)
        if (p.name == name) return p.value;
    return std::nan("");
}

TEST(Methods, NamesRoundTrip) {
    for (Method m : {Method::burgSpline, Method::spline, Method::negexp, Method::hugershoff, Method::mean, Method::ar,
                     Method::friedman, Method::ageSpline, Method::line})
        EXPECT_EQ(methodByName(methodName(m)), m) << methodName(m);
    EXPECT_EQ(methodByName("negexp"), Method::negexp);
    EXPECT_FALSE(methodByName("NegExp"));
    EXPECT_FALSE(methodByName(""));
    CurveFit fit;
    const std::vector<double> v = {1, 2, 3};
    EXPECT_FALSE(fitCurve(Method::burgSpline, v, {}, fit));
    EXPECT_FALSE(fitCurve(Method::mean, {}, {}, fit));
}

// Worked by hand: the mean with a zero ring raised, and lines on t = 1..n.
TEST(Methods, MeanAndLineByHand) {
    CurveFit fit;
    ASSERT_TRUE(fitCurve(Method::mean, std::vector<double>{1.0, 0.0, 3.0}, {}, fit));
    EXPECT_DOUBLE_EQ(fit.curve[1], 4.001 / 3.0);
    EXPECT_EQ(fit.scratch.values[1], zeroRingWidth);

    struct Case {
        std::vector<double> y;
        bool posSlope;
        Method used;
        std::string_view fallback;
        double first, last;
    };
    const Case cases[] = {
        {{9, 7, 5, 3}, false, Method::line, fallbackReason::notConverged, 9, 3},  // falling: the line
        {{3, 5, 7, 9}, false, Method::mean, fallbackReason::risingLine, 6, 6},  // rising: the mean
        {{3, 5, 7, 9}, true, Method::line, fallbackReason::notConverged, 3, 9},  // unless a rise is allowed
        {{9, 5, 1, 0.001}, false, Method::mean, fallbackReason::lineNotPositive, 3.75025, 3.75025},  // ends below 0
    };
    for (const Case& c : cases) {
        lineOrMean(c.y, c.posSlope, fallbackReason::notConverged, fit);
        EXPECT_EQ(fit.used, c.used);
        EXPECT_EQ(fit.fallback, c.fallback);
        EXPECT_NEAR(fit.curve.front(), c.first, 1e-12);
        EXPECT_NEAR(fit.curve.back(), c.last, 1e-12);
    }
    const Line line = leastSquaresLine(std::vector<double>{1.0, 3.0, 2.0, 6.0});  // slope 7/5, intercept -1/2
    EXPECT_NEAR(line.slope, 1.4, 1e-15);
    EXPECT_NEAR(line.intercept, -0.5, 1e-15);
}

// Noiseless curves are recovered (the relative offset there is rounding
// noise over rounding noise: an exact fit counts as converged).
TEST(Methods, NoiselessCurvesRecovered) {
    struct Case {
        Method method;
        std::vector<std::pair<const char*, double>> truth;
    };
    const Case cases[] = {
        {Method::negexp, {{"a", 2.0}, {"b", -0.03}, {"k", 0.4}}},
        {Method::hugershoff, {{"a", 0.5}, {"b", 0.8}, {"g", 0.04}, {"d", 0.3}}},
    };
    for (const Case& c : cases) {
        std::vector<double> y(150);
        for (std::size_t i = 0; i < y.size(); ++i) {
            const double t = static_cast<double>(i + 1);
            const auto& p = c.truth;
            y[i] = c.method == Method::negexp
                       ? p[0].second * std::exp(p[1].second * t) + p[2].second
                       : p[0].second * std::pow(t, p[1].second) * std::exp(-p[2].second * t) + p[3].second;
        }
        CurveFit fit;
        ASSERT_TRUE(fitCurve(c.method, y, {}, fit));
        ASSERT_EQ(fit.used, c.method) << fit.fallback;
        for (const auto& [name, value] : c.truth) EXPECT_NEAR(parameter(fit, name), value, 1e-7 * std::fabs(value));
    }
}

// The constrained fit keeps its bounds where the unconstrained one leaves
// them: 083061 of az081 has k = -0.509 unconstrained (reference
// methods/az081/ModNegExp-info.csv); here a series of that shape.
TEST(Methods, ConstrainedFitKeepsItsBounds) {
    std::vector<double> y(200);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    for (std::size_t i = 0; i < y.size(); ++i)
        y[i] = 1.2 * std::exp(-0.0015 * static_cast<double>(i + 1)) - 0.5 + noise(random);
    CurveFit fit;
    MethodOptions options;
    fitCurve(Method::negexp, y, options, fit);
    ASSERT_EQ(fit.used, Method::negexp);
    EXPECT_LT(parameter(fit, "k"), 0.0);
    for (Constrain constrain : {Constrain::always, Constrain::whenFail}) {
        options.constrain = constrain;
        fitCurve(Method::negexp, y, options, fit);
        if (constrain == Constrain::whenFail) {  // the unconstrained fit did not fail
            EXPECT_LT(parameter(fit, "k"), 0.0);
            continue;
        }
        ASSERT_EQ(fit.used, Method::negexp) << fit.fallback;
        EXPECT_EQ(parameter(fit, "k"), 0.0);
        EXPECT_GT(parameter(fit, "a"), 0.0);
        EXPECT_LT(parameter(fit, "b"), 0.0);
    }
}

// Running lines reproduce a line exactly, whatever the spans chosen; a
// fixed span is one running-lines smooth.
TEST(Methods, SuperSmootherReproducesALine) {
    std::vector<double> y(120), out(120), work;
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = 3.0 - 0.01 * static_cast<double>(i + 1);
    for (int bass : {0, 5, 10}) {
        superSmoother(y, 0.0, bass, out, work);
        for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(out[i], y[i], 1e-12) << bass << " " << i;
    }
    superSmoother(y, 0.3, 0, out, work);
    for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(out[i], y[i], 1e-12);
}

// A fixed span is one running-lines smooth: at each point the
// least-squares line of the window of 2 floor(span n / 2 + 1/2) + 1 points
// around it (shifted inwards at the ends), here fitted directly.
TEST(Methods, RunningLinesAreTheWindowsLeastSquaresLines) {
    std::mt19937 random(23);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (const std::size_t n : {7u, 40u, 501u}) {
        std::vector<double> y(n), out(n), work;
        for (std::size_t i = 0; i < n; ++i) y[i] = 2.0 + std::sin(0.05 * static_cast<double>(i)) + noise(random);
        const double span = 0.1;
        superSmoother(y, span, 0, out, work);
        const long half = std::max(2L, static_cast<long>(0.5 * span * static_cast<double>(n) + 0.5));
        const long width = std::min<long>(2 * half + 1, static_cast<long>(n));
        for (long j = 0; j < static_cast<long>(n); ++j) {
            const long first = std::clamp(j - half, 0L, static_cast<long>(n) - width);
            double sx = 0.0, sy = 0.0;
            for (long i = first; i < first + width; ++i)
                sx += static_cast<double>(i + 1), sy += y[static_cast<std::size_t>(i)];
            const double xm = sx / static_cast<double>(width), ym = sy / static_cast<double>(width);
            double sxx = 0.0, sxy = 0.0;
            for (long i = first; i < first + width; ++i) {
                const double dx = static_cast<double>(i + 1) - xm;
                sxx += dx * dx;
                sxy += dx * (y[static_cast<std::size_t>(i)] - ym);
            }
            const double line = ym + sxy / sxx * (static_cast<double>(j + 1) - xm);
            ASSERT_NEAR(out[static_cast<std::size_t>(j)], line, 1e-12 * std::fabs(line)) << n << " " << j;
        }
    }
}

// With every period equal the age-dependent spline's solver is the spline
// of spline.hpp (to single precision, in which that one works).
TEST(Methods, UniformVariableSplineIsTheFixedSpline) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> u(0.5, 1.5);
    for (int cutoff : {5, 32, 120}) {
        std::vector<double> y(200), nyrs(200, cutoff), s(200);
        std::vector<float> yf(200), sf(200);
        for (std::size_t i = 0; i < y.size(); ++i) yf[i] = static_cast<float>(y[i] = u(random));
        std::vector<double> work;
        ASSERT_TRUE(variableSpline(y, nyrs, s, work));
        float p;
        SplineBand band;
        ASSERT_EQ(spline(200, yf, sf, p, cutoff, band), SplineResult::fitted);
        for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(s[i], sf[i], 2e-6) << cutoff << " " << i;
    }
}

TEST(Methods, PrewhiteningIndex) {
    std::vector<double> y(100);
    double previous = 0.0;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (double& v : y) v = previous = 1.0 + 0.7 * (previous - 1.0) + noise(random);
    CurveFit fit;
    ASSERT_TRUE(fitCurve(Method::ar, y, {}, fit));
    const int order = static_cast<int>(parameter(fit, "order"));
    ASSERT_GE(order, 1);
    ASSERT_EQ(fit.parameters.size(), static_cast<std::size_t>(order) + 1);
    EXPECT_EQ(fit.parameters[1].name, "ar1");
    double sum = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (i < static_cast<std::size_t>(order)) {
            EXPECT_TRUE(std::isnan(fit.index[i]));
            continue;
        }
        EXPECT_GE(fit.index[i], 0.0);
        sum += fit.index[i];
    }
    EXPECT_NEAR(sum / static_cast<double>(y.size() - static_cast<std::size_t>(order)), 1.0, 1e-12);
}

// One CurveFit serves series of every length and method in turn.
TEST(Methods, FitReusedAcrossSeriesAndMethods) {
    CurveFit fit;
    std::vector<double> longer(300, 1.0), shorter = {2.0, 1.0, 1.5, 1.2, 0.9};
    for (std::size_t i = 0; i < longer.size(); ++i) longer[i] = 1.0 + 0.5 * std::sin(0.1 * static_cast<double>(i));
    fitCurve(Method::ar, longer, {}, fit);
    fitCurve(Method::spline, shorter, {}, fit);
    EXPECT_EQ(fit.curve.size(), 5u);
    EXPECT_TRUE(fit.index.empty());
    fitCurve(Method::negexp, std::vector<double>{1.0, 2.0}, {}, fit);  // too short: the line, rising: the mean
    EXPECT_EQ(fit.used, Method::mean);
    EXPECT_EQ(fit.fallback, fallbackReason::risingLine);
    fitCurve(Method::friedman, longer, {}, fit);
    EXPECT_EQ(fit.fallback, "");
    EXPECT_EQ(fit.curve.size(), 300u);
}

// Burg's powers per order are the bits pefilter leaves for that order; the
// filter of the cutoff's length is detrendSeries to the bit.
TEST(Methods, BurgPowersAndFilterOrder) {
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> x(400);
    float a = 0.0f, b = 0.0f;
    for (float& v : x) {  // AR(2): x(t) = 1.2 x(t-1) - 0.6 x(t-2) + e
        v = 1.2f * a - 0.6f * b + noise(random);
        b = a;
        a = v;
    }
    FilterOrderScratch scratch;
    std::vector<double> powers(40);
    burgPowers(x, 400, 40, powers, scratch);
    std::vector<double> d(40), f(400), bw(400), w(40);
    for (int m : {1, 2, 7, 40}) {
        double P;
        pefilter(x, 400, m, P, d, f, bw, w);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(P),
                  std::bit_cast<std::uint64_t>(powers[static_cast<std::size_t>(m - 1)]))
            << m;
    }
    EXPECT_EQ(filterOrderByFpe(x, 400, 32, scratch), 2);
    EXPECT_EQ(filterOrderByFpe(x, 2, 32, scratch), 0);  // no order below n / 3
}

TEST(Methods, FilterOfTheCutoffsLengthIsDetrendSeries) {
    std::vector<double> values(90);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = 2.0 * std::exp(-0.02 * static_cast<double>(i)) + 0.3 * std::sin(static_cast<double>(i));
    struct Case {
        int cutoff, capacity;
    };
    for (const Case& c : {Case{12, 0}, Case{32, 0}, Case{40, 150}, Case{200, 150}, Case{0, 0}}) {
        SeriesScratch s1, s2;
        SeriesFit expected, actual;
        detrendSeries(values, c.cutoff, c.capacity, s1, expected);
        detrendSeriesWithFilter(values, c.cutoff, c.cutoff, c.capacity, s2, actual);
        EXPECT_EQ(actual.outcome, expected.outcome) << c.cutoff;
        EXPECT_EQ(actual.coefficients, expected.coefficients) << c.cutoff;
        ASSERT_EQ(actual.spline.size(), expected.spline.size());
        ASSERT_EQ(actual.residual.size(), expected.residual.size());
        // Bits, NaN included; an empty fit (the filter too long) has none.
        if (actual.spline.empty()) continue;
        EXPECT_EQ(std::memcmp(actual.spline.data(), expected.spline.data(), actual.spline.size() * sizeof(float)), 0);
        EXPECT_EQ(std::memcmp(actual.residual.data(), expected.residual.data(), actual.residual.size() * sizeof(float)),
                  0);
    }
}

// The models' exponential: within one unit in the last place of std::exp
// over the whole range (the rounded result's neighbours), std::exp's limits
// beyond it, and the same bits with and without the processor's vector
// instructions, for every length (a last block of fewer than four).
TEST(Methods, ExpOfWithinOneUnitInTheLastPlace) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> u(-750.0, 712.0);
    std::vector<double> x(20003);
    for (double& v : x) v = u(random);
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {0.0, -0.0, 1e-300, -708.0, 709.0, 709.78, -745.1, -745.2, 0.3465735902799727, -inf, inf};
    std::copy(std::begin(edges), std::end(edges), x.begin());
    x[11] = std::nan("");
    std::vector<double> ours(x.size()), baseline(x.size());
    expOf(x, ours);
    expOfBaseline(x, baseline);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double expected = std::exp(x[i]);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(ours[i]));
            continue;
        }
        const auto units = std::bit_cast<std::int64_t>(ours[i]) - std::bit_cast<std::int64_t>(expected);
        ASSERT_LE(std::abs(units), 1) << x[i];
        ASSERT_EQ(std::bit_cast<std::uint64_t>(ours[i]), std::bit_cast<std::uint64_t>(baseline[i])) << x[i];
    }
    EXPECT_EQ(ours[0], 1.0);
    EXPECT_EQ(ours[9], 0.0);
    EXPECT_EQ(ours[10], inf);
    for (std::size_t n = 1; n <= 9; ++n) {  // in place, any length
        std::vector<double> y(x.begin() + 20, x.begin() + 20 + static_cast<std::ptrdiff_t>(n));
        expOf(y, y);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(y[i], ours[20 + i]) << n;
    }
}

// The models' derivatives are those of their shapes (central differences).
TEST(Methods, ModelSlopesAreTheShapesDerivatives) {
    const std::size_t n = 300;
    std::vector<double> logs(n);
    for (std::size_t i = 0; i < n; ++i) logs[i] = std::log(static_cast<double>(i + 1));
    struct Case {
        const NonlinearModel& model;
        std::vector<double> theta;
    };
    const Case cases[] = {{negativeExponentialModel(), {2.0, -0.01, 0.3}}, {hugershoffModel(), {0.5, 0.8, 0.04, 0.3}}};
    for (const Case& c : cases) {
        const std::size_t middle = c.theta.size() - 2;
        std::vector<double> u(n), du(middle * n), up(n), down(n);
        c.model.shape(c.theta, logs, u);
        c.model.slopes(c.theta, logs, u, du);
        for (std::size_t j = 1; j <= middle; ++j) {
            std::vector<double> moved = c.theta;
            const double h = 1e-6 * std::fabs(c.theta[j]);
            moved[j] = c.theta[j] + h;
            c.model.shape(moved, logs, up);
            moved[j] = c.theta[j] - h;
            c.model.shape(moved, logs, down);
            for (std::size_t i = 0; i < n; ++i) {
                const double central = (up[i] - down[i]) / (2.0 * h);
                ASSERT_NEAR(du[(j - 1) * n + i], central, 1e-6 * (std::fabs(central) + u[i])) << j << " " << i;
            }
        }
    }
}

// The model's own gradient, the differences, and the one then the other
// reach the same least-squares fit of a noisy series (to the tolerance).
TEST(Methods, GradientKindsReachTheSameFit) {
    std::mt19937 random(19);
    std::normal_distribution<double> noise(0.0, 0.05);
    struct Case {
        const NonlinearModel& model;
        std::vector<double> truth, start;
    };
    const Case cases[] = {{negativeExponentialModel(), {1.5, -0.02, 0.4}, {1.0, -0.01, 0.5}},
                          {hugershoffModel(), {0.5, 0.8, 0.04, 0.3}, {0.4, 1.0, 0.1, 0.4}}};
    FitScratch scratch;
    for (const Case& c : cases) {
        const std::size_t n = 250;
        std::vector<double> logs(n), u(n), y(n);
        for (std::size_t i = 0; i < n; ++i) logs[i] = std::log(static_cast<double>(i + 1));
        c.model.shape(c.truth, logs, u);
        for (std::size_t i = 0; i < n; ++i) y[i] = c.truth.front() * u[i] + c.truth.back() + noise(random);
        std::vector<std::vector<double>> fits;
        for (double from : {0.0, 1e-3, std::numeric_limits<double>::infinity()}) {
            GaussNewtonOptions options;
            options.differencesFrom = from;
            std::vector<double> theta = c.start;
            ASSERT_EQ(gaussNewton(c.model, y, theta, options, scratch), GaussNewtonStatus::converged) << from;
            fits.push_back(theta);
        }
        for (std::size_t k = 1; k < fits.size(); ++k)
            for (std::size_t j = 0; j < c.truth.size(); ++j)
                EXPECT_NEAR(fits[k][j], fits[0][j], 1e-4 * std::fabs(fits[0][j])) << k << " " << j;
        EXPECT_NEAR(fits[0][1], c.truth[1], 0.2 * std::fabs(c.truth[1]));
    }
}

// The order's search keeps the filter of the order it chooses: the fit is
// the bits of the filter of that order computed anew, whatever the length,
// the cutoff (n / 3 below it, an order of 0) and the bound on the filter.
TEST(Methods, AutoFilterIsTheFilterOfItsOrder) {
    std::mt19937 random(13);
    std::normal_distribution<double> noise(0.0, 0.3);
    struct Case {
        int n, cutoff, capacity;
    };
    SeriesScratch s1, s2;
    FilterOrderScratch orders;
    SeriesFit expected, actual;
    std::vector<int> chosen;
    for (const Case& c :
         {Case{400, 32, 0}, Case{90, 40, 0}, Case{2, 32, 0}, Case{300, 20, 10}, Case{60, 12, 0}, Case{1000, 64, 0}}) {
        std::vector<double> values(static_cast<std::size_t>(c.n));
        double e = 0.0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            e = 0.6 * e + noise(random);
            values[i] = 1.5 * std::exp(-0.01 * static_cast<double>(i)) + 0.5 + 0.2 * e;
        }
        const int order = detrendSeriesAutoFilter(values, c.cutoff, c.capacity, s1, orders, actual);
        chosen.push_back(order);
        detrendSeriesWithFilter(values, c.cutoff, order, c.capacity, s2, expected);
        SCOPED_TRACE(c.n);
        EXPECT_EQ(actual.outcome, expected.outcome);
        EXPECT_EQ(actual.filterComputed, expected.filterComputed);
        EXPECT_EQ(actual.coefficients, expected.coefficients);
        ASSERT_EQ(actual.spline.size(), expected.spline.size());
        ASSERT_EQ(actual.series.size(), expected.series.size());
        if (!actual.spline.empty()) {
            EXPECT_EQ(std::memcmp(actual.spline.data(), expected.spline.data(), actual.spline.size() * sizeof(float)),
                      0);
        }
        if (!actual.series.empty()) {
            EXPECT_EQ(std::memcmp(actual.series.data(), expected.series.data(), actual.series.size() * sizeof(float)),
                      0);
        }
    }
    EXPECT_EQ(chosen[2], 0);  // no order below n / 3
    EXPECT_GT(*std::max_element(chosen.begin(), chosen.end()), 1);  // not only the first stage
    EXPECT_GT(chosen[0], 0);
}

// The R library's fits of three real series.
std::vector<double> millimetres(std::span<const int> raw, double unit) {
    std::vector<double> v;
    for (int r : raw) v.push_back(r / unit);
    return v;
}

Method referenceMethod(std::string_view name) {
    static const std::map<std::string_view, Method> names = {{"Mean", Method::mean},
                                                             {"Line", Method::line},
                                                             {"NegativeExponential", Method::negexp},
                                                             {"Hugershoff", Method::hugershoff},
                                                             {"Spline", Method::spline},
                                                             {"Friedman", Method::friedman},
                                                             {"Age-Dep Spline", Method::ageSpline},
                                                             {"Ar", Method::ar}};
    return names.at(name);
}

TEST(Methods, ReferenceFitsOfRealSeries) {
    using namespace reference;
    struct Case {
        const char* name;
        std::vector<double> values;
        Method method;
        int cutoff;
        const ReferenceFit& expected;
        double tolerance;  // relative, of the curve
    };
    const auto s083012 = millimetres(raw_083012, 100.0);
    const auto sWUY01A = millimetres(raw_WUY01A, 1000.0);
    const auto sWUY07A = millimetres(raw_WUY07A, 1000.0);
    // Single-precision splines: 1e-6; nonlinear fits stop where the relative
    // offset first falls below 1e-5, which the gradient's last digits move.
    const Case cases[] = {
        {"083012", s083012, Method::mean, 0, Mean_083012, 1e-12},
        {"083012", s083012, Method::spline, 0, Spline_083012, 1e-6},
        {"083012", s083012, Method::spline, 32, Spline32_083012, 1e-6},
        {"083012", s083012, Method::negexp, 0, ModNegExp_083012, 1e-6},
        {"083012", s083012, Method::hugershoff, 0, ModHugershoff_083012, 1e-6},
        {"083012", s083012, Method::ar, 0, Ar_083012, 1e-12},
        {"083012", s083012, Method::friedman, 0, Friedman_083012, 1e-7},
        {"083012", s083012, Method::ageSpline, 0, AgeDepSpline_083012, 1e-9},
        {"WUY01A", sWUY01A, Method::negexp, 0, ModNegExp_WUY01A, 1e-12},
        {"WUY01A", sWUY01A, Method::hugershoff, 0, ModHugershoff_WUY01A, 1e-12},
        {"WUY01A", sWUY01A, Method::spline, 32, Spline32_WUY01A, 1e-6},
        {"WUY01A", sWUY01A, Method::friedman, 0, Friedman_WUY01A, 1e-7},
        {"WUY01A", sWUY01A, Method::ageSpline, 0, AgeDepSpline_WUY01A, 1e-9},
        {"WUY01A", sWUY01A, Method::ar, 0, Ar_WUY01A, 1e-12},
        {"WUY07A", sWUY07A, Method::negexp, 0, ModNegExp_WUY07A, 1e-12},
        {"WUY07A", sWUY07A, Method::hugershoff, 0, ModHugershoff_WUY07A, 1e-6},
        {"WUY07A", sWUY07A, Method::spline, 0, Spline_WUY07A, 1e-6},
        {"WUY07A", sWUY07A, Method::ageSpline, 0, AgeDepSpline_WUY07A, 1e-9},
    };
    CurveFit fit;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::string(methodName(c.method)));
        MethodOptions options;
        options.cutoff = c.cutoff;
        ASSERT_TRUE(fitCurve(c.method, c.values, options, fit));
        ASSERT_EQ(fit.used, referenceMethod(c.expected.method)) << fit.fallback;
        for (const Point& p : c.expected.points) {
            const auto i = static_cast<std::size_t>(p.ring);
            EXPECT_NEAR(fit.curve[i], p.curve, c.tolerance * p.curve) << p.ring;
            const double index = c.method == Method::ar ? fit.index[i] : fit.scratch.values[i] / fit.curve[i];
            if (std::isnan(p.index))
                EXPECT_TRUE(std::isnan(index)) << p.ring;
            else
                EXPECT_NEAR(index, p.index, 2 * c.tolerance * p.index) << p.ring;
        }
        for (const auto& [name, value] : c.expected.parameters) {
            const std::string_view ours = std::string_view(name) == "nyrs"
                                              ? (c.method == Method::ageSpline ? "nyrs0" : "cutoff")
                                              : std::string_view(name);
            if (ours == "f") continue;
            EXPECT_NEAR(parameter(fit, ours), value, 1e-5 * std::fabs(value)) << name;
        }
    }
}

}  // namespace
}  // namespace detrend::numeric
