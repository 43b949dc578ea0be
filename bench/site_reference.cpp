// A developer's check of the site statistics against reference tables: for
// each site directory it reads the indices (rwi.csv) and the trees and cores
// (ids.csv), computes the statistics, running statistics, subsample signal
// strength and chronologies here, and prints the largest difference of every
// quantity from the tables beside them (stats*-full.csv, running*-full.csv,
// sss.csv, chron-ars.csv). Not a test: the tables are not part of the build.
// Usage: bench_site_reference DIR [SITE...]   (DIR holds one directory per site,
// as the reference's site/ does)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "numeric/ars_chronology.hpp"
#include "numeric/chronology.hpp"
#include "numeric/running_statistics.hpp"
#include "numeric/signal_statistics.hpp"
#include "numeric/subsample_signal.hpp"
#include "numeric/tree_ids.hpp"

using namespace detrend::numeric;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A CSV table: its header and its rows of cells, quotes removed.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::size_t column(const std::string& name) const {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    }
    double number(std::size_t row, const std::string& name) const {
        const std::string& cell = rows[row].at(column(name));
        return cell == "NA" || cell == "NaN" ? NaN : std::stod(cell);
    }
};

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) {
        cell.erase(std::remove(cell.begin(), cell.end(), '"'), cell.end());
        out.push_back(cell);
    }
    return out;
}

Table read(const std::string& path) {
    std::ifstream in(path);
    Table t;
    std::string line;
    if (!std::getline(in, line)) return t;
    t.header = cells(line);
    while (std::getline(in, line)) t.rows.push_back(cells(line));
    return t;
}

// The worst difference of each quantity, NaN against NaN counting as none
// and NaN against a number as infinite.
std::map<std::string, double> worst;
std::map<std::string, int> worstYear;  // where a year is kept
void compare(const std::string& quantity, double ours, double theirs) {
    const double d = std::isnan(ours) || std::isnan(theirs)
                         ? (std::isnan(ours) == std::isnan(theirs) ? 0.0 : std::numeric_limits<double>::infinity())
                         : std::fabs(ours - theirs);
    double& w = worst[quantity];
    w = std::max(w, d);
}

// The statistics' columns as the tables name them.
void compareStatistics(const std::string& what, const SiteStatistics& s, const Table& t, std::size_t row) {
    const std::pair<const char*, double> quantities[] = {{"n.cores", static_cast<double>(s.cores)},
                                                         {"n.trees", static_cast<double>(s.trees)},
                                                         {"n", static_cast<double>(s.n)},
                                                         {"n.tot", static_cast<double>(s.pairs)},
                                                         {"n.wt", static_cast<double>(s.pairsWithin)},
                                                         {"n.bt", static_cast<double>(s.pairsBetween)},
                                                         {"rbar.tot", s.rbarTotal},
                                                         {"rbar.wt", s.rbarWithin},
                                                         {"rbar.bt", s.rbarBetween},
                                                         {"c.eff", s.coresPerTree},
                                                         {"rbar.eff", s.rbarEffective},
                                                         {"eps", s.eps},
                                                         {"snr", s.snr}};
    for (const auto& [name, value] : quantities) compare(what + " " + name, value, t.number(row, name));
}

void compareRunning(const std::string& what, const std::vector<RunningWindow>& windows, const Table& t) {
    compare(what + " windows", static_cast<double>(windows.size()), static_cast<double>(t.rows.size()));
    for (std::size_t k = 0; k < std::min(windows.size(), t.rows.size()); ++k) {
        compare(what + " start.year", windows[k].start, t.number(k, "start.year"));
        compare(what + " mid.year", windows[k].mid, t.number(k, "mid.year"));
        compare(what + " end.year", windows[k].end, t.number(k, "end.year"));
        compareStatistics(what, windows[k].statistics, t, k);
    }
}

// The ars chronology and its residual one; ars apart in the years where a
// series' start still counts (within 6 years of its first residual) and the
// rest, and the year of the worst difference of each.
void compareArs(const std::vector<IndexSeries>& series, const Table& chron) {
    const ArsChronology a = buildArsChronology(series, ChronologyMean::biweight);
    std::vector<bool> start(a.ars.size(), false);
    for (const IndexSeries& s : series) {
        std::size_t k = 0;
        while (k < s.values.size() && std::isnan(s.values[k])) ++k;
        const long from = s.first + static_cast<long>(k) + a.model.order - a.first;
        for (long y = std::max(0L, from); y < from + 7 && y < static_cast<long>(start.size()); ++y)
            start[static_cast<std::size_t>(y)] = true;
    }
    for (std::size_t r = 0; r < chron.rows.size(); ++r) {
        const int year = std::stoi(chron.rows[r][0]);
        const auto y = static_cast<std::size_t>(year - a.first);
        const std::string part = start.at(y) ? "ars (series' first 6 years)" : "ars (elsewhere)";
        for (const auto& [name, ours, theirs] :
             {std::tuple{std::string("ars res"), a.residual.at(y), chron.number(r, "res")},
              {part, a.ars.at(y), chron.number(r, "ars")}}) {
            const double before = worst[name];
            compare(name, ours, theirs);
            if (worst[name] > before) worstYear[name] = year;
        }
    }
}

void check(const std::string& dir) {
    const Table rwi = read(dir + "/rwi.csv"), ids = read(dir + "/ids.csv");
    if (rwi.header.size() < 2 || rwi.rows.empty()) {
        std::fprintf(stderr, "no indices in %s/rwi.csv\n", dir.c_str());
        std::exit(1);
    }
    std::vector<std::vector<double>> values(rwi.header.size() - 1);
    for (std::size_t r = 0; r < rwi.rows.size(); ++r)
        for (std::size_t c = 0; c + 1 < rwi.header.size(); ++c) values[c].push_back(rwi.number(r, rwi.header[c + 1]));
    const int first = std::stoi(rwi.rows.at(0).at(0));
    std::vector<IndexSeries> series;
    for (const auto& v : values) series.push_back({first, v});
    std::vector<std::size_t> tree;
    for (std::size_t r = 0; r < ids.rows.size(); ++r) tree.push_back(static_cast<std::size_t>(ids.number(r, "tree")));

    const TreeIds fromNames = treeIdsFromNames(std::vector<std::string>(rwi.header.begin() + 1, rwi.header.end()));
    compare("ids split", fromNames.split ? 1.0 : 0.0, 1.0);
    for (std::size_t r = 0; r < ids.rows.size(); ++r) {
        compare("ids tree", static_cast<double>(fromNames.tree.at(r)), ids.number(r, "tree"));
        compare("ids core", static_cast<double>(fromNames.core.at(r)), ids.number(r, "core"));
    }
    for (auto method : {CorrelationMethod::pearson, CorrelationMethod::spearman}) {
        const std::string m = method == CorrelationMethod::pearson ? "pearson" : "spearman";
        const StatisticsOptions zerosMissing{method, Zeros::missing}, zerosCounted{method, Zeros::counted};
        compareStatistics(m + " stats", siteStatistics(series, {}, zerosMissing), read(dir + "/stats-full.csv"), 0);
        compareStatistics(m + " stats-ids", siteStatistics(series, tree, zerosMissing),
                          read(dir + "/stats-ids-full.csv"), 0);
        compareStatistics(m + " stats-zeros", siteStatistics(series, tree, zerosCounted),
                          read(dir + "/stats-zeros-full.csv"), 0);
        compareRunning(m + " running", runningStatistics(series, tree, zerosMissing, {}),
                       read(dir + "/running-full.csv"));
        compareRunning(m + " running-noids", runningStatistics(series, {}, zerosMissing, {}),
                       read(dir + "/running-noids-full.csv"));
        const Table sss = read(dir + "/sss.csv");
        for (const auto& [column, labels] : {std::pair{"sss", tree}, {"sss.noids", std::vector<std::size_t>{}}}) {
            const double rbar = siteStatistics(series, labels, zerosMissing).rbarEffective;
            const SubsampleSignal s = subsampleSignalStrength(series, labels, std::round(rbar * 1000.0) / 1000.0);
            for (std::size_t r = 0; r < sss.rows.size(); ++r)
                compare(m + " " + column, s.sss.at(static_cast<std::size_t>(std::stoi(sss.rows[r][0]) - s.first)),
                        sss.number(r, column));
        }
    }
    const Table chron = read(dir + "/chron-ars.csv");
    const Chronology c = buildChronology(series, ChronologyMean::biweight);
    for (std::size_t r = 0; r < chron.rows.size(); ++r) {
        const auto y = static_cast<std::size_t>(std::stoi(chron.rows[r][0]) - c.first);
        compare("chron std", c.standard.at(y), chron.number(r, "std"));
        compare("chron depth", c.depth.at(y), chron.number(r, "samp.depth"));
    }
    compareArs(series, chron);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [SITE...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> sites(argv + 2, argv + argc);
    if (sites.empty()) sites = {"az081", "chin008", "newz003"};
    std::printf("%-10s %-34s %s\n", "site", "quantity", "worst difference");
    for (const std::string& site : sites) {
        worst.clear();
        worstYear.clear();
        check(std::string(argv[1]) + "/" + site);
        for (const auto& [quantity, d] : worst) {
            std::printf("%-10s %-34s %.3g", site.c_str(), quantity.c_str(), d);
            if (worstYear.count(quantity) != 0) std::printf(" (%d)", worstYear[quantity]);
            std::printf("\n");
        }
    }
}
