// The ordered pipeline delivers in order and gives the same bits whatever the
// number of workers, groups of series with equal cutoffs included.
#include "pipeline/detrend_in_order.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace detrend::pipeline {
namespace {

std::string bits(const numeric::SeriesFit& fit) {
    std::ostringstream out;
    out << static_cast<int>(fit.outcome) << fit.filterComputed << fit.mean << '|';
    for (double d : fit.coefficients) out << d << ' ';
    for (std::size_t i = 0; i < fit.series.size(); ++i)
        out << fit.series[i] << ',' << fit.spline[i] << ',' << fit.residual[i] << ';';
    return out.str();
}

struct Stop {};

// Delivers 60 series of varied lengths, in runs of equal cutoffs that form
// groups of every size, some failing, and stops by throwing at series 50 as
// an ending in the middle of a run would. Every fit must be the one a series
// gets on its own.
std::string deliveredWith(int workers) {
    std::vector<std::vector<double>> series;
    for (int s = 0; s < 60; ++s) {
        std::vector<double> v(static_cast<std::size_t>(5 + (s * 37) % 300));
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = 1.0 + 0.001 * static_cast<double>((i * 7919 + s) % 997);
        series.push_back(v);
    }
    auto cutoff = [](int index) { return index % 11 == 3 ? 0 : 1 + (index / 6) % 40; };
    std::string delivered;
    int expected = 0;
    OrderedWork work;
    work.count = 60;
    work.workers = workers;
    const numeric::BurgSpline method(10000);
    work.method = &method;
    work.cutoff = cutoff;
    work.values = [&](int index) { return std::span<const double>(series[static_cast<std::size_t>(index)]); };
    std::vector<std::string> prepared;
    work.reserveSlots = [&](std::size_t slots) { prepared.resize(slots); };
    work.prepare = [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
        prepared[slot] = std::to_string(index) + ":" + bits(fit);
    };
    numeric::SeriesScratch scratch;
    numeric::SeriesFit alone;
    try {
        const base::Status status =
            detrendInOrder(work, [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
                if (index != expected++) delivered += "out of order ";
                if (index == 50) throw Stop{};
                // What the workers prepared belongs to this very series.
                if (prepared[slot] != std::to_string(index) + ":" + bits(fit)) delivered += "prepared for another ";
                numeric::detrendSeries(series[static_cast<std::size_t>(index)], cutoff(index), 10000, scratch, alone);
                if (bits(alone) != bits(fit)) delivered += "not as alone ";
                delivered += bits(fit) + '\n';
                return true;
            });
        EXPECT_TRUE(status.ok());
    } catch (const Stop&) {
        delivered += "stop";
    }
    return delivered;
}

TEST(Pipeline, SameDeliveriesForAnyNumberOfWorkers) {
    const std::string one = deliveredWith(1);
    EXPECT_NE(one.find("stop"), std::string::npos);
    EXPECT_EQ(one.find("not as alone"), std::string::npos);
    EXPECT_EQ(one.find("prepared for another"), std::string::npos);
    for (int workers : {2, 4, 0}) EXPECT_EQ(deliveredWith(workers), one) << workers;
}

// A delivery that says not to go on is the last.
TEST(Pipeline, ADeliveryCanStopTheRest) {
    std::vector<double> values(40, 1.0);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] += 0.01 * static_cast<double>(i % 7);
    OrderedWork work;
    work.count = 30;
    work.workers = 2;
    const numeric::BurgSpline method;
    work.method = &method;
    work.cutoff = [](int) { return 5; };
    work.values = [&](int) { return std::span<const double>(values); };
    std::vector<int> delivered;
    ASSERT_TRUE(detrendInOrder(work, [&](int index, const numeric::SeriesFit&, std::size_t) {
                    delivered.push_back(index);
                    return index < 7;
                }).ok());
    EXPECT_EQ(delivered, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

}  // namespace
}  // namespace detrend::pipeline
