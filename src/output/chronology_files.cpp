// Chronology and statistics files as text; see chronology_files.hpp.
#include "output/chronology_files.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/text.hpp"

namespace detrend::output {
namespace {

void appendNumber(std::string& out, double x) {
    if (std::isnan(x)) {
        out += "NA";
    } else if (std::isinf(x)) {
        out += x > 0 ? "Inf" : "-Inf";
    } else {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, x).ptr;
        out.append(buffer, end);
    }
}

void appendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

long decadeOf(long year) { return year >= 0 ? year / 10 * 10 : -((-year + 9) / 10 * 10); }

}  // namespace

std::string chronologyCsv(const numeric::Chronology& chronology, std::span<const double> sss, YearMask keep,
                          std::span<const double> ars) {
    const bool withSss = !sss.empty(), withArs = !ars.empty();
    std::string out = std::string("year,std,res,samp.depth") + (withSss ? ",sss" : "") + (withArs ? ",ars" : "") + "\n";
    for (std::size_t y = 0; y < chronology.standard.size(); ++y) {
        if (!keep.empty() && !keep[y]) continue;
        out += std::to_string(static_cast<long>(chronology.first) + static_cast<long>(y));
        out += ',';
        appendNumber(out, chronology.standard[y]);
        out += ',';
        appendNumber(out, chronology.residual[y]);
        out += ',';
        out += std::to_string(chronology.depth[y]);
        if (withSss) {
            out += ',';
            appendNumber(out, y < sss.size() ? sss[y] : std::nan(""));
        }
        if (withArs) {
            out += ',';
            appendNumber(out, y < ars.size() ? ars[y] : std::nan(""));
        }
        out += '\n';
    }
    return out;
}

namespace {

void appendCounts(std::string& out, const numeric::SiteStatistics& s) {
    for (std::size_t count : {s.cores, s.trees, s.n, s.pairs, s.pairsWithin, s.pairsBetween})
        out += ',' + std::to_string(count);
}

}  // namespace

std::string statisticsCsvHeader() {
    return "file,series,first,last,rbar,eps,snr,n.cores,n.trees,n,n.tot,n.wt,n.bt,rbar.wt,rbar.bt,c.eff,rbar.eff,"
           "cutoff,index\n";
}

std::string statisticsCsvRow(std::string_view file, std::size_t series, const numeric::SiteStatistics& statistics,
                             std::string_view cutoff, std::string_view index) {
    std::string out;
    appendField(out, file);
    out += ',' + std::to_string(series) + ',';
    out += statistics.first ? std::to_string(*statistics.first) : "NA";
    out += ',';
    out += statistics.last ? std::to_string(*statistics.last) : "NA";
    for (double x : {statistics.rbarTotal, statistics.eps, statistics.snr}) {
        out += ',';
        appendNumber(out, x);
    }
    appendCounts(out, statistics);
    for (double x :
         {statistics.rbarWithin, statistics.rbarBetween, statistics.coresPerTree, statistics.rbarEffective}) {
        out += ',';
        appendNumber(out, x);
    }
    out += ',';
    appendField(out, cutoff);
    out += ',';
    appendField(out, index);
    out += '\n';
    return out;
}

std::string runningCsvHeader() {
    return "file,start.year,mid.year,end.year,n.cores,n.trees,n,n.tot,n.wt,n.bt,rbar.tot,rbar.wt,rbar.bt,c.eff,"
           "rbar.eff,eps,snr\n";
}

std::string runningCsvRows(std::string_view file, std::span<const numeric::RunningWindow> windows) {
    std::string out;
    for (const numeric::RunningWindow& w : windows) {
        appendField(out, file);
        out += ',' + std::to_string(w.start) + ',' + std::to_string(w.mid) + ',' + std::to_string(w.end);
        const numeric::SiteStatistics& s = w.statistics;
        appendCounts(out, s);
        for (double x : {s.rbarTotal, s.rbarWithin, s.rbarBetween, s.coresPerTree, s.rbarEffective, s.eps, s.snr}) {
            out += ',';
            appendNumber(out, x);
        }
        out += '\n';
    }
    return out;
}

namespace {

// The decade lines of the years first..last into `out`; the failure names
// the year that the layout cannot hold.
base::Status appendDecades(std::string& out, const std::string& id, const numeric::Chronology& chronology,
                           std::span<const double> values, long first, long last, YearMask keep) {
    char field[16];
    for (long decade = decadeOf(first); decade <= last; decade += 10) {
        std::snprintf(field, sizeof field, "%4ld", decade < first ? first : decade);
        out += id;
        out += field;
        for (long year = decade; year < decade + 10; ++year) {
            long value = 9990, depth = 0;
            if (year >= first && year <= last) {
                const auto y = static_cast<std::size_t>(year - first);
                const double index = keep.empty() || keep[y] ? values[y] : std::nan("");
                if (!std::isnan(index)) {
                    const double scaled = std::round(index * 1000.0);
                    if (!(scaled < 9990.0 && scaled >= -999.0)) {
                        std::string why = "year " + std::to_string(year) + ": index ";
                        appendNumber(why, index);
                        return base::Status::failure(why + " does not fit four columns as thousandths");
                    }
                    value = static_cast<long>(scaled);
                    depth = chronology.depth[y];
                    if (depth > 999)
                        return base::Status::failure("year " + std::to_string(year) + ": sample depth " +
                                                     std::to_string(depth) + " does not fit three columns");
                }
            }
            std::snprintf(field, sizeof field, "%4ld%3ld", value, depth);
            out += field;
        }
        out += '\n';
    }
    return base::Status::success();
}

}  // namespace

base::Result<std::string> tucsonChronology(std::string_view site, const numeric::Chronology& chronology, YearMask keep,
                                           bool residual) {
    const std::size_t years = chronology.standard.size();
    const std::span<const double> values = residual ? chronology.residual : chronology.standard;
    if (years == 0) return std::string();
    const long first = chronology.first;
    const long last = first + static_cast<long>(years) - 1;
    for (long year : {first, last})
        if (year < -999 || year > 9999) return base::failure("year " + std::to_string(year) + ": outside -999 .. 9999");
    std::string id(site.substr(0, 6));
    id.resize(6, ' ');
    std::string text;
    if (const base::Status decades = appendDecades(text, id, chronology, values, first, last, keep); !decades.ok())
        return decades.error();
    return text;
}

base::Result<std::string> crnHeaderLines(std::string_view code, std::string_view name, std::string_view species,
                                         long first, long last) {
    if (code.empty() || code.size() > 6 || code.find_first_of(" \t") != std::string_view::npos)
        return base::failure("the site code " + base::quoted(code) + " must be 1 to 6 characters without a blank");
    if (name.size() > 52) return base::failure("the site name " + base::quoted(name) + " is longer than 52 characters");
    if (species.size() > 4 || species.find_first_of(" \t") != std::string_view::npos)
        return base::failure("the species code " + base::quoted(species) +
                             " must be at most 4 characters without a blank");
    std::string id(code);
    id.resize(6, ' ');
    std::string one = id + " 1 " + std::string(name);
    if (!species.empty()) {
        one.resize(61, ' ');
        one += species;
    }
    char years[16];
    std::snprintf(years, sizeof years, "%4ld %4ld", first, last);
    std::string two = id + " 2 ";
    two.resize(67, ' ');
    two += years;
    return std::string(base::withoutTrailingBlanks(one)) + "\n" + two + "\n" + id + " 3\n";
}

}  // namespace detrend::output
