#include "output/xdate_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/text.hpp"

namespace detrend::output {
namespace {

using numeric::CrossdatingResult;
using numeric::CrossdatingStatus;
using numeric::SeriesStatus;

constexpr std::size_t nameWidth = 24;  // names longer than this are cut

// The characters of UTF-8 text.
std::size_t characters(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = 0; at < text.size(); ++n) at += std::max<std::size_t>(1, base::utf8SequenceLength(text, at));
    return n;
}

// A name as the report shows it: control characters escaped, cut to `width`
// characters with "..." at the end.
std::string shownName(std::string_view name, std::size_t width) {
    std::string shown = base::escapedControls(name);
    if (characters(shown) <= width) return shown;
    std::size_t at = 0;
    for (std::size_t n = 0; n + 3 < width; ++n) at += std::max<std::size_t>(1, base::utf8SequenceLength(shown, at));
    return shown.substr(0, at) + "...";
}

// `text` padded with blanks to `width` characters, on the right (left
// aligned) or the left.
std::string padded(const std::string& text, std::size_t width, bool left = true) {
    const std::size_t n = characters(text);
    const std::string blanks(n < width ? width - n : 0, ' ');
    return left ? text + blanks : blanks + text;
}

std::string right(const std::string& text, std::size_t width) { return padded(text, width, false); }

std::string signedLag(int lag) { return lag > 0 ? "+" + std::to_string(lag) : std::to_string(lag); }

std::string fixed(double value, int digits) {
    if (std::isnan(value)) return "NA";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    std::string s = text;
    if (s.starts_with('-') && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

bool crossdated(SeriesStatus status) { return status == SeriesStatus::ok || status == SeriesStatus::noSegment; }

// The width of the name column.
std::size_t namesWidth(std::span<const std::string> names) {
    std::size_t width = 6;
    for (const std::string& name : names) width = std::max(width, characters(shownName(name, nameWidth)));
    return width;
}

std::string settings(const numeric::CrossdatingOptions& o) {
    const bool spearman = o.method == numeric::CorrelationMethod::spearman;
    std::string out = "Settings\n";
    out += std::string("  correlation       ") + (spearman ? "Spearman's rho" : "Pearson's r") +
           "; p from a one-sided test (of r > 0)\n";
    out += "  segments          " + std::to_string(o.segmentLength) + " years, lagged by " +
           std::to_string(o.segmentLength / 2) + "; the first starts " +
           (o.binFloor == 0 ? std::string("at the first year") : "at a multiple of " + std::to_string(o.binFloor)) +
           "\n";
    out += "  flagged           a segment whose p exceeds " + base::shortestNumber(o.pcrit) + "\n";
    out += "  lags              " + std::to_string(-o.lagMax) + " to " + signedLag(o.lagMax) +
           " years, for each flagged segment\n";
    out += "  high-pass filter  " +
           (o.highPassCutoff == 0 ? std::string("none")
                                  : "each series divided by a spline with its 50% response at " +
                                        std::to_string(o.highPassCutoff) + " years") +
           "\n";
    return out;
}

// The years and rings of the series crossdated.
struct Extent {
    long long first = std::numeric_limits<long long>::max(), last = std::numeric_limits<long long>::min();
    std::size_t rings = 0, zeros = 0;
    double sens1 = 0, sens2 = 0;
    std::size_t sensitive = 0;  // the series with both sensitivities
};

Extent extentOf(const CrossdatingReport& r) {
    Extent e;
    for (std::size_t i = 0; i < r.statistics.size(); ++i) {
        const numeric::SeriesStatistics& s = r.statistics[i];
        if (s.length == 0 || !crossdated(r.result->seriesStatus[i])) continue;
        e.first = std::min<long long>(e.first, s.first);
        e.last = std::max<long long>(e.last, s.last);
        e.rings += s.length;
        e.zeros += s.zeros;
        if (std::isfinite(s.sens1) && std::isfinite(s.sens2)) {
            e.sens1 += s.sens1;
            e.sens2 += s.sens2;
            ++e.sensitive;
        }
    }
    return e;
}

std::string summary(const CrossdatingReport& r) {
    const CrossdatingResult& result = *r.result;
    const CrossdatingSummary s = summarize(result);
    const Extent e = extentOf(r);
    const std::size_t total = r.names.size() + r.leftOut.size();
    std::string out = "Summary\n";
    out += "  series            " + std::to_string(total) + ": " + std::to_string(s.series) + " crossdated, " +
           std::to_string(total - s.series) + " left out\n";
    if (e.rings > 0)
        out += "  years             " + base::yearRange(e.first, e.last) + ", " + std::to_string(e.rings) + " rings (" +
               fixed(static_cast<double>(e.rings) / static_cast<double>(s.series), 1) + " a series), " +
               (e.zeros == 0 ? std::string("no") : std::to_string(e.zeros)) +
               (e.zeros == 1 ? " absent ring (0)\n" : " absent rings (0)\n");
    if (result.status == CrossdatingStatus::tooFewSeries)
        return out + "  not crossdated    at least 3 series are needed, each with a master of the others\n";
    out += "  intercorrelation  " + fixed(s.intercorrelation, 3) + " (sd " + fixed(s.deviation, 3) +
           "), the mean correlation of the series with their masters\n";
    const double n = static_cast<double>(e.sensitive);
    out += "  mean sensitivity  " + fixed(e.sensitive > 0 ? e.sens1 / n : std::nan(""), 3) + " (sens1), " +
           fixed(e.sensitive > 0 ? e.sens2 / n : std::nan(""), 3) + " (sens2)\n";
    if (result.status == CrossdatingStatus::noSegment)
        return out + "  segments          none: no segment of " + std::to_string(result.segmentLength) +
               " years fits in the years of the series\n";
    return out + "  flagged           " + std::to_string(s.flaggedSegments) + " of " +
           std::to_string(std::count_if(result.segment.begin(), result.segment.end(),
                                        [](const numeric::CorrelationTest& t) { return t.n > 0; })) +
           " segments, in " + std::to_string(s.flaggedSeries) + " series\n";
}

// What the table of series says of a series' segments.
std::string flaggedColumn(const CrossdatingResult& result, std::size_t i) {
    if (!crossdated(result.seriesStatus[i])) return "left out";
    if (result.status == CrossdatingStatus::tooFewSeries) return "";
    if (result.seriesStatus[i] == SeriesStatus::noSegment || result.segments.empty()) return "no segment";
    std::size_t covered = 0, flagged = 0;
    for (std::size_t k = 0; k < result.segments.size(); ++k) {
        covered += result.at(i, k).n > 0 ? 1 : 0;
        flagged += result.flagged[i * result.segments.size() + k];
    }
    return std::to_string(flagged) + " of " + std::to_string(covered);
}

std::string seriesTable(const CrossdatingReport& r) {
    const CrossdatingResult& result = *r.result;
    const std::size_t w = namesWidth(r.names);
    std::string out = "Series (r, p: the correlation with the master over all the years they share)\n";
    out += "  " + padded("series", w) + "  first   last  years       r       p  flagged\n";
    for (std::size_t i = 0; i < r.names.size(); ++i) {
        const numeric::SeriesStatistics& s = r.statistics[i];
        const numeric::CorrelationTest& t = result.overall[i];
        const bool used = crossdated(result.seriesStatus[i]);
        std::string line = "  " + padded(shownName(r.names[i], nameWidth), w) + "  " +
                           right(std::to_string(s.first), 5) + "  " + right(std::to_string(s.last), 5) + "  " +
                           right(std::to_string(s.length), 5) + "  " + right(used ? fixed(t.r, 3) : "NA", 6) + "  " +
                           right(used ? fixed(t.p, 3) : "NA", 6) + "  " + flaggedColumn(result, i);
        out += std::string(base::withoutTrailingBlanks(line)) + "\n";
    }
    return out;
}

std::string flaggedSegments(const CrossdatingReport& r) {
    const CrossdatingResult& result = *r.result;
    if (result.lags.empty()) return "";
    const std::size_t w = namesWidth(r.names);
    std::string out =
        "Flagged segments (r, p: the segment's; r(lag): Pearson's r with the master lag years later,\n"
        "at the best lag and at 0; +k: the series is dated k years too early there, as when it\n"
        "misses k rings before the segment)\n";
    out += "  " + padded("series", w) + "  segment          r       p   lag  r(lag)    r(0)\n";
    for (const numeric::LagCorrelations& lags : result.lags) {
        const auto k = static_cast<std::size_t>(
            std::find(result.segments.begin(), result.segments.end(), lags.segment) - result.segments.begin());
        if (k >= result.segments.size() || lags.r.empty()) continue;
        const numeric::CorrelationTest& t = result.at(lags.series, k);
        const std::size_t zero = lags.r.size() / 2;
        const int last = lags.segment + result.segmentLength - 1;
        out += "  " + padded(shownName(r.names[lags.series], nameWidth), w) + "  " +
               padded(std::to_string(lags.segment) + "-" + std::to_string(last), 11) + "  " + right(fixed(t.r, 3), 6) +
               "  " + right(fixed(t.p, 3), 6) + "  " + right(signedLag(lags.bestLag), 4) + "  " +
               right(fixed(lags.r[static_cast<std::size_t>(lags.bestLag + static_cast<int>(zero))], 3), 6) + "  " +
               right(fixed(lags.r[zero], 3), 6) + "\n";
    }
    return out;
}

std::string leftOut(const CrossdatingReport& r) {
    std::string out;
    for (std::size_t i = 0; i < r.names.size(); ++i) {
        const SeriesStatus status = r.result->seriesStatus[i];
        if (status == SeriesStatus::gapInside || status == SeriesStatus::noValues)
            out += "  " + shownName(r.names[i], nameWidth) + ": no values, or a missing value inside it\n";
        else if (status == SeriesStatus::meanNotPositive)
            out += "  " + shownName(r.names[i], nameWidth) + ": its mean is not positive\n";
        else if (status == SeriesStatus::highPassFailed)
            out += "  " + shownName(r.names[i], nameWidth) + ": the high-pass filter cannot be fitted to it\n";
    }
    for (const LeftOutSeries& s : r.leftOut) out += "  " + shownName(s.name, nameWidth) + ": " + s.reason + "\n";
    return out.empty() ? out : "Left out\n" + out;
}

}  // namespace

std::string decimals3(double value) { return fixed(value, 3); }

CrossdatingSummary summarize(const CrossdatingResult& result) {
    CrossdatingSummary s;
    double sum = 0, squares = 0;
    std::size_t correlated = 0;
    for (std::size_t i = 0; i < result.seriesStatus.size(); ++i) {
        if (!crossdated(result.seriesStatus[i])) continue;
        ++s.series;
        if (i < result.overall.size() && std::isfinite(result.overall[i].r)) {
            sum += result.overall[i].r;
            ++correlated;
        }
    }
    s.intercorrelation = correlated > 0 ? sum / static_cast<double>(correlated) : std::nan("");
    for (std::size_t i = 0; i < result.overall.size(); ++i)
        if (crossdated(result.seriesStatus[i]) && std::isfinite(result.overall[i].r))
            squares += (result.overall[i].r - s.intercorrelation) * (result.overall[i].r - s.intercorrelation);
    s.deviation = correlated > 1 ? std::sqrt(squares / static_cast<double>(correlated - 1)) : std::nan("");
    const std::size_t segments = result.segments.size();
    for (std::size_t i = 0; segments > 0 && i < result.seriesStatus.size(); ++i) {
        const auto begin = result.flagged.begin() + static_cast<std::ptrdiff_t>(i * segments);
        const auto flagged =
            static_cast<std::size_t>(std::count(begin, begin + static_cast<std::ptrdiff_t>(segments), 1));
        s.flaggedSegments += flagged;
        s.flaggedSeries += flagged > 0 ? 1 : 0;
    }
    return s;
}

std::string crossdatingReport(const CrossdatingReport& r) {
    std::string out = "Crossdating of " + shownName(r.input, 80) + "\n\n" + settings(r.options) + "\n" + summary(r);
    if (r.result->status != CrossdatingStatus::invalidOptions) out += "\n" + seriesTable(r);
    if (const std::string flagged = flaggedSegments(r); !flagged.empty()) out += "\n" + flagged;
    if (const std::string left = leftOut(r); !left.empty()) out += "\n" + left;
    return out;
}

}  // namespace detrend::output
