// Compares every detrending method of numeric/methods.hpp with the published
// outputs of the field's R library for three sites of the tree-ring archive:
// per method and site, the series compared, the worst relative difference of
// the curves and of the indices over the series that ended with the same
// method, and the series whose final method differs.
// Usage: bench_methods_reference REFERENCE_DIR [TAG [SERIES]]
//   (REFERENCE_DIR holds data/SITE.rwl and methods/SITE/TAG-*.csv; with
//   TAG only that table, with SERIES the years of one series.)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/read_series.hpp"
#include "numeric/methods.hpp"

using namespace detrend;
using numeric::Method;

namespace {

struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

std::string unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

bool readCsv(const std::string& path, Table& table) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ',')) cells.push_back(unquote(cell));
        if (first)
            table.header = cells;
        else
            table.rows.push_back(cells);
        first = false;
    }
    return true;
}

double number(const std::string& s) { return s == "NA" || s == "NaN" ? std::nan("") : std::stod(s); }

struct Task {
    const char* tag;
    Method method;
    numeric::MethodOptions options;
    bool difference;
};

std::string referenceMethod(const std::string& s) {
    if (s == "NegativeExponential") return "negexp";
    if (s == "Line") return "line";
    if (s == "Mean") return "mean";
    if (s == "Hugershoff") return "hugershoff";
    if (s == "Spline") return "spline";
    if (s == "Friedman") return "friedman";
    if (s == "Age-Dep Spline") return "age-spline";
    if (s == "Ar") return "ar";
    return s;
}

double relative(double ours, double theirs) {
    if (std::isnan(theirs) && std::isnan(ours)) return 0.0;
    if (std::isnan(theirs) || std::isnan(ours)) return HUGE_VAL;
    if (theirs == 0.0) return std::fabs(ours);
    return std::fabs(ours - theirs) / std::fabs(theirs);
}

struct Row {
    int compared = 0, differing = 0, unread = 0, beyond = 0;  // beyond: worst curve difference > 1e-6
    double curve = 0.0, index = 0.0;
    std::string worstCurve, worstIndex, differ, beyondNames;
};

Row compare(const std::string& dir, const std::string& site, const Task& task, const formats::SeriesSet& set,
            const std::string& only) {
    Row row;
    Table curves, rwi, info;
    const std::string base = dir + "/methods/" + site + "/" + task.tag;
    if (!readCsv(base + "-curves.csv", curves) || !readCsv(base + "-rwi.csv", rwi) ||
        !readCsv(base + "-info.csv", info)) {
        std::fprintf(stderr, "cannot read %s-*.csv\n", base.c_str());
        return row;
    }
    std::map<std::string, std::string> finalMethod;
    for (const auto& r : info.rows) finalMethod[r[0]] = referenceMethod(r[5]);
    const long long firstYear = std::stoll(curves.rows.front()[0]);
    numeric::CurveFit fit;
    for (const auto& series : set.series) {
        std::size_t column = 0;
        for (std::size_t c = 1; c < curves.header.size(); ++c)
            if (curves.header[c] == series.name) column = c;
        if (column == 0) continue;
        if (!only.empty() && series.name != only) continue;
        if (series.problem) {  // refused by our reader, e.g. a hole inside the series
            ++row.unread;
            continue;
        }
        if (!numeric::fitCurve(task.method, series.values, task.options, fit)) {
            ++row.differing;
            row.differ += " " + series.name + "(not fitted)";
            continue;
        }
        const std::vector<double>& fitted = fit.scratch.values;  // zero rings raised, as the indices use them
        const std::string ours(numeric::methodName(fit.used));
        if (ours != finalMethod[series.name]) {
            ++row.differing;
            row.differ += " " + series.name + "(" + ours + "/" + finalMethod[series.name] + ")";
            continue;
        }
        ++row.compared;
        double seriesWorst = 0.0;
        for (std::size_t i = 0; i < series.values.size(); ++i) {
            const std::size_t r = static_cast<std::size_t>(series.firstYear + static_cast<long long>(i) - firstYear);
            const double refCurve = number(curves.rows[r][column]);
            const double refIndex = number(rwi.rows[r][column]);
            const double index = task.method == Method::ar ? fit.index[i]
                                 : task.difference         ? fitted[i] - fit.curve[i]
                                                           : fitted[i] / fit.curve[i];
            // A difference index is near zero: its difference is taken relative to the curve.
            const double dc = relative(fit.curve[i], refCurve);
            const double di =
                task.difference ? std::fabs(index - refIndex) / std::fabs(refCurve) : relative(index, refIndex);
            if (!only.empty())
                std::printf("%lld %.17g %.17g %.17g %.17g %.17g %.3g %.3g\n",
                            series.firstYear + static_cast<long long>(i), series.values[i], fit.curve[i], refCurve,
                            index, refIndex, dc, di);
            seriesWorst = std::max(seriesWorst, dc);
            if (dc > row.curve) row.curve = dc, row.worstCurve = series.name;
            if (di > row.index) row.index = di, row.worstIndex = series.name;
        }
        if (seriesWorst > 1e-6) {
            ++row.beyond;
            char text[64];
            std::snprintf(text, sizeof text, " %s(%.3g)", series.name.c_str(), seriesWorst);
            row.beyondNames += text;
        }
        if (!only.empty())
            for (const auto& p : fit.parameters) std::printf("%s = %.17g\n", std::string(p.name).c_str(), p.value);
    }
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s REFERENCE_DIR [TAG [SERIES]]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string onlyTag = argc > 2 ? argv[2] : "";
    const std::string onlySeries = argc > 3 ? argv[3] : "";
    numeric::MethodOptions defaults;
    numeric::MethodOptions at32;
    at32.cutoff = 32;
    const Task tasks[] = {
        {"Mean", Method::mean, defaults, false},
        {"Spline", Method::spline, defaults, false},
        {"Spline32", Method::spline, at32, false},
        {"Spline-diff", Method::spline, defaults, true},
        {"ModNegExp", Method::negexp, defaults, false},
        {"ModNegExp-diff", Method::negexp, defaults, true},
        {"ModHugershoff", Method::hugershoff, defaults, false},
        {"Ar", Method::ar, defaults, false},
        {"Friedman", Method::friedman, defaults, false},
        {"AgeDepSpline", Method::ageSpline, defaults, false},
    };
    const char* sites[] = {"az081", "chin008", "newz003"};
    std::map<std::string, formats::SeriesSet> data;
    for (const char* site : sites) {
        const std::string path = dir + "/data/" + site + ".rwl";
        formats::ReadOptions options;
        options.format = formats::FormatChoice::tucson;
        const formats::Read<std::string> bytes = formats::readInputFile(path);
        formats::Read<formats::SeriesSet> read = bytes.result
                                                     ? formats::readSeries(bytes.result.value(), options)
                                                     : formats::Read<formats::SeriesSet>{bytes.result.error(), {}, {}};
        if (!read.result) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), read.result.why().c_str());
            return 1;
        }
        data[site] = std::move(read.result).value();
    }
    std::printf("%-15s %-8s %8s %6s %12s %6s %12s  %s\n", "method", "site", "compared", "unread", "curve", ">1e-6",
                "index", "final method differs");
    for (const Task& task : tasks) {
        if (!onlyTag.empty() && onlyTag != task.tag) continue;
        for (const char* site : sites) {
            const Row row = compare(dir, site, task, data[site], onlySeries);
            std::printf("%-15s %-8s %8d %6d %12.3g %6d %12.3g  %d%s   [worst %s / %s]%s%s\n", task.tag, site,
                        row.compared, row.unread, row.curve, row.beyond, row.index, row.differing, row.differ.c_str(),
                        row.worstCurve.c_str(), row.worstIndex.c_str(), row.beyond > 0 ? "  beyond 1e-6:" : "",
                        row.beyondNames.c_str());
        }
    }
    return 0;
}
