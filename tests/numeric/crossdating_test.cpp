// Crossdating: leave-one-out masters, segments, flags and lags, statuses,
// and the reference values of one site.
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/biweight.hpp"
#include "numeric/crossdating.hpp"
#include "numeric/leave_one_out_master.hpp"

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct MinimalStandard {
    std::uint64_t state = 1;
    double uniform() {  // in (0, 1)
        state = state * 16807 % 2147483647;
        return static_cast<double>(state) / 2147483647.0;
    }
};

std::vector<IndexSeries> view(const std::vector<std::vector<double>>& values, const std::vector<int>& first) {
    std::vector<IndexSeries> series;
    for (std::size_t i = 0; i < values.size(); ++i) series.push_back({first[i], values[i]});
    return series;
}

TEST(LeaveOneOutMaster, ThreeSeriesToy) {
    // Years 1..4; the third series starts in year 3.
    const std::vector<std::vector<double>> v{{1.0, 2.0, 3.0, 4.0}, {3.0, 2.0, 5.0, NaN}, {7.0, 1.0}};
    const auto masters = leaveOneOutMasters(view(v, {1, 1, 3}));
    // Two values get equal weights: their mean. One value is its own mean.
    const std::vector<std::vector<double>> expected{{3.0, 2.0, 6.0, 1.0}, {1.0, 2.0, 5.0, 2.5}, {4.0, 4.0}};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t t = 0; t < expected[i].size(); ++t) EXPECT_NEAR(masters[i][t], expected[i][t], 1e-15);
    // Year 4 of the second series: it has no value, the others 4 and 1.
    const std::vector<std::vector<double>> alone{{1.0, 2.0}, {5.0}};
    const auto lone = leaveOneOutMasters(view(alone, {1, 3}));
    EXPECT_TRUE(std::isnan(lone[0][0]) && std::isnan(lone[0][1]) && std::isnan(lone[1][0]));
}

// biweightWithout reads median and MAD off the sorted column; biweightMean
// sorts and selects. The same bits for every value left out, with ties,
// outliers and depths odd and even.
TEST(LeaveOneOutMaster, SameBitsAsBiweightOfTheOthers) {
    MinimalStandard random;
    std::vector<double> column, others, scratch;
    for (std::size_t depth = 1; depth <= 40; ++depth) {
        column.clear();
        for (std::size_t k = 0; k < depth; ++k) {
            const double u = random.uniform();
            column.push_back(u < 0.2    ? 1.0
                             : u > 0.95 ? 50.0 * u
                                        : std::round(u * 8.0) / 4.0 + (k % 2 == 1 ? u * 1e-3 : 0.0));
        }
        std::sort(column.begin(), column.end());
        for (std::size_t skip = 0; skip <= depth; ++skip) {
            others = column;
            if (skip < depth) others.erase(others.begin() + static_cast<std::ptrdiff_t>(skip));
            const double expected = biweightMean(others, scratch), got = biweightWithout(column, skip);
            EXPECT_TRUE(std::isnan(expected)
                            ? std::isnan(got)
                            : std::bit_cast<std::uint64_t>(expected) == std::bit_cast<std::uint64_t>(got))
                << depth << " " << skip;
        }
    }
}

TEST(Crossdating, SegmentStarts) {
    struct Case {
        int first, last, floor, length;
        std::vector<int> starts;
    };
    const Case cases[] = {
        {1601, 1971, 100, 50, {1700, 1725, 1750, 1775, 1800, 1825, 1850, 1875, 1900}},
        {1700, 1760, 100, 50, {1700}},
        {1601, 1680, 0, 40, {1601, 1621, 1641}},
        {-150, -31, 100, 20, {-100, -90, -80, -70, -60, -50}},
        {1701, 1800, 100, 50, {}},
    };
    for (const Case& c : cases) {
        CrossdatingOptions o;
        o.binFloor = c.floor;
        o.segmentLength = c.length;
        EXPECT_EQ(segmentStarts(c.first, c.last, o), c.starts) << c.first;
    }
}

// Eight series of a common signal and their own noise over 1800-2099; the
// first is dated two years late (each value labelled two years after its
// year), so it matches the master two years earlier: best lag -2.
std::vector<std::vector<double>> site(std::vector<int>& first) {
    MinimalStandard random;
    std::vector<double> signal(300);
    for (double& v : signal) v = random.uniform();
    std::vector<std::vector<double>> values(8);
    for (auto& s : values)
        for (double common : signal) s.push_back(0.5 + common + 0.5 * random.uniform());
    first.assign(8, 1800);
    first[0] = 1802;
    return values;
}

TEST(Crossdating, SeriesDatedTwoYearsLateIsFlaggedWithBestLagMinusTwo) {
    std::vector<int> first;
    const auto values = site(first);
    const auto series = view(values, first);
    for (const auto method : {CorrelationMethod::spearman, CorrelationMethod::pearson})
        for (const int cutoff : {0, 32}) {
            CrossdatingOptions o;
            o.method = method;
            o.highPassCutoff = cutoff;
            const CrossdatingResult r = crossdate(series, o);
            ASSERT_EQ(r.status, CrossdatingStatus::ok);
            ASSERT_EQ(r.segments, (std::vector<int>{1800, 1825, 1850, 1875, 1900, 1925, 1950, 1975, 2000, 2025, 2050}));
            std::size_t flagged = 0;
            for (std::size_t k = 0; k < r.segments.size(); ++k) {
                flagged += r.flagged[k];
                for (std::size_t i = 1; i < 8; ++i) EXPECT_EQ(r.flagged[i * r.segments.size() + k], 0) << i;
            }
            EXPECT_GE(flagged, 9u);  // the first series covers all but its first segment
            EXPECT_EQ(r.lags.size(), flagged);
            for (const LagCorrelations& l : r.lags) {
                EXPECT_EQ(l.series, 0u);
                EXPECT_EQ(l.bestLag, -2);
                EXPECT_TRUE(l.higherAtOtherLag);
                EXPECT_EQ(l.r.size(), 11u);
            }
            EXPECT_TRUE(std::isnan(r.at(0, 0).r));  // 1802: the segment from 1800 not covered
            EXPECT_GT(r.overall[1].r, 0.5);
            EXPECT_LT(r.overall[1].p, 1e-10);
        }
}

TEST(Crossdating, ResultsDoNotDependOnThreads) {
    std::vector<int> first;
    const auto values = site(first);
    const auto series = view(values, first);
    const CrossdatingResult many = crossdate(series, {});
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    const CrossdatingResult single = crossdate(series, {});
    ASSERT_EQ(many.segment.size(), single.segment.size());
    for (std::size_t k = 0; k < many.segment.size(); ++k)
        EXPECT_TRUE(std::bit_cast<std::uint64_t>(many.segment[k].r) ==
                    std::bit_cast<std::uint64_t>(single.segment[k].r));
    for (std::size_t i = 0; i < many.master.size(); ++i) EXPECT_EQ(many.master[i].size(), single.master[i].size());
}

TEST(Crossdating, StatusesInsteadOfFaults) {
    std::vector<int> first;
    auto values = site(first);
    values[1][100] = NaN;  // a gap inside
    values[2].assign(300, 0.0);  // all rings absent
    values[3].resize(30);  // too short for any segment
    values[4].resize(3);  // too short for the high-pass spline
    const CrossdatingResult r = crossdate(view(values, first), {});
    EXPECT_EQ(r.status, CrossdatingStatus::ok);
    EXPECT_EQ(r.seriesStatus[1], SeriesStatus::gapInside);
    EXPECT_EQ(r.seriesStatus[2], SeriesStatus::meanNotPositive);
    EXPECT_EQ(r.seriesStatus[3], SeriesStatus::noSegment);
    CrossdatingOptions filtered;
    filtered.highPassCutoff = 32;
    const CrossdatingResult f = crossdate(view(values, first), filtered);
    EXPECT_EQ(f.seriesStatus[2], SeriesStatus::highPassFailed);  // a spline of zeros is not positive
    EXPECT_EQ(f.seriesStatus[4], SeriesStatus::highPassFailed);
    EXPECT_FALSE(std::isnan(r.overall[3].r));  // its 30 years still correlate with the master
    EXPECT_TRUE(std::isnan(r.overall[1].r));

    const std::vector<std::vector<double>> two(values.begin() + 5, values.begin() + 7);
    EXPECT_EQ(crossdate(view(two, {1800, 1800}), {}).status, CrossdatingStatus::tooFewSeries);
    const std::vector<std::vector<double>> brief{values[5], values[6], values[7]};
    CrossdatingOptions longer;
    longer.segmentLength = 400;
    const CrossdatingResult none = crossdate(view(brief, {1800, 1800, 1800}), longer);
    EXPECT_EQ(none.status, CrossdatingStatus::noSegment);
    EXPECT_FALSE(std::isnan(none.overall[0].r));
    for (const auto& bad : {CrossdatingOptions{51}, CrossdatingOptions{8}, CrossdatingOptions{50, -1},
                            CrossdatingOptions{50, 100, 50}, CrossdatingOptions{50, 100, 5, 1.0}})
        EXPECT_EQ(crossdate(view(brief, {1800, 1800, 1800}), bad).status, CrossdatingStatus::invalidOptions);
}

// The 44 series of reference data/chin008.rwl, copied to tests/data.
std::vector<std::vector<double>> chin008(std::vector<std::string>& ids, std::vector<int>& first) {
    std::ifstream in(DETREND_TEST_DATA "/chin008-rings.txt");
    std::vector<std::vector<double>> values;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string id;
        int year = 0;
        double divisor = 1.0, v = 0.0;
        fields >> id >> year >> divisor;
        ids.push_back(id);
        first.push_back(year);
        values.emplace_back();
        while (fields >> v) values.back().push_back(v / divisor);
    }
    return values;
}

TEST(Crossdating, ReferenceSite) {
    std::vector<std::string> ids;
    std::vector<int> first;
    const auto values = chin008(ids, first);
    ASSERT_EQ(values.size(), 44u);
    const CrossdatingResult r = crossdate(view(values, first), {});
    ASSERT_EQ(r.segments.front(), 1700);
    ASSERT_EQ(r.segments.size(), 11u);
    auto index = [&](const std::string& id) {
        return static_cast<std::size_t>(std::find(ids.begin(), ids.end(), id) - ids.begin());
    };
    // from reference xdate/chin008/interseries.csv
    const struct {
        const char* id;
        double r, p;
    } overall[] = {{"WUY01A", 0.491993281075028, 2.9599564573838751e-07},
                   {"WUY10A", 0.66583863897296747, 3.1150476105543419e-12},
                   {"WUY18B", 0.41194979164838863, 6.7479627968565289e-12},
                   {"WUY25A", 0.55517810389210365, 0}};
    for (const auto& o : overall) {
        EXPECT_NEAR(r.overall[index(o.id)].r, o.r, 1e-14) << o.id;
        EXPECT_NEAR(r.overall[index(o.id)].p, o.p, 1e-15) << o.id;
    }
    // from reference xdate/chin008/seg-cor.csv and seg-p.csv: WUY18B from
    // 1775 (before it, its prewhitened values do not cover the segment), and
    // WUY25A from 1725 (in 1700-1703 no other series has a value, so its
    // master lacks years of the first segment)
    const struct {
        const char* id;
        std::size_t from;
        std::vector<double> r, p;
    } segments[] = {
        {"WUY18B",
         3,
         {0.46189675870348135, 0.33186074429771906, 0.49253301320528214, 0.51039615846338537, 0.39774309723889556,
          0.60941176470588232, 0.62266506602641059, 0.1983673469387755},
         {0.00041688938642007133, 0.0094883456045573925, 0.0001663666795312748, 9.374588819492278e-05,
          0.0022485814305440574, 2.180681155768533e-06, 1.2204656590337192e-06, 0.083433544407062452}},
        {"WUY25A",
         1,
         {0.52288115246098443, 0.76057623049219691, 0.61843937575030006, 0.58376950780312131, 0.621608643457383,
          0.54487394957983193, 0.58521008403361341, 0.65983193277310925, 0.77315726290516207, 0.48216086434573829},
         {6.1681503668210879e-05, 0, 1.4710895649626377e-06, 6.3802088683920474e-06, 1.2789865237028547e-06,
          2.8424724119137039e-05, 6.0178559515860515e-06, 2.2437027669616758e-07, 0, 0.0002290975234726235}},
    };
    for (const auto& s : segments) {
        const std::size_t i = index(s.id);
        for (std::size_t k = 0; k < s.from; ++k) EXPECT_TRUE(std::isnan(r.at(i, k).r)) << s.id << k;
        for (std::size_t k = s.from; k < r.segments.size(); ++k) {
            EXPECT_NEAR(r.at(i, k).r, s.r[k - s.from], 1e-14) << s.id << k;
            EXPECT_NEAR(r.at(i, k).p, s.p[k - s.from], 1e-14) << s.id << k;
        }
    }
    // from reference xdate/chin008/seg-flags.csv and ccf-WUY18B.csv (column 1950, lags -5..5)
    ASSERT_EQ(r.lags.size(), 1u);
    const LagCorrelations& l = r.lags[0];
    EXPECT_EQ(l.series, index("WUY18B"));
    EXPECT_EQ(l.segment, 1950);
    const double ccf[] = {0.032754081319833907,  -0.14830926836009659, -0.037931810602788531, -0.16156920492561744,
                          0.041239719079894752,  0.26681718405069227,  -0.12147446566125898,  -0.11124028177985533,
                          0.0044038659007796625, 0.3901266502695952,   -0.041089428077335434};
    for (std::size_t k = 0; k < 11; ++k) EXPECT_NEAR(l.r[k], ccf[k], 1e-14) << k;
    EXPECT_EQ(l.bestLag, 4);
    EXPECT_TRUE(l.higherAtOtherLag);
}

}  // namespace
}  // namespace detrend::numeric
