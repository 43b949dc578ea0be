// Crossdating quality control; see crossdating.hpp for the sources.
#include "numeric/crossdating.hpp"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/autoregression.hpp"
#include "numeric/leave_one_out_master.hpp"
#include "numeric/spline.hpp"

namespace detrend::numeric {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

bool validOptions(const CrossdatingOptions& o) {
    return o.segmentLength >= 10 && o.segmentLength % 2 == 0 && o.binFloor >= 0 && o.lagMax >= 0 &&
           o.lagMax < o.segmentLength && o.pcrit > 0.0 && o.pcrit < 1.0 && o.highPassCutoff >= 0;
}

// Working storage of one thread.
struct Work {
    std::vector<float> y, s;
    SplineBand band;
    std::vector<double> x, m;
    RankScratch ranks;
};

// values divided by the spline of the high-pass filter; false where none
// is fitted or it is not positive somewhere.
bool highPass(std::vector<double>& values, int cutoff, Work& work) {
    const std::size_t n = values.size();
    work.y.resize(n);
    for (std::size_t t = 0; t < n; ++t) work.y[t] = static_cast<float>(values[t]);
    work.s.assign(std::max<std::size_t>(n, 1), 0.0f);
    float p = 0.0f;
    if (spline(static_cast<int>(n), work.y, work.s, p, cutoff, work.band) != SplineResult::fitted) return false;
    for (std::size_t t = 0; t < n; ++t) {
        if (!(work.s[t] > 0.0f) || !std::isfinite(work.s[t])) return false;
        values[t] = values[t] / static_cast<double>(work.s[t]);
    }
    return true;
}

// Series i's values, filtered, divided by their mean and prewhitened, into
// the result; its status.
SeriesStatus prepare(const IndexSeries& s, const CrossdatingOptions& options, Work& work, int& first,
                     std::vector<double>& out) {
    std::size_t begin = 0, end = s.values.size();
    while (begin < end && std::isnan(s.values[begin])) ++begin;
    while (end > begin && std::isnan(s.values[end - 1])) --end;
    if (begin == end) return SeriesStatus::noValues;
    std::vector<double>& x = work.x;
    x.assign(s.values.begin() + static_cast<std::ptrdiff_t>(begin),
             s.values.begin() + static_cast<std::ptrdiff_t>(end));
    if (std::any_of(x.begin(), x.end(), [](double v) { return std::isnan(v); })) return SeriesStatus::gapInside;
    if (options.highPassCutoff > 0 && !highPass(x, options.highPassCutoff, work)) return SeriesStatus::highPassFailed;
    double sum = 0.0;
    for (double v : x) sum = sum + v;
    const double mean = sum / static_cast<double>(x.size());
    if (!(mean > 0.0) || !std::isfinite(mean)) return SeriesStatus::meanNotPositive;
    for (double& v : x) v = v / mean;
    first = s.first + static_cast<int>(begin);
    out.resize(x.size());
    if (x.size() > 3)
        prewhiten(x, out);
    else
        std::copy(x.begin(), x.end(), out.begin());
    return SeriesStatus::ok;
}

CorrelationTest test(std::span<const double> x, std::span<const double> y, CorrelationMethod method,
                     RankScratch& ranks) {
    return method == CorrelationMethod::spearman ? spearmanTest(x, y, ranks) : pearsonTest(x, y);
}

// The pairs of series value and master over years [from, to) of series i
// where both have one, into work.x and work.m.
void pairs(const CrossdatingResult& r, std::size_t i, long from, long to, Work& work) {
    work.x.clear();
    work.m.clear();
    const long first = r.firstYear[i], end = first + static_cast<long>(r.prewhitened[i].size());
    for (long year = std::max(from, first); year < std::min(to, end); ++year) {
        const auto t = static_cast<std::size_t>(year - first);
        if (std::isnan(r.prewhitened[i][t]) || std::isnan(r.master[i][t])) continue;
        work.x.push_back(r.prewhitened[i][t]);
        work.m.push_back(r.master[i][t]);
    }
}

// Series i's overall and segment correlations and flags.
void correlateSeries(CrossdatingResult& r, std::size_t i, const CrossdatingOptions& options, Work& work) {
    const long first = r.firstYear[i], end = first + static_cast<long>(r.prewhitened[i].size());
    pairs(r, i, first, end, work);
    if (work.x.size() >= 3) r.overall[i] = test(work.x, work.m, options.method, work.ranks);
    bool any = false;
    const auto length = static_cast<std::size_t>(options.segmentLength);
    for (std::size_t k = 0; k < r.segments.size(); ++k) {
        const long from = r.segments[k];
        if (from < first || from + options.segmentLength > end) continue;
        pairs(r, i, from, from + options.segmentLength, work);
        if (work.x.size() < length) continue;
        const std::size_t at = i * r.segments.size() + k;
        r.segment[at] = test(work.x, work.m, options.method, work.ranks);
        r.flagged[at] = r.segment[at].p > options.pcrit ? 1 : 0;
        any = true;
    }
    if (!any) r.seriesStatus[i] = SeriesStatus::noSegment;
}

}  // namespace

std::vector<int> segmentStarts(int first, int last, const CrossdatingOptions& options) {
    std::vector<int> starts;
    if (options.segmentLength < 2 || options.binFloor < 0 || first > last) return starts;
    long start = first;
    if (options.binFloor > 0) {
        const long floor = options.binFloor;
        start = (first / floor + (first % floor != 0 && first > 0 ? 1 : 0)) * floor;
    }
    for (; start + options.segmentLength - 1 <= last; start += options.segmentLength / 2)
        starts.push_back(static_cast<int>(start));
    return starts;
}

LagCorrelations lagCorrelations(const CrossdatingResult& result, std::size_t series, int segment, int lagMax) {
    LagCorrelations lags;
    lags.series = series;
    lags.segment = segment;
    lags.r.assign(static_cast<std::size_t>(2 * lagMax + 1), notANumber);
    const long first = result.firstYear[series], end = first + static_cast<long>(result.prewhitened[series].size());
    const long length = result.segmentLength;
    if (segment < first || segment + length > end) return lags;
    const auto offset = static_cast<std::size_t>(segment - first);
    const std::span<const double> x(result.prewhitened[series].data() + offset, static_cast<std::size_t>(length));
    const std::span<const double> y(result.master[series].data() + offset, static_cast<std::size_t>(length));
    if (std::any_of(x.begin(), x.end(), [](double v) { return std::isnan(v); }) ||
        std::any_of(y.begin(), y.end(), [](double v) { return std::isnan(v); }))
        return lags;
    double mx = 0.0, my = 0.0;
    for (std::size_t t = 0; t < x.size(); ++t) {
        mx = mx + x[t];
        my = my + y[t];
    }
    mx = mx / static_cast<double>(length);
    my = my / static_cast<double>(length);
    double sxx = 0.0, syy = 0.0;
    for (std::size_t t = 0; t < x.size(); ++t) {
        sxx = sxx + (x[t] - mx) * (x[t] - mx);
        syy = syy + (y[t] - my) * (y[t] - my);
    }
    const double scale = std::sqrt(sxx * syy);
    for (int k = -lagMax; k <= lagMax; ++k) {
        double sum = 0.0;
        for (long t = std::max(0, -k); t < std::min(length, length - k); ++t)
            sum = sum + (x[static_cast<std::size_t>(t)] - mx) * (y[static_cast<std::size_t>(t + k)] - my);
        lags.r[static_cast<std::size_t>(k + lagMax)] = sum / scale;
    }
    // Lag 0 first, then outward, the negative lag before the positive one.
    double best = lags.r[static_cast<std::size_t>(lagMax)];
    for (int d = 1; d <= lagMax; ++d)
        for (const int k : {-d, d})
            if (lags.r[static_cast<std::size_t>(k + lagMax)] > best) {
                best = lags.r[static_cast<std::size_t>(k + lagMax)];
                lags.bestLag = k;
            }
    lags.higherAtOtherLag = lags.bestLag != 0;
    return lags;
}

CrossdatingResult crossdate(std::span<const IndexSeries> series, const CrossdatingOptions& options) {
    CrossdatingResult r;
    const std::size_t n = series.size();
    r.segmentLength = options.segmentLength;
    r.seriesStatus.assign(n, SeriesStatus::ok);
    r.overall.assign(n, CorrelationTest{});
    r.firstYear.assign(n, 0);
    r.prewhitened.resize(n);
    if (!validOptions(options)) {
        r.status = CrossdatingStatus::invalidOptions;
        r.master.resize(n);
        return r;
    }
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, n, 1), [&](const tbb::blocked_range<std::size_t>& range) {
        Work work;
        for (std::size_t i = range.begin(); i < range.end(); ++i)
            r.seriesStatus[i] = prepare(series[i], options, work, r.firstYear[i], r.prewhitened[i]);
    });
    std::vector<IndexSeries> used(n);
    int first = std::numeric_limits<int>::max(), last = std::numeric_limits<int>::min();
    std::size_t usable = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (r.seriesStatus[i] != SeriesStatus::ok) continue;
        used[i] = {r.firstYear[i], r.prewhitened[i]};
        first = std::min(first, r.firstYear[i]);
        last = std::max(last, r.firstYear[i] + static_cast<int>(r.prewhitened[i].size()) - 1);
        ++usable;
    }
    if (usable < 3) {
        r.status = CrossdatingStatus::tooFewSeries;
        r.master.resize(n);
        return r;
    }
    r.master = leaveOneOutMasters(used);
    r.segments = segmentStarts(first, last, options);
    if (r.segments.empty()) r.status = CrossdatingStatus::noSegment;
    r.segment.assign(n * r.segments.size(), CorrelationTest{});
    r.flagged.assign(n * r.segments.size(), 0);
    std::vector<std::vector<LagCorrelations>> lags(n);
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, n, 1), [&](const tbb::blocked_range<std::size_t>& range) {
        Work work;
        for (std::size_t i = range.begin(); i < range.end(); ++i) {
            if (r.seriesStatus[i] != SeriesStatus::ok) continue;
            correlateSeries(r, i, options, work);
            for (std::size_t k = 0; k < r.segments.size(); ++k)
                if (r.flagged[i * r.segments.size() + k] != 0)
                    lags[i].push_back(lagCorrelations(r, i, r.segments[k], options.lagMax));
        }
    });
    for (auto& l : lags) r.lags.insert(r.lags.end(), l.begin(), l.end());
    return r;
}

}  // namespace detrend::numeric
