#include "driver/series_pipeline.hpp"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "driver/failure.hpp"

namespace detrend {

void detrendInOrder(int count, int workers, int capacity, const std::function<int(int index)>& cutoff,
                    const SeriesValues& values, const SeriesDelivery& deliver, const SeriesPreparation& prepare) {
    if (count <= 0) return;
    // More workers than cores need the library's global limit raised too.
    std::optional<tbb::global_control> limit;
    if (workers > 0) limit.emplace(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(workers));
    tbb::task_arena arena(workers > 0 ? workers : tbb::task_arena::automatic);
    const int threads = arena.max_concurrency();
    // A token is a group of up to `lanes` consecutive series with the same
    // cutoff, detrended together (detrendSeriesGroup); fewer per group when
    // there are too few series to keep every thread busy otherwise.
    const int lanes = std::clamp(count / threads, 1, numeric::filterLanes);
    // Groups in flight: enough to keep every thread busy while one group is
    // being delivered. Their fits live in a ring of slots, one per token: the
    // in-order last stage ends group g before group g + tokens can enter the
    // pipeline.
    const int tokens = std::min((count + lanes - 1) / lanes, 2 * threads + 1);
    std::vector<numeric::SeriesFit> fits(static_cast<std::size_t>(tokens * lanes));
    std::vector<std::string> texts(fits.size());  // what `prepare` made of each fit
    tbb::enumerable_thread_specific<numeric::SeriesScratch> scratch;
    struct Group {
        int first = 0, size = 0, cutoff = 0;
        std::size_t slot = 0;  // fits[slot * lanes ..) are the group's
    };

    // Whether an exception came from the work or the delivery of a series
    // rather than from the library itself.
    std::atomic<bool> seriesFailed{false};
    auto guarded = [&](auto&& step) {
        try {
            step();
        } catch (...) {
            seriesFailed = true;
            throw;
        }
    };
    try {
        arena.execute([&] {
            int next = 0;
            int groups = 0;
            std::optional<int> nextCutoff;  // cutoff(next), when already asked
            tbb::parallel_pipeline(
                static_cast<std::size_t>(tokens),
                tbb::make_filter<void, Group>(tbb::filter_mode::serial_in_order, [&](tbb::flow_control& control) {
                    Group group;
                    if (next == count) {
                        control.stop();
                        return group;
                    }
                    guarded([&] {
                        group.first = next;
                        group.cutoff = nextCutoff ? *nextCutoff : cutoff(next);
                        nextCutoff.reset();
                        group.size = 1;
                        while (group.size < lanes && next + group.size < count) {
                            nextCutoff = cutoff(next + group.size);
                            if (*nextCutoff != group.cutoff) break;
                            nextCutoff.reset();
                            ++group.size;
                        }
                    });
                    group.slot = static_cast<std::size_t>(groups++ % tokens);
                    next += group.size;
                    return group;
                }) & tbb::make_filter<Group, Group>(tbb::filter_mode::parallel, [&](Group group) {
                    guarded([&] {
                        std::span<const double> series[numeric::filterLanes];
                        for (int i = 0; i < group.size; ++i) series[i] = values(group.first + i);
                        const auto size = static_cast<std::size_t>(group.size);
                        numeric::detrendSeriesGroup(std::span(series, size), group.cutoff, capacity, scratch.local(),
                                                    std::span(fits).subspan(group.slot * lanes, size));
                        for (std::size_t i = 0; prepare && i < size; ++i) {
                            const std::size_t at = group.slot * lanes + i;
                            prepare(group.first + static_cast<int>(i), fits[at], texts[at]);
                        }
                    });
                    return group;
                }) & tbb::make_filter<Group, void>(tbb::filter_mode::serial_in_order, [&](Group group) {
                    guarded([&] {
                        for (int i = 0; i < group.size; ++i) {
                            const std::size_t at = group.slot * lanes + static_cast<std::size_t>(i);
                            deliver(group.first + i, fits[at], texts[at]);
                        }
                    });
                }));
        });
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        if (seriesFailed) throw;
        // The library could not start its worker threads: thread stacks are
        // address space like any other.
        fail(std::string("not enough memory to start the worker threads (") + e.what() + ")");
    }
}

bool hasSpline(const numeric::SeriesFit& fit) {
    return fit.outcome == numeric::SeriesOutcome::fitted &&
           std::all_of(fit.spline.begin(), fit.spline.end(), [](float v) { return std::isfinite(v); });
}

// Why a series got no spline: a cutoff that is not a period, or no shorter
// than the series, values that overflow single precision, or a filter that
// is undefined because the series is predicted exactly by a shorter one.
std::string noSplineReason(int cutoff, std::span<const double> values, const numeric::SeriesFit& fit) {
    const std::size_t n = values.size();
    if (cutoff == 0) return "the cutoff 0 is not a period";
    if (static_cast<std::size_t>(cutoff) >= n)
        return "the cutoff " + std::to_string(cutoff) + " is not below the series' length " + std::to_string(n);
    constexpr double largest = std::numeric_limits<float>::max();
    if (std::any_of(values.begin(), values.end(), [](double v) { return std::fabs(v) > largest; }))
        return "a value is too large for single precision";
    if (std::any_of(fit.coefficients.begin(), fit.coefficients.end(), [](double d) { return std::isnan(d); }))
        return "the prediction-error filter of length " + std::to_string(cutoff) +
               " is undefined: the series is constant or repeats an exact pattern";
    return "the spline could not be computed";
}

}  // namespace detrend
