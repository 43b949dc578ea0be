// Site statistics with trees and cores, running windows and the subsample
// signal strength: small hand-worked sites, and windows of three sites of the
// world's tree-ring archive against the field's reference tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "numeric/running_statistics.hpp"
#include "numeric/signal_statistics.hpp"
#include "numeric/subsample_signal.hpp"
#include "numeric/tree_ids.hpp"

namespace detrend::numeric {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool near(double a, double b, double tolerance) {
    return std::isnan(a) ? std::isnan(b) : std::fabs(a - b) <= tolerance;
}

// n.cores, n.trees, n, n.tot, n.wt, n.bt, then rbar.tot, rbar.wt, rbar.bt,
// c.eff, rbar.eff, eps, snr.
struct Expected {
    std::size_t counts[6];
    double values[7];
};

void expectStatistics(const SiteStatistics& s, const Expected& e, double tolerance, const std::string& what) {
    const std::size_t counts[] = {s.cores, s.trees, s.n, s.pairs, s.pairsWithin, s.pairsBetween};
    const double values[] = {s.rbarTotal, s.rbarWithin, s.rbarBetween, s.coresPerTree, s.rbarEffective, s.eps, s.snr};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(counts[k], e.counts[k]) << what << " count " << k;
    for (std::size_t k = 0; k < 7; ++k)
        EXPECT_TRUE(near(values[k], e.values[k], tolerance)) << what << " value " << k << ": " << values[k];
}

// Walsh functions of 40 years: +-1, mean 0 and orthogonal to one another, so
// that sums of them correlate (Pearson's) as the cosines of their
// coefficient vectors: A + B with A, 1/sqrt 2; A + B with A + C, 1/2.
std::vector<double> walsh(double a, double b, double c, double shift) {
    std::vector<double> x(40);
    for (std::size_t t = 0; t < 40; ++t)
        x[t] = shift + a * (t % 2 ? -1 : 1) + b * (t / 2 % 2 ? -1 : 1) + c * (t / 4 % 2 ? -1 : 1);
    return x;
}

TEST(SiteStatistics, HandWorkedSites) {
    const double r2 = 0.70710678118654752;  // 1 / sqrt 2
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::vector<double>>> series;
        std::vector<std::size_t> tree;
        Zeros zeros;
        Expected expected;
    };
    const Case cases[] = {
        // Cores A + B and A + C of one tree: one pair within, none between.
        {"one tree of two cores",
         {{1900, walsh(1, 1, 0, 10)}, {1900, walsh(1, 0, 1, 10)}},
         {4, 4},
         Zeros::missing,
         {{2, 1, 0, 1, 1, 0}, {0.5, 0.5, NaN, NaN, NaN, NaN, NaN}}},
        // A, A + B, B as trees 7, 8, 9: r = 1/sqrt 2, 0, 1/sqrt 2, rbar = sqrt 2 / 3.
        {"three trees of one core",
         {{1900, walsh(1, 0, 0, 10)}, {1900, walsh(1, 1, 0, 10)}, {1900, walsh(0, 1, 0, 10)}},
         {7, 8, 9},
         Zeros::missing,
         {{3, 3, 3, 3, 0, 3},
          {0.47140452079103173, NaN, 0.47140452079103173, 1, 0.47140452079103173, 0.7279220613578554,
           2.6754174373368373}}},
        // Trees 1 (A + B, A + C), 2 (A, A + B + C) and 3 (B): within 1/2 and
        // 1/sqrt 3; between 1/sqrt 2 (three times), sqrt(2/3) (twice), 0
        // (twice), 1/sqrt 3; cores per tree 2, 2, 1, so 1 / c.eff = 2/3.
        {"trees of two cores and one",
         {{1900, walsh(1, 1, 0, 10)},
          {1900, walsh(1, 0, 1, 10)},
          {1900, walsh(1, 0, 0, 10)},
          {1900, walsh(1, 1, 1, 10)},
          {1900, walsh(0, 1, 0, 10)}},
         {1, 1, 2, 2, 3},
         Zeros::missing,
         {{5, 3, 3, 10, 2, 8},
          {0.5409014043794347, 0.5386751345948129, 0.5414579718255901, 1.5, 0.6398510362122524, 0.8420192848249145,
           5.329886523755315}}},
        // 5 + 5A is 0 in 20 years: missing, it has too few years for a pair;
        // counted, it correlates 1 with 10 + A and 1/sqrt 2 with 10 + A + B.
        {"zeros missing",
         {{1900, walsh(5, 0, 0, 5)}, {1900, walsh(1, 0, 0, 10)}, {1900, walsh(1, 1, 0, 10)}},
         {},
         Zeros::missing,
         {{3, 3, 2, 1, 0, 1}, {r2, NaN, r2, 1, r2, 0.8284271247461901, 4.828427124746189}}},
        {"zeros counted",
         {{1900, walsh(5, 0, 0, 5)}, {1900, walsh(1, 0, 0, 10)}, {1900, walsh(1, 1, 0, 10)}},
         {},
         Zeros::counted,
         {{3, 3, 3, 3, 0, 3},
          {0.8047378541243649, NaN, 0.8047378541243649, 1, 0.8047378541243649, 0.9251718859622269,
           12.363961030678922}}},
        // A series from 1911 shares 29 years with the others: it is a core
        // and a tree, but not in n.
        {"a series overlapping too little",
         {{1900, walsh(1, 0, 0, 10)}, {1900, walsh(1, 1, 0, 10)}, {1911, walsh(0, 0, 1, 10)}},
         {},
         Zeros::missing,
         {{3, 3, 2, 1, 0, 1}, {r2, NaN, r2, 1, r2, 0.8284271247461901, 4.828427124746189}}},
    };
    for (const Case& c : cases) {
        std::vector<IndexSeries> series;
        for (const auto& [first, values] : c.series) series.push_back({first, values});
        expectStatistics(siteStatistics(series, c.tree, {CorrelationMethod::pearson, c.zeros}), c.expected, 1e-14,
                         c.name);
    }
}

// Series of many lengths at many places, a few sharing their years (a
// block): the sweep visits every pair with enough years in common, for
// several least overlaps, as correlating each pair alone does.
TEST(Correlation, SweepFindsEveryPair) {
    std::uint64_t state = 1;
    const auto next = [&] { return state = state * 16807 % 2147483647; };
    std::vector<std::vector<double>> values;
    std::vector<IndexSeries> series;
    for (int k = 0; k < 60; ++k) {
        const bool again = k % 7 == 6;
        values.emplace_back(again ? values.back().size() : 5 + next() % 80);
        for (double& v : values.back()) v = static_cast<double>(next() % 1000) / 100.0 + 1.0;
        series.push_back({again ? series.back().first : 1700 + static_cast<int>(next() % 120), values.back()});
    }
    for (std::size_t i = 0; i < series.size(); ++i) series[i].values = values[i];
    for (std::size_t least : {2, 10, 30})
        for (auto method : {CorrelationMethod::pearson, CorrelationMethod::spearman}) {
            std::vector<PairCorrelation> alone;
            for (std::size_t i = 0; i < series.size(); ++i)
                for (std::size_t j = i + 1; j < series.size(); ++j)
                    if (const double r = pairCorrelation(series[i], series[j], method, least); !std::isnan(r))
                        alone.push_back({i, j, r});
            const auto swept = pairCorrelations(series, method, least);
            ASSERT_EQ(swept.size(), alone.size()) << least;
            for (std::size_t k = 0; k < alone.size(); ++k)
                EXPECT_TRUE(swept[k].first == alone[k].first && swept[k].second == alone[k].second &&
                            swept[k].r == alone[k].r)
                    << least << " " << k;
        }
}

// A core of a site as copied: its name, tree, first year and values.
struct Core {
    const char* name;
    std::size_t tree;
    int first;
    std::vector<double> values;
};

// The first running window of two sites, every value the window holds:
// from reference site/newz003/rwi.csv, 1626-1675, to 8 significant digits,
// and site/chin008/rwi.csv, 1705-1754, to 6 (distinct values stay distinct
// and in order, so Spearman's ranks are the same); trees from their ids.csv.
const Core newz003[] = {
    {"EMT921", 92, 1630, {0.92727069, 1.084322,   1.5850921, 0.91572403, 1.0490706,  0.84905301, 1.0548061,  0.82377827,
                          0.57745817, 0.71047437, 1.1748066, 0.88487169, 0.9349324,  1.0976029,  0.63386879, 0.42811547,
                          1.1958219,  1.5770548,  1.4605002, 1.0819493,  0.93115377, 1.1614302,  0.62818096, 0.98566733,
                          1.1564202,  0.86784529, 1.1237429, 1.1756009,  1.0656363,  0.72504314, 0.84456572, 0.85283821,
                          0.88655064, 1.0569217,  1.023697,  1.0603681,  1.0651651,  1.1592813,  1.1972812,  0.99193007,
                          0.92744729, 1.175601,   1.2782901, 0.99393211, 1.0232383,  0.83020972}},
    {"EMT922", 92, 1650, {0.93376748, 0.99823197, 0.31453394, 0.91114725, 1.1184246,  1.0177173,  1.3889892,
                          1.2804948,  1.1738301,  0.88044658, 1.0136149,  0.97554238, 0.79970975, 0.97991312,
                          0.87307114, 0.93388567, 0.91965476, 1.1212482,  1.0096219,  1.0307008,  0.84597999,
                          1.2384745,  1.565426,   0.89651873, 1.1240606,  0.74298282}},
    {"EMT923", 92, 1626, {0.71580141, 0.43478874, 1.2103371,  1.5264049,  1.1431009,  1.2831592,  1.2076201,
                          0.75319053, 1.1356879,  0.94736398, 1.107685,   1.0897951,  0.56568493, 0.68355118,
                          0.61036769, 0.7142791,  1.1784323,  1.3526275,  1.0708971,  1.2089189,  0.90866924,
                          0.89453445, 1.2716982,  1.1999667,  1.1052073,  1.1554888,  0.52322404, 0.80245255,
                          1.1248035,  0.9234515,  1.3503963,  1.2611884,  1.1122106,  0.68716233, 0.85312381,
                          0.90671824, 0.76913387, 0.79461734, 0.87100257, 0.98122338, 1.1086647,  1.2028798,
                          1.1359941,  1.0800003,  0.87831314, 1.1760392,  1.4036131,  0.92897042, 1.1108669,
                          0.8522647}},
    {"EMT924", 92, 1626, {0.54519546, 1.0078046,  1.0785996,  1.288162,   1.0831882, 1.2210479,  1.3120708,
                          0.77520324, 1.0603987,  0.97359415, 1.0333228,  1.0846264, 0.99692328, 0.90893638,
                          0.56992137, 0.44550123, 0.89226548, 1.5122314,  1.2604498, 1.2132926,  1.1474002,
                          1.2478716,  1.2777495,  1.0393864,  0.98036531, 1.0428546, 0.51005772, 0.46629545,
                          0.88077932, 0.8500427,  1.2538584,  1.4137588,  1.0605514, 0.85547874, 0.80465271,
                          0.8370912,  0.76994164, 0.93532725, 1.0756054,  1.0230963, 1.0460483,  1.2095361,
                          1.1208507,  1.0428947,  0.80650832, 1.2500481,  1.378296,  0.85296495, 1.1345966,
                          0.78774083}},
    {"EMT963", 96, 1633, {1.1062692,  1.2846771,  1.1189992,  1.3002234,  0.65010086, 0.9435594,  0.68778346,
                          0.87995737, 0.77544473, 0.9586357,  0.91056419, 0.73093046, 1.0054935,  1.0735231,
                          0.94429161, 0.99421615, 0.91611734, 1.2329774,  0.97320377, 0.72569416, 0.99727002,
                          1.0631739,  1.1207436,  1.2998777,  0.89214622, 1.1813768,  0.84578388, 0.96497192,
                          0.98775798, 0.67933079, 1.0448361,  1.3549322,  1.6148991,  1.2273578,  1.312217,
                          0.87466802, 0.7757913,  0.70120126, 0.72235748, 0.64970211, 0.79716479, 0.90978805,
                          1.0812826}},
    {"EMT972", 97, 1670, {0.71561076, 1.0403499, 1.2125189, 1.1552058, 1.2669395, 0.96387158}},
    {"EMT973", 97, 1626, {0.83014619, 1.003091,   0.79642865, 0.64028819, 0.55169321, 0.58222125, 1.2176311,
                          1.410211,   1.5629489,  1.2421491,  1.1357603,  0.70429019, 0.8124702,  1.4011374,
                          0.99123165, 1.1639123,  1.0415802,  0.63518124, 0.65583997, 0.63995692, 0.75014085,
                          0.88788562, 0.84570978, 1.1986579,  1.2120781,  0.91641081, 0.52209855, 1.0776081,
                          1.1084654,  1.0103837,  1.1825276,  1.07047,    1.2355434,  1.0772964,  1.170882,
                          1.1598431,  1.2228088,  0.90048367, 0.91466726, 0.86299702, 0.69058313, 0.76455316,
                          0.88277657, 1.1335854,  0.92396196, 1.432823,   1.417902,   1.351159,   0.47389273,
                          0.6393426}},
    {"EMT974", 97, 1640, {1.3522935,  1.0933519,  1.5078582,  0.78550541, 1.4000295,  1.2721457,
                          1.0066042,  0.78753189, 0.93354895, 0.59133141, 0.71830461, 0.65957384,
                          0.44617361, 0.73508509, 0.78584422, 0.76932315, 1.1079983,  1.1359599,
                          0.98180924, 0.87775954, 0.97111518, 1.1932534,  1.1340125,  1.0837151,
                          0.96123253, 0.93632991, 0.9168597,  0.94663004, 1.0953259,  1.0892347,
                          0.99096453, 1.2328107,  1.3213774,  1.1098203,  1.2467385,  0.89476445}},
};
const Core chin008[] = {
    {"WUY13A", 13, 1750, {0.986354, 0.988471, 1.04319, 1.30527, 1.04008}},
    {"WUY15A", 15, 1705, {0.112572, 0.266038, 0.5123,  0.951261, 1.06143,  1.14251,  1.10328,  1.02626,  0.800751,
                          1.08201,  1.38895,  1.30691, 1.03831,  1.38577,  1.23514,  1.06277,  0.943054, 0.972425,
                          0.791084, 0.695577, 0.8188,  0.996691, 1.20475,  1.13068,  1.07667,  1.07912,  0.89899,
                          0.838615, 0.939866, 1.27829, 1.03392,  1.0149,   1.03952,  0.896511, 1.107,    0.961738,
                          1.07429,  1.0402,   1.06808, 0.807556, 0.900558, 0.888654, 0.968818, 0.997935, 1.28334,
                          0.920081, 1.19912,  1.14645, 1.14658,  0.819897}},
    {"WUY15B", 15, 1713, {0.854897, 1.19219,  1.17663,  0.901153, 0.866022, 0.93957,  1.14848,  1.06275,  0.927112,
                          1.00903,  0.817359, 0.852332, 0.962085, 1.02248,  1.37623,  1.08443,  0.943439, 1.1071,
                          0.801139, 0.909499, 0.837777, 1.24314,  0.998541, 0.997473, 0.942738, 0.758645, 0.972255,
                          0.809398, 1.0556,   1.18156,  1.26645,  0.983311, 0.919645, 0.960836, 1.21014,  0.995362,
                          1.22624,  0.970431, 1.29961,  1.01147,  1.03248,  0.835292}},
    {"WUY17A", 17, 1705, {0.868657, 1.03676,  1.10589,  1.30224,  0.983849, 0.571268, 0.817194, 1.0455,   0.975217,
                          1.01149,  1.07384,  1.04157,  0.986101, 1.00439,  1.0726,   0.930207, 1.03646,  1.17566,
                          1.00643,  1.05295,  0.932667, 1.04468,  1.27314,  0.959522, 1.05813,  1.13702,  0.814186,
                          0.904021, 0.635743, 1.03102,  0.931591, 0.936846, 1.05081,  0.752293, 1.09068,  1.04606,
                          1.18286,  1.05624,  1.08311,  0.976937, 0.865047, 0.965722, 1.12294,  0.911193, 1.11368,
                          0.881865, 1.21357,  1.02532,  1.03026,  1.0826}},
    {"WUY17B", 17, 1713, {0.708806, 1.0384,   1.25376,  1.29918,  0.685555, 0.962957, 1.09751,  0.924545, 0.862886,
                          1.07882,  0.778539, 1.12916,  0.933517, 1.02628,  1.31453,  1.11054,  1.02771,  1.09,
                          0.835242, 1.0226,   0.629384, 1.03691,  1.07977,  1.02413,  1.04365,  0.743955, 1.09113,
                          0.952265, 1.19419,  1.04977,  1.08741,  0.873692, 0.847068, 0.958762, 1.12352,  0.971809,
                          1.1703,   0.974197, 1.08752,  0.989335, 1.12797,  1.07491}},
    {"WUY18A",
     18,
     1743,
     {1.0252, 0.938142, 0.794532, 0.94297, 1.07136, 0.822733, 1.22217, 1.16013, 1.01746, 1.04623, 1.15506, 1.18251}},
    {"WUY18B", 18, 1734, {1.00478,  0.952614, 0.988698, 0.989499, 0.848636, 1.15582,  0.961381,
                          0.966354, 1.0996,   0.929037, 0.971136, 0.845007, 0.950443, 1.15449,
                          0.906733, 1.21582,  1.15387,  1.24039,  1.18494,  0.882152, 1.08414}},
    {"WUY25A", 25, 1705, {0.578754, 0.638622, 0.788814, 0.8015,   0.88165, 0.821239, 0.890192, 0.778414, 0.983986,
                          0.906791, 1.05685,  1.27732,  1.24423,  1.35213, 1.47721,  1.41725,  1.12516,  1.07523,
                          0.856871, 0.835426, 0.6628,   0.829938, 1.1156,  1.07601,  0.97565,  1.01246,  0.738111,
                          0.9202,   0.78564,  0.844801, 1.18958,  1.08385, 0.992044, 0.957616, 1.1483,   1.07963,
                          0.995059, 0.879789, 0.990959, 1.02748,  1.12691, 0.991645, 0.931636, 0.989748, 1.07807,
                          0.967158, 1.12517,  1.10883,  1.31586,  1.10275}},
    {"WUY25B", 25, 1705, {0.801083, 0.596957, 1.03622,  1.00978,  0.967283, 1.08041,  0.979376, 0.897543, 1.03741,
                          0.915459, 1.09989,  1.29936,  1.02965,  1.19457,  1.31947,  1.10424,  0.869859, 0.850216,
                          0.729894, 0.846013, 0.737745, 0.979131, 1.36029,  1.0915,   1.06719,  1.04083,  0.954534,
                          0.982572, 0.855104, 1.04907,  1.0772,   0.979712, 1.03769,  0.892482, 1.18617,  1.02466,
                          0.923612, 0.969337, 0.96186,  1.00759,  0.960759, 0.882007, 0.936172, 0.995355, 1.03362,
                          0.855224, 1.08341,  0.967421, 1.19055,  1.212}},
};

// From reference site/newz003/running-full.csv and running-noids-full.csv
// (first rows), and site/chin008/running-full.csv and running-noids-full.csv.
TEST(SiteStatistics, ReferenceWindowsWithAndWithoutTrees) {
    struct Site {
        std::span<const Core> cores;
        int start, mid, end;
        Expected withTrees, withoutTrees;
    };
    const Site sites[] = {
        {newz003,
         1626,
         1650,
         1675,
         {{8, 3, 3, 15, 4, 11},
          {0.14446822861912789, 0.50834277626844415, 0.012150211292103807, 1.6363636363636362, 0.015022517018520528,
           0.043752990953151785, 0.045754904892997425}},
         {{8, 8, 6, 15, 0, 15},
          {0.14446822861912786, NaN, 0.14446822861912786, 1, 0.14446822861912786, 0.50327391596580717,
           1.0131819772346882}}},
        {chin008,
         1705,
         1729,
         1754,
         {{9, 5, 3, 15, 3, 12},
          {0.4501435451094789, 0.66321971556631731, 0.39687450249526929, 2, 0.47723640933409167, 0.73252961838470076,
           2.7387317203528481}},
         {{9, 9, 6, 15, 0, 15},
          {0.45014354510947879, NaN, 0.45014354510947879, 1, 0.45014354510947879, 0.83085075318315127,
           4.9119388280976457}}},
    };
    for (const Site& site : sites) {
        std::vector<IndexSeries> series;
        std::vector<std::size_t> tree;
        for (const Core& c : site.cores) {
            series.push_back({c.first, c.values});
            tree.push_back(c.tree);
        }
        for (const auto& [labels, expected] : {std::pair{tree, site.withTrees}, {{}, site.withoutTrees}}) {
            const auto windows = runningStatistics(series, labels, {}, {});
            ASSERT_EQ(windows.size(), 1u);
            EXPECT_TRUE(windows[0].start == site.start && windows[0].mid == site.mid && windows[0].end == site.end);
            expectStatistics(windows[0].statistics, expected, 1e-12, site.cores[0].name);
        }
    }
}

// The first and last year of each series of reference site/az081/rwi.csv, in
// its order; trees from its ids.csv (two cores a tree, 22 trees).
const std::pair<int, int> az081Years[] = {
    {1691, 1970}, {1680, 1970}, {1765, 1970}, {1734, 1970}, {1762, 1970}, {1759, 1949}, {1602, 1949}, {1610, 1970},
    {1621, 1970}, {1661, 1970}, {1641, 1929}, {1634, 1929}, {1640, 1970}, {1645, 1970}, {1651, 1971}, {1651, 1971},
    {1635, 1869}, {1639, 1879}, {1768, 1971}, {1764, 1971}, {1742, 1971}, {1729, 1971}, {1714, 1971}, {1708, 1971},
    {1740, 1971}, {1726, 1971}, {1791, 1971}, {1806, 1971}, {1609, 1971}, {1638, 1971}, {1759, 1971}, {1770, 1971},
    {1684, 1971}, {1670, 1971}, {1688, 1971}, {1678, 1971}, {1720, 1971}, {1725, 1939}, {1646, 1971}, {1633, 1971},
    {1646, 1971}, {1622, 1971}, {1619, 1971}, {1601, 1971}};

struct Spans {
    std::vector<std::vector<double>> values;
    std::vector<IndexSeries> series;
    std::vector<std::size_t> tree;
};

// az081's years, every value 1 (SSS and the windows' years need no more).
Spans az081() {
    Spans s;
    for (const auto& [first, last] : az081Years) s.values.emplace_back(static_cast<std::size_t>(last - first + 1), 1.0);
    for (std::size_t i = 0; i < s.values.size(); ++i) {
        s.series.push_back({az081Years[i].first, s.values[i]});
        s.tree.push_back(i / 2 + 1);
    }
    return s;
}

// From reference site/az081/sss.csv (sss with trees, sss.noids without),
// computed from rbar.eff rounded: 0.764 with trees, 0.688 without
// (site/az081/stats-ids.csv, stats.csv).
TEST(SubsampleSignal, ReferenceYears) {
    const Spans site = az081();
    const struct {
        int year;
        double withTrees, withoutTrees;
    } years[] = {{1601, 0.77472727272727271, 0.695090909090909},
                 {1602, 0.87837559266130694, 0.82356742783283066},
                 {1650, 0.980391655588506, 0.98405608382290577},
                 {1700, 0.99050497103211521, 0.99298701298701286},
                 {1800, 1, 0.99976281411924972},
                 {1806, 1, 1},
                 {1950, 0.99861726311842325, 0.99807372075301293},
                 {1971, 0.99214981871403385, 0.99361788148319286}};
    const SubsampleSignal with = subsampleSignalStrength(site.series, site.tree, 0.764);
    const SubsampleSignal without = subsampleSignalStrength(site.series, {}, 0.688);
    ASSERT_TRUE(with.first == 1601 && with.sss.size() == 371 && without.sss.size() == 371);
    for (const auto& y : years) {
        const auto t = static_cast<std::size_t>(y.year - 1601);
        EXPECT_NEAR(with.sss[t], y.withTrees, 1e-15) << y.year;
        EXPECT_NEAR(without.sss[t], y.withoutTrees, 1e-15) << y.year;
    }
    // No tree in a year keeps none of the signal; r = -1 / (n - 1) has no SSS.
    const std::vector<double> one(5, 1.0);
    const std::vector<IndexSeries> gap{{1900, one}, {1902, one}, {1910, one}};
    EXPECT_EQ(subsampleSignalStrength(gap, {}, 0.5).sss[8], 0.0);
    EXPECT_TRUE(std::isnan(subsampleSignalStrength(gap, {}, -1.0).sss[2]));
}

// From reference site/az081/running-full.csv: 13 windows, 1622-1671 to
// 1922-1971, mid years 1646 to 1946. Fewer years than a window: one window
// of them all, its pairs needing as many years in common.
TEST(RunningStatistics, WindowYears) {
    const Spans site = az081();
    const auto windows = runningStatistics(site.series, site.tree, {}, {});
    ASSERT_EQ(windows.size(), 13u);
    for (std::size_t k = 0; k < 13; ++k) {
        const int start = 1622 + 25 * static_cast<int>(k);
        EXPECT_TRUE(windows[k].start == start && windows[k].mid == start + 24 && windows[k].end == start + 49) << k;
    }
    EXPECT_EQ(windows[0].statistics.cores, 21u);
    EXPECT_EQ(windows[0].statistics.trees, 11u);

    const std::vector<double> a = walsh(1, 0, 0, 10), b = walsh(1, 1, 0, 10);
    const std::vector<IndexSeries> short20{{1900, std::span(a).first(20)}, {1900, std::span(b).first(20)}};
    const auto one = runningStatistics(short20, {}, {CorrelationMethod::pearson}, {});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(one[0].start == 1900 && one[0].end == 1919 && one[0].statistics.pairs == 1);
    EXPECT_TRUE(runningStatistics({}, {}, {}, {}).empty());
    for (const RunningOptions bad : {RunningOptions{1, 0}, RunningOptions{50, 50}, RunningOptions{50, -1}})
        EXPECT_TRUE(runningStatistics(short20, {}, {}, bad).empty());
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The names of reference site/newz003/rwi.csv and the trees and cores of its
// ids.csv (three and four cores a tree); az081's are 083TTC, tree TT, core C.
TEST(TreeIds, ReferenceNames) {
    struct Site {
        std::vector<std::string> names;
        std::vector<std::size_t> tree, core;
    };
    Site sites[] = {
        {words("EMT861 EMT862 EMT863 EMT871 EMT872 EMT873 EMT874 EMT881 EMT882 EMT883 EMT884 EMT891 EMT892 EMT893 "
               "EMT894 EMT901 EMT902 EMT903 EMT911 EMT912 EMT913 EMT914 EMT921 EMT922 EMT923 EMT924 EMT931 EMT932 "
               "EMT933 EMT934 EMT941 EMT942 EMT943 EMT944 EMT951 EMT952 EMT953 EMT954 EMT961 EMT962 EMT963 EMT964 "
               "EMT971 EMT972 EMT973 EMT974"),
         {86, 86, 86, 87, 87, 87, 87, 88, 88, 88, 88, 89, 89, 89, 89, 90, 90, 90, 91, 91, 91, 91, 92,
          92, 92, 92, 93, 93, 93, 93, 94, 94, 94, 94, 95, 95, 95, 95, 96, 96, 96, 96, 97, 97, 97, 97},
         {1, 2, 3, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 1, 2, 3, 4, 1,
          2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}},
        {},
    };
    for (std::size_t t = 1; t <= 22; ++t)
        for (std::size_t c = 1; c <= 2; ++c) {
            sites[1].names.push_back("083" + std::string(t < 10 ? "0" : "") + std::to_string(t) + std::to_string(c));
            sites[1].tree.push_back(t);
            sites[1].core.push_back(c);
        }
    for (const Site& site : sites) {
        const TreeIds ids = treeIdsFromNames(site.names);
        EXPECT_TRUE(ids.split && ids.siteLength == 3 && ids.treeLength == 2 && ids.coreLength == 1) << site.names[0];
        EXPECT_EQ(ids.tree, site.tree) << site.names[0];
        EXPECT_EQ(ids.core, site.core) << site.names[0];
    }
}

TEST(TreeIds, SplitsAndRefusals) {
    const struct {
        std::vector<std::string> names;
        bool split;
        std::vector<std::size_t> tree, core;
    } cases[] = {
        {{"CAM011", "CAM012"}, true, {1, 1}, {1, 2}},
        {{"BES04A", "BES04B", "BES05A"}, true, {4, 4, 5}, {1, 2, 1}},
        {{" PK1AB ", "PK1AC", "PK2AB"}, true, {1, 1, 2}, {1, 2, 1}},  // blanks trimmed, cores of two letters
        {{"ABC01", "ABC02", "ABC10"}, false, {1, 2, 3}, {1, 1, 1}},  // a running number: core 0
        {{"CAM011", "CAM0112"}, false, {1, 2}, {1, 1}},  // lengths differ
        {{"BES04A", "BES041"}, false, {1, 2}, {1, 1}},  // letter and digit cores
        {{"X1", "X1"}, false, {1, 2}, {1, 1}},  // the same tree and core twice
        {{"ONLY"}, true, {1}, {1}},
    };
    for (const auto& c : cases) {
        const TreeIds ids = treeIdsFromNames(c.names);
        EXPECT_EQ(ids.split, c.split) << c.names[0];
        EXPECT_EQ(ids.tree, c.tree) << c.names[0];
        EXPECT_EQ(ids.core, c.core) << c.names[0];
    }
}

}  // namespace
}  // namespace detrend::numeric
