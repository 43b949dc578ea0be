#include "pipeline/detrend_in_order.hpp"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace detrend::pipeline {
namespace {

// A token of the pipeline: a group of consecutive series with the same
// cutoff, up to the method's group size, fitted together.
struct Group {
    int first = 0, size = 0, cutoff = 0;
    std::size_t slot = 0;  // fits[slot * lanes ..) are the group's
};

class OrderedRun {
public:
    OrderedRun(const OrderedWork& work, const SeriesDelivery& deliver, int threads)
        : work_(work),
          deliver_(deliver),
          // Fewer per group when there are too few series to keep every
          // thread busy otherwise.
          lanes_(std::clamp(work.count / threads, 1, work.method->groupSize())),
          // Groups in flight: enough to keep every thread busy while one
          // group is being delivered. Their fits live in a ring of slots, one
          // per token: the in-order last stage ends group g before group g +
          // tokens can enter the pipeline.
          tokens_(std::min((work.count + lanes_ - 1) / lanes_, 2 * threads + 1)),
          fits_(static_cast<std::size_t>(tokens_ * lanes_)) {
        if (work.reserveSlots) work.reserveSlots(fits_.size());
    }

    int tokens() const { return tokens_; }
    // Whether an exception came from the work or the delivery of a series
    // rather than from the library itself.
    bool seriesFailed() const { return seriesFailed_; }

    // The serial first stage: the next group, or none.
    Group nextGroup(tbb::flow_control& control) {
        Group group;
        if (next_ == work_.count || stopped_) {
            control.stop();
            return group;
        }
        guarded([&] {
            group.first = next_;
            group.cutoff = nextCutoff_ ? *nextCutoff_ : work_.cutoff(next_);
            nextCutoff_.reset();
            group.size = 1;
            while (group.size < lanes_ && next_ + group.size < work_.count) {
                nextCutoff_ = work_.cutoff(next_ + group.size);
                if (*nextCutoff_ != group.cutoff) break;
                nextCutoff_.reset();
                ++group.size;
            }
        });
        group.slot = static_cast<std::size_t>(groups_++ % tokens_);
        next_ += group.size;
        return group;
    }

    // The parallel stage: detrends the group and prepares what it delivers.
    void detrend(const Group& group) {
        if (stopped_) return;
        guarded([&] {
            std::span<const double> series[numeric::filterLanes];
            for (int i = 0; i < group.size; ++i) series[i] = work_.values(group.first + i);
            const auto size = static_cast<std::size_t>(group.size);
            work_.method->fit(std::span(series, size), group.cutoff, scratch_.local(),
                              std::span(fits_).subspan(group.slot * lanes_, size));
            for (std::size_t i = 0; work_.prepare && i < size; ++i) {
                const std::size_t at = group.slot * lanes_ + i;
                work_.prepare(group.first + static_cast<int>(i), fits_[at], at);
            }
        });
    }

    // The serial last stage: delivers the group's series in order.
    void deliver(const Group& group) {
        guarded([&] {
            for (int i = 0; i < group.size && !stopped_; ++i) {
                const std::size_t at = group.slot * lanes_ + static_cast<std::size_t>(i);
                if (!deliver_(group.first + i, fits_[at], at)) stopped_ = true;
            }
        });
    }

private:
    template <class Step>
    void guarded(Step&& step) {
        try {
            step();
        } catch (...) {
            seriesFailed_ = true;
            throw;
        }
    }

    const OrderedWork& work_;
    const SeriesDelivery& deliver_;
    const int lanes_, tokens_;
    std::vector<numeric::SeriesFit> fits_;
    tbb::enumerable_thread_specific<numeric::SeriesScratch> scratch_;
    std::atomic<bool> seriesFailed_{false};
    std::atomic<bool> stopped_{false};  // a delivery said not to go on
    int next_ = 0;
    int groups_ = 0;
    std::optional<int> nextCutoff_;  // cutoff(next_), when already asked
};

}  // namespace

void onWorkers(int workers, const std::function<void()>& work) {
    // More workers than cores need the library's global limit raised too.
    std::optional<tbb::global_control> limit;
    if (workers > 0) limit.emplace(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(workers));
    tbb::task_arena arena(workers > 0 ? workers : tbb::task_arena::automatic);
    arena.execute(work);
}

base::Status detrendInOrder(const OrderedWork& work, const SeriesDelivery& deliver) {
    if (work.count <= 0) return base::Status::success();
    const int threads = work.workers > 0 ? work.workers : tbb::task_arena(tbb::task_arena::automatic).max_concurrency();
    OrderedRun run(work, deliver, threads);
    try {
        onWorkers(work.workers, [&] {
            tbb::parallel_pipeline(
                static_cast<std::size_t>(run.tokens()),
                tbb::make_filter<void, Group>(tbb::filter_mode::serial_in_order, [&](tbb::flow_control& control) {
                    return run.nextGroup(control);
                }) & tbb::make_filter<Group, Group>(tbb::filter_mode::parallel, [&](Group group) {
                    run.detrend(group);
                    return group;
                }) & tbb::make_filter<Group, void>(tbb::filter_mode::serial_in_order, [&](Group group) {
                    run.deliver(group);
                }));
        });
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        if (run.seriesFailed()) throw;
        // The library could not start its worker threads: thread stacks are
        // address space like any other.
        return base::Status::failure(std::string("not enough memory to start the worker threads (") + e.what() + ")");
    }
    return base::Status::success();
}

}  // namespace detrend::pipeline
