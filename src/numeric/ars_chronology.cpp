// The ARSTAN chronology; see ars_chronology.hpp for the sources.
#include "numeric/ars_chronology.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/biweight.hpp"

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t mostLags = 10;

// A series from its first to its last value (NaN where a year has none).
struct Values {
    long from = 0;
    std::span<const double> x;
};

double at(const Values& v, long year) {
    if (year < v.from || year - v.from >= static_cast<long>(v.x.size())) return NaN;
    return v.x[static_cast<std::size_t>(year - v.from)];
}

// The mean of the values that are not NaN, summed in year order.
double meanOf(std::span<const double> x) {
    double sum = 0.0;
    std::size_t n = 0;
    for (double v : x)
        if (!std::isnan(v)) {
            sum = sum + v;
            ++n;
        }
    return sum / static_cast<double>(n);
}

// C_0 .. C_lags over the years first .. first + years - 1 (see the header):
// for each lag and year, the deviations of the series with a value in both
// years, summed in the order of s.
std::vector<double> crossProductSums(std::span<const Values> s, std::span<const double> means, long first,
                                     std::size_t years, std::size_t lags) {
    std::vector<double> c(lags + 1, 0.0);
    for (std::size_t k = 0; k <= lags && k < years; ++k) {
        double total = 0.0;
        for (std::size_t t = 0; t + k < years; ++t) {
            const long year = first + static_cast<long>(t);
            double now = 0.0, later = 0.0;
            for (std::size_t i = 0; i < s.size(); ++i) {
                const double a = at(s[i], year), b = at(s[i], year + static_cast<long>(k));
                if (std::isnan(a) || std::isnan(b)) continue;
                now = now + (a - means[i]);
                later = later + (b - means[i]);
            }
            total = total + now * later;
        }
        c[k] = total;
    }
    return c;
}

// The Levinson-Durbin recursion on r_0 = 1 .. r_most: the coefficients of
// orders 1 .. and the relative innovations variances v_0 = 1, v_1, ...; it
// stops after an order that predicts exactly (v = 0).
struct Recursion {
    std::vector<std::vector<double>> coefficients;
    std::vector<double> variance{1.0};
};

Recursion levinson(std::span<const double> r, std::size_t most) {
    Recursion out;
    std::vector<double> phi;
    for (std::size_t k = 1; k <= most && out.variance.back() > 0.0; ++k) {
        double a = r[k];
        for (std::size_t j = 1; j < k; ++j) a = a - phi[j - 1] * r[k - j];
        const double kappa = a / out.variance.back();
        std::vector<double> next(k);
        for (std::size_t j = 1; j < k; ++j) next[j - 1] = phi[j - 1] - kappa * phi[k - j - 1];
        next[k - 1] = kappa;
        const double variance = out.variance.back() * (1.0 - kappa * kappa);
        if (!(variance >= 0.0)) break;
        phi = std::move(next);
        out.coefficients.push_back(phi);
        out.variance.push_back(variance);
    }
    return out;
}

// The Yule-Walker coefficients of order p of one series (NaN where a year
// has no value): zeros for a series without deviations, and those of a lower
// order, padded with zeros, where the recursion stopped before p.
std::vector<double> ownCoefficients(const Values& v, double mean, std::size_t p) {
    std::vector<double> phi(p, 0.0);
    if (p == 0) return phi;
    std::vector<double> r = crossProductSums({&v, 1}, {&mean, 1}, v.from, v.x.size(), p);
    if (!(r[0] > 0.0)) return phi;
    const double c0 = r[0];
    for (double& value : r) value = value / c0;
    const Recursion fit = levinson(r, p);
    if (!fit.coefficients.empty())
        std::copy(fit.coefficients.back().begin(), fit.coefficients.back().end(), phi.begin());
    return phi;
}

// out[t] = x(t) - m - sum phi_k (x(t - k) - m) + m, NaN where any of those
// values is NaN or t < p.
void prewhitenWith(std::span<const double> x, std::span<const double> phi, double mean, std::span<double> out) {
    const std::size_t p = phi.size();
    for (std::size_t t = 0; t < x.size(); ++t) {
        double e = t < p ? NaN : x[t] - mean;
        for (std::size_t k = 1; k <= p && !std::isnan(e); ++k) e = e - phi[k - 1] * (x[t - k] - mean);
        out[t] = e + mean;
    }
}

// out[t] = e(t) + sum phi_k (out[t - k] - mu) from the first value of e on,
// mu the mean of e, out before that counting as mu; NaN where e is NaN.
void reintroduce(std::span<const double> e, std::span<const double> phi, std::span<double> out) {
    const double mu = meanOf(e);
    for (std::size_t t = 0; t < e.size(); ++t) {
        double a = e[t];
        for (std::size_t k = 1; k <= phi.size() && k <= t && !std::isnan(a); ++k)
            if (!std::isnan(out[t - k])) a = a + phi[k - 1] * (out[t - k] - mu);
        out[t] = a;
    }
}

// The series without a gap, in an order of their own (first year, then
// values), and the index of each one with a gap; first and last year of all.
struct Spans {
    std::vector<Values> kept;
    std::vector<std::size_t> gapped;
    long first = 0, last = -1;
};

Spans spansOf(std::span<const IndexSeries> series) {
    Spans s;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const auto& v = series[i].values;
        std::size_t begin = 0, end = v.size();
        while (begin < end && std::isnan(v[begin])) ++begin;
        while (end > begin && std::isnan(v[end - 1])) --end;
        if (begin == end) continue;
        const Values span{static_cast<long>(series[i].first) + static_cast<long>(begin), v.subspan(begin, end - begin)};
        const long to = span.from + static_cast<long>(span.x.size()) - 1;
        s.first = s.last < s.first ? span.from : std::min(s.first, span.from);
        s.last = std::max(s.last, to);
        if (std::any_of(span.x.begin(), span.x.end(), [](double x) { return std::isnan(x); }))
            s.gapped.push_back(i);
        else
            s.kept.push_back(span);
    }
    std::sort(s.kept.begin(), s.kept.end(), [](const Values& a, const Values& b) {
        return a.from != b.from ? a.from < b.from
                                : std::lexicographical_compare(a.x.begin(), a.x.end(), b.x.begin(), b.x.end());
    });
    return s;
}

// The pooled model of the kept series over the years of their values.
PooledAutoregression pooledOf(std::span<const Values> kept, std::span<const double> means) {
    if (kept.empty()) return {};
    long first = kept.front().from, last = first;
    for (const Values& v : kept) last = std::max(last, v.from + static_cast<long>(v.x.size()) - 1);
    const auto years = static_cast<std::size_t>(last - first + 1);
    std::vector<double> c = crossProductSums(kept, means, first, years, std::min(mostLags, years - 1));
    const double c0 = c[0];
    if (!(c0 > 0.0)) return {};
    for (double& v : c) v = v / c0;
    return pooledModel(c, c0, years);
}

// Year by year, the mean of each set of series' values (NaN without any).
void yearlyMeans(const std::vector<std::vector<double>>& values, std::span<const Values> kept, long first,
                 ChronologyMean mean, std::span<double> out) {
    const auto average = mean == ChronologyMean::biweight ? biweightMean : arithmeticMean;
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, out.size()), [&](const tbb::blocked_range<std::size_t>& r) {
        std::vector<double> year, scratch;
        for (std::size_t y = r.begin(); y < r.end(); ++y) {
            const long t = first + static_cast<long>(y);
            year.clear();
            for (std::size_t i = 0; i < kept.size(); ++i)
                if (t >= kept[i].from && t - kept[i].from < static_cast<long>(values[i].size())) {
                    const double v = values[i][static_cast<std::size_t>(t - kept[i].from)];
                    if (!std::isnan(v)) year.push_back(v);
                }
            out[y] = average(year, scratch);
        }
    });
}

}  // namespace

PooledAutoregression pooledModel(std::span<const double> autocorrelation, double c0, std::size_t years) {
    PooledAutoregression model;
    if (autocorrelation.empty()) return model;
    model.autocorrelation.assign(autocorrelation.begin(), autocorrelation.end());
    Recursion fit = levinson(autocorrelation, autocorrelation.size() - 1);
    model.coefficients = std::move(fit.coefficients);
    const double n = static_cast<double>(years);
    for (std::size_t p = 0; p < fit.variance.size(); ++p)
        model.aic.push_back(n * std::log(c0 * fit.variance[p]) + 2.0 * static_cast<double>(p + 1));
    std::size_t order = 0;
    while (order + 1 < model.aic.size() && model.aic[order + 1] < model.aic[order]) ++order;
    model.order = static_cast<int>(order);
    return model;
}

ArsChronology buildArsChronology(std::span<const IndexSeries> series, ChronologyMean mean) {
    ArsChronology chronology;
    const Spans spans = spansOf(series);
    chronology.leftOut = spans.gapped;
    if (spans.last < spans.first) return chronology;
    const std::span<const Values> kept = spans.kept;
    std::vector<double> means(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) means[i] = meanOf(kept[i].x);
    chronology.model = pooledOf(kept, means);
    const auto p = static_cast<std::size_t>(chronology.model.order);
    const std::vector<double> phi = p == 0 ? std::vector<double>{} : chronology.model.coefficients[p - 1];

    // Each series' residuals and the pooled model put back into them.
    std::vector<std::vector<double>> residual(kept.size()), ars(kept.size());
    tbb::parallel_for(std::size_t{0}, kept.size(), [&](std::size_t i) {
        residual[i].resize(kept[i].x.size());
        ars[i].resize(kept[i].x.size());
        prewhitenWith(kept[i].x, ownCoefficients(kept[i], means[i], p), means[i], residual[i]);
        reintroduce(residual[i], phi, ars[i]);
    });

    const auto years = static_cast<std::size_t>(spans.last - spans.first + 1);
    chronology.first = static_cast<int>(spans.first);
    std::vector<double> mixed(years);
    chronology.residual.resize(years);
    chronology.ars.resize(years);
    yearlyMeans(residual, kept, spans.first, mean, mixed);
    yearlyMeans(ars, kept, spans.first, mean, chronology.ars);

    // The residual chronology prewhitened once more with its own model.
    const Values whole{spans.first, mixed};
    const double level = meanOf(mixed);
    prewhitenWith(mixed, ownCoefficients(whole, level, p), level, chronology.residual);
    return chronology;
}

}  // namespace detrend::numeric
