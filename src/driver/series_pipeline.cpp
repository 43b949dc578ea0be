#include "driver/series_pipeline.hpp"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "driver/failure.hpp"

namespace detrend {

void detrendInOrder(int count, int workers, int capacity, const std::function<int(int index)>& cutoff,
                    const SeriesValues& values, const SeriesDelivery& deliver) {
    if (count <= 0) return;
    // More workers than cores need the library's global limit raised too.
    std::optional<tbb::global_control> limit;
    if (workers > 0) limit.emplace(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(workers));
    tbb::task_arena arena(workers > 0 ? workers : tbb::task_arena::automatic);
    const int threads = arena.max_concurrency();
    // Series in flight: enough to keep every thread busy while one series is
    // being delivered. Fits live in a ring: the in-order last stage ends series
    // j before series j + tokens can enter the pipeline.
    const int tokens = std::min(count, 2 * threads + 1);
    std::vector<numeric::SeriesFit> fits(static_cast<std::size_t>(tokens));
    tbb::enumerable_thread_specific<numeric::SeriesScratch> scratch;

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
            tbb::parallel_pipeline(
                static_cast<std::size_t>(tokens),
                tbb::make_filter<void, int>(tbb::filter_mode::serial_in_order, [&](tbb::flow_control& control) {
                    if (next == count) {
                        control.stop();
                        return 0;
                    }
                    return next++;
                }) & tbb::make_filter<int, int>(tbb::filter_mode::parallel, [&](int index) {
                    guarded([&] {
                        numeric::detrendSeries(values(index), cutoff(index), capacity, scratch.local(),
                                               fits[static_cast<std::size_t>(index % tokens)]);
                    });
                    return index;
                }) & tbb::make_filter<int, void>(tbb::filter_mode::serial_in_order, [&](int index) {
                    guarded([&] { deliver(index, fits[static_cast<std::size_t>(index % tokens)]); });
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

}  // namespace detrend
