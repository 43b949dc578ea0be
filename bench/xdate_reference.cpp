// Developer tool: runs the crossdating analysis and the series statistics
// with their defaults on the three reference ring-width files and prints,
// per site and quantity, the worst absolute difference from the reference
// tables (rwl-stats, interseries, overall, seg-cor, seg-p, seg-flags,
// ccf-SERIES) and whether the flags and best lags agree.
// Usage: xdate_reference [REFERENCE_DIR]   (default /work/shared/reference)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/crossdating.hpp"
#include "numeric/series_statistics.hpp"

using namespace detrend::numeric;

namespace {

struct RingSeries {
    std::string id;
    int first = 0;
    std::vector<double> values;
};

// A small Tucson reader: ID in columns 1-8, year in 9-12, integer values
// after; lines that do not parse so (headers) are skipped; 999 ends a series
// in hundredths of a millimetre, -9999 in thousandths. Years missing inside
// a series (a stop marker, then the series again later) are read as 0, as
// the reference tables took them (their report lists them as zero rings).
std::vector<RingSeries> readTucson(const std::string& path) {
    std::map<std::string, std::map<int, int>> rings;
    std::map<std::string, double> scale;
    std::vector<std::string> order;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 13) continue;
        std::istringstream year(line.substr(8, 4)), rest(line.substr(12));
        int y = 0;
        if (!(year >> y)) continue;
        std::vector<int> values;
        for (int v = 0; rest >> v;) values.push_back(v);
        if (!rest.eof() || values.empty()) continue;
        std::string id = line.substr(0, 8);
        id.erase(id.find_last_not_of(' ') + 1);
        if (!rings.count(id)) order.push_back(id);
        auto& r = rings[id];
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i] == 999 || values[i] == -9999) {
                scale[id] = values[i] == 999 ? 100.0 : 1000.0;
                break;
            }
            r[y + static_cast<int>(i)] = values[i];
        }
    }
    std::vector<RingSeries> out;
    for (const auto& id : order) {
        const auto& r = rings[id];
        RingSeries s{id, r.begin()->first, {}};
        const double divisor = scale.count(id) ? scale[id] : 100.0;
        for (int y = s.first; y <= r.rbegin()->first; ++y) s.values.push_back(r.count(y) ? r.at(y) / divisor : 0.0);
        out.push_back(std::move(s));
    }
    return out;
}

// A CSV table of the reference: the header and rows of cells, quotes removed.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    bool found = false;
};

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ',')) {
        cell.erase(std::remove(cell.begin(), cell.end(), '"'), cell.end());
        out.push_back(cell);
    }
    return out;
}

Table readTable(const std::string& path) {
    Table t;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return t;
    t.found = true;
    t.header = cells(line);
    while (std::getline(in, line))
        if (!line.empty()) t.rows.push_back(cells(line));
    return t;
}

double number(const std::string& cell) { return cell == "NA" || cell == "NaN" ? std::nan("") : std::stod(cell); }

// The worst difference of a quantity, and the cells where one side has a
// value and the other none.
struct Worst {
    double difference = 0.0;
    int compared = 0, missingMismatch = 0;
    void add(double ours, double reference) {
        if (std::isnan(ours) != std::isnan(reference)) {
            ++missingMismatch;
            return;
        }
        if (std::isnan(ours)) return;
        ++compared;
        difference = std::max(difference, std::fabs(ours - reference));
    }
};

void print(const char* site, const std::string& quantity, const Worst& w) {
    std::printf("%-8s %-22s %10.3g %6d %4d\n", site, quantity.c_str(), w.difference, w.compared, w.missingMismatch);
}

void statistics(const char* site, const std::vector<RingSeries>& rings, const Table& ref) {
    std::map<std::string, SeriesStatistics> ours;
    std::vector<double> scratch;
    for (const auto& s : rings) ours[s.id] = seriesStatistics({s.first, s.values}, scratch);
    const char* columns[] = {"mean.full", "median.full", "stdev.full", "skew.full",
                             "gini.full", "ar1.full",    "sens1",      "sens2"};
    Worst years;
    std::map<std::string, Worst> worst;
    for (const auto& row : ref.rows) {
        const SeriesStatistics& s = ours[row[0]];
        const double mine[] = {s.mean, s.median, s.stdev, s.skewness, s.gini, s.ar1, s.sens1, s.sens2};
        for (std::size_t c = 1; c < ref.header.size(); ++c) {
            const std::string& h = ref.header[c];
            for (std::size_t k = 0; k < 8; ++k)
                if (h == columns[k]) worst[h].add(mine[k], number(row[c]));
            if (h == "first") years.add(s.first, number(row[c]));
            if (h == "last") years.add(s.last, number(row[c]));
            if (h == "year") years.add(static_cast<double>(s.length), number(row[c]));
        }
    }
    print(site, "rwl-stats first/last/n", years);
    for (const char* c : columns) print(site, std::string("rwl-stats ") + c, worst[c]);
}

void overall(const char* site, const std::string& name, const std::map<std::string, std::size_t>& index,
             const CrossdatingResult& r, const Table& ref) {
    Worst rho, p;
    for (const auto& row : ref.rows) {
        const CorrelationTest& t = r.overall[index.at(row[0])];
        rho.add(t.r, number(row[1]));
        p.add(t.p, number(row[2]));
    }
    print(site, name + " r", rho);
    print(site, name + " p", p);
}

void segments(const char* site, const std::map<std::string, std::size_t>& index, const CrossdatingResult& r,
              const Table& cor, const Table& p) {
    Worst wc, wp;
    bool sameSegments = cor.header.size() == r.segments.size() + 1;
    for (std::size_t k = 0; sameSegments && k < r.segments.size(); ++k)
        sameSegments = std::stoi(cor.header[k + 1]) == r.segments[k];
    for (std::size_t row = 0; row < cor.rows.size() && sameSegments; ++row) {
        const std::size_t i = index.at(cor.rows[row][0]);
        for (std::size_t k = 0; k < r.segments.size(); ++k) {
            wc.add(r.at(i, k).r, number(cor.rows[row][k + 1]));
            wp.add(r.at(i, k).p, number(p.rows[row][k + 1]));
        }
    }
    std::printf("%-8s %-22s %s\n", site, "segments", sameSegments ? "equal" : "DIFFERENT");
    print(site, "seg-cor", wc);
    print(site, "seg-p", wp);
}

void flags(const char* site, const std::vector<RingSeries>& rings, const CrossdatingResult& r, const Table& ref) {
    std::set<std::string> ours, theirs;
    for (std::size_t i = 0; i < rings.size(); ++i)
        for (std::size_t k = 0; k < r.segments.size(); ++k)
            if (r.flagged[i * r.segments.size() + k] != 0)
                ours.insert(rings[i].id + " " + std::to_string(r.segments[k]) + "." +
                            std::to_string(r.segments[k] + r.segmentLength - 1));
    for (const auto& row : ref.rows) {
        std::istringstream list(row[1]);
        for (std::string flag; list >> flag;) theirs.insert(row[0] + " " + flag);
    }
    std::printf("%-8s %-22s %s (%zu flagged)\n", site, "seg-flags", ours == theirs ? "equal" : "DIFFERENT",
                ours.size());
    for (const LagCorrelations& l : r.lags)
        std::printf("%-8s   flagged %s %d: best lag %+d%s\n", site, rings[l.series].id.c_str(), l.segment, l.bestLag,
                    l.higherAtOtherLag ? " (B)" : "");
}

// The reference's ccf files hold, for each flagged series, every segment of
// the series' own years.
void lagged(const char* site, const std::string& directory, const std::vector<RingSeries>& rings,
            const CrossdatingResult& r, const CrossdatingOptions& options) {
    for (std::size_t i = 0; i < rings.size(); ++i) {
        const Table ref = readTable(directory + "/ccf-" + rings[i].id + ".csv");
        if (!ref.found) continue;
        const int last = rings[i].first + static_cast<int>(rings[i].values.size()) - 1;
        const std::vector<int> own = segmentStarts(rings[i].first, last, options);
        Worst w;
        int sameBest = 0, columns = 0;
        for (std::size_t c = 1; c < ref.header.size(); ++c) {
            const int segment = std::stoi(ref.header[c]);
            const LagCorrelations l = lagCorrelations(r, i, segment, options.lagMax);
            double best = -2.0;
            int bestLag = 0;
            for (const auto& row : ref.rows) {
                const int lag = std::stoi(row[0]);
                const double v = number(row[c]);
                w.add(l.r[static_cast<std::size_t>(lag + options.lagMax)], v);
                if (v > best || (v == best && std::abs(lag) < std::abs(bestLag))) best = v, bestLag = lag;
            }
            sameBest += bestLag == l.bestLag ? 1 : 0;
            ++columns;
        }
        const bool sameColumns = own.size() + 1 == ref.header.size();
        print(site, "ccf-" + rings[i].id, w);
        std::printf("%-8s %-22s best lag equal in %d of %d segments; segments %s\n", site, "", sameBest, columns,
                    sameColumns ? "equal" : "DIFFERENT");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string reference = argc > 1 ? argv[1] : "/work/shared/reference";
    std::printf("%-8s %-22s %10s %6s %4s\n", "site", "quantity", "worst", "cells", "NA!=");
    for (const char* site : {"az081", "chin008", "newz003"}) {
        const std::string directory = reference + "/xdate/" + site;
        const std::vector<RingSeries> rings = readTucson(reference + "/data/" + site + ".rwl");
        std::vector<IndexSeries> series;
        std::map<std::string, std::size_t> index;
        for (std::size_t i = 0; i < rings.size(); ++i) {
            series.push_back({rings[i].first, rings[i].values});
            index[rings[i].id] = i;
        }
        const CrossdatingOptions options;
        const CrossdatingResult r = crossdate(series, options);
        statistics(site, rings, readTable(directory + "/rwl-stats.csv"));
        overall(site, "interseries", index, r, readTable(directory + "/interseries.csv"));
        overall(site, "overall", index, r, readTable(directory + "/overall.csv"));
        segments(site, index, r, readTable(directory + "/seg-cor.csv"), readTable(directory + "/seg-p.csv"));
        flags(site, rings, r, readTable(directory + "/seg-flags.csv"));
        lagged(site, directory, rings, r, options);
    }
}
