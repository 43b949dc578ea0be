// One-sided tests of Spearman's and Pearson's correlation; see
// spearman_test.hpp for the sources.
#include "numeric/spearman_test.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "numeric/correlation.hpp"
#include "numeric/student_t.hpp"

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// For n = 0 .. spearmanExactLimit, the number of the n! permutations of the
// ranks with each value of S (even, 0 .. n (n^2 - 1) / 3), by enumeration.
struct ExactCounts {
    std::array<std::vector<std::uint32_t>, spearmanExactLimit + 1> count;
    std::array<double, spearmanExactLimit + 1> permutations{};
    ExactCounts() {
        for (std::size_t n = 0; n <= spearmanExactLimit; ++n) {
            std::vector<int> rank(n);
            std::iota(rank.begin(), rank.end(), 0);
            count[n].assign(n * (n * n - 1) / 3 + 1, 0);
            double total = 0.0;
            do {
                std::size_t s = 0;
                for (std::size_t i = 0; i < n; ++i) {
                    const auto d = static_cast<std::size_t>(std::abs(rank[i] - static_cast<int>(i)));
                    s += d * d;
                }
                ++count[n][s];
                total = total + 1.0;
            } while (std::next_permutation(rank.begin(), rank.end()));
            permutations[n] = total;
        }
    }
};

const ExactCounts& exactCounts() {
    static const ExactCounts counts;
    return counts;
}

// The permutations of n ranks with S >= s (upper) or S < s.
double exactTail(std::size_t n, std::int64_t s, bool upper) {
    const auto& c = exactCounts().count[n];
    double above = 0.0, below = 0.0;
    for (std::size_t v = 0; v < c.size(); ++v) (static_cast<std::int64_t>(v) >= s ? above : below) += c[v];
    return (upper ? above : below) / exactCounts().permutations[n];
}

// AS 89's Edgeworth series for P(S >= s), s even, before clipping.
double edgeworth(std::size_t n, std::int64_t s) {
    constexpr double c1 = 0.2274, c2 = 0.2531, c3 = 0.1745, c4 = 0.0758, c5 = 0.1033, c6 = 0.3932, c7 = 0.0879,
                     c8 = 0.0151, c9 = 0.0072, c10 = 0.0831, c11 = 0.0131, c12 = 4.6e-4;
    const double b = 1.0 / static_cast<double>(n);
    const double x =
        (6.0 * (static_cast<double>(s) - 1.0) * b / (1.0 / (b * b) - 1.0) - 1.0) * std::sqrt(1.0 / b - 1.0);
    const double y = x * x;
    const double u =
        x * b *
        (c1 + b * (c2 + c3 * b) +
         y * (-c4 + b * (c5 + c6 * b) - y * b * (c7 + c8 * b - y * (c9 - c10 * b + y * b * (c11 - c12 * y)))));
    const double normalUpper = 0.5 * std::erfc(x / std::sqrt(2.0));
    return u / std::exp(y / 2.0) + normalUpper;
}

// The ranks of v (mean ranks for ties) into rank; whether a value repeats.
bool ranks(std::span<const double> v, std::vector<double>& rank, std::vector<std::pair<double, std::size_t>>& order) {
    const std::size_t n = v.size();
    order.resize(n);
    rank.resize(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = {v[i], i};
    std::sort(order.begin(), order.end());
    bool ties = false;
    for (std::size_t k = 0; k < n;) {
        std::size_t end = k + 1;
        while (end < n && order[end].first == order[k].first) ++end;
        ties = ties || end - k > 1;
        const double mean = static_cast<double>(k + 1 + end) / 2.0;  // of ranks k + 1 .. end
        for (; k < end; ++k) rank[order[k].second] = mean;
    }
    return ties;
}

}  // namespace

double spearmanUpperTail(std::size_t n, std::int64_t s) {
    if (n <= 1 || s <= 0) return 1.0;
    const auto count = static_cast<std::int64_t>(n);
    if (s > count * (count * count - 1) / 3) return 0.0;
    if (s % 2 != 0) ++s;
    if (n <= spearmanExactLimit) return exactTail(n, s, true);
    return std::clamp(edgeworth(n, s), 0.0, 1.0);
}

double spearmanGreaterP(double rho, std::size_t n) {
    if (std::isnan(rho)) return notANumber;
    const double count = static_cast<double>(n);
    const auto q = static_cast<std::int64_t>(std::round((count * count * count - count) * (1.0 - rho) / 6.0));
    std::int64_t s = q + 2;
    if (s % 2 != 0) ++s;
    if (n >= 2 && n <= spearmanExactLimit) return exactTail(n, s, false);
    return 1.0 - spearmanUpperTail(n, s);
}

double tGreaterP(double r, std::size_t n) {
    if (std::isnan(r) || n < 3) return notANumber;
    if (r >= 1.0) return 0.0;
    if (r <= -1.0) return 1.0;
    const double df = static_cast<double>(n) - 2.0;
    return studentTUpper(r * std::sqrt(df / (1.0 - r * r)), df);
}

CorrelationTest spearmanTest(std::span<const double> x, std::span<const double> y, RankScratch& scratch) {
    CorrelationTest test;
    test.n = x.size();
    if (test.n == 0) return test;
    const bool tiesX = ranks(x, scratch.rx, scratch.order);
    const bool tiesY = ranks(y, scratch.ry, scratch.order);
    test.ties = tiesX || tiesY;
    test.r = pearson(scratch.rx, scratch.ry);
    test.p = test.ties ? tGreaterP(test.r, test.n) : spearmanGreaterP(test.r, test.n);
    return test;
}

CorrelationTest pearsonTest(std::span<const double> x, std::span<const double> y) {
    CorrelationTest test;
    test.n = x.size();
    if (test.n == 0) return test;
    test.r = pearson(x, y);
    test.p = tGreaterP(test.r, test.n);
    return test;
}

}  // namespace detrend::numeric
