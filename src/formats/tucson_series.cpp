#include "formats/tucson_series.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "base/text.hpp"

namespace detrend::formats::tucson {
namespace {

std::string shownId(const std::string& id) { return id.empty() ? std::string("without an id") : "\"" + id + "\""; }

// "Y", or "FIRST to LAST".
std::string years(long long first, long long last) {
    return first == last ? std::to_string(first) : base::yearRange(first, last);
}

std::string lines(long a, long b) { return "lines " + std::to_string(a) + " and " + std::to_string(b); }

// Of the sorted entries, the years given twice: a problem naming the first
// year whose two values differ, or a note when every such year has the same
// value twice. Of each such year the first entry stays.
void readOnce(std::vector<Entry>& entries, const std::string& id, std::optional<std::string>& problem,
              std::vector<std::string>& warnings) {
    std::optional<std::size_t> firstSame;
    long long lastSame = 0;
    for (std::size_t i = 1; i < entries.size() && !problem; ++i) {
        if (entries[i].year != entries[i - 1].year) continue;
        if (entries[i].raw != entries[i - 1].raw) {
            problem = "year " + std::to_string(entries[i].year) + " is given twice (" +
                      lines(entries[i - 1].line, entries[i].line) + ")";
        } else {
            if (!firstSame) firstSame = i;
            lastSame = entries[i].year;
        }
    }
    if (firstSame && !problem) {
        const Entry& a = entries[*firstSame - 1];
        const Entry& b = entries[*firstSame];
        warnings.push_back("series " + shownId(id) + ": " + years(a.year, lastSame) +
                           " given twice with the same values, " + (a.year == lastSame ? "on " : "first on ") +
                           lines(a.line, b.line) + "; read once");
    }
    const auto sameYear = [](const Entry& x, const Entry& y) { return x.year == y.year; };
    entries.erase(std::unique(entries.begin(), entries.end(), sameYear), entries.end());
}

// The holes among the entries [first, last): "it has no values for ..."
// naming the first and how many more there are; none when there is none.
std::optional<std::string> holes(std::vector<Entry>::const_iterator first, std::vector<Entry>::const_iterator last) {
    std::optional<std::string> found;
    long more = 0;
    for (auto e = first + 1; e != last; ++e) {
        if (e->year == (e - 1)->year + 1) continue;
        if (found) {
            ++more;
            continue;
        }
        found = "it has no values for " + years((e - 1)->year + 1, e->year - 1) + ", between " +
                lines((e - 1)->line, e->line);
    }
    if (found && more > 0) *found += " (and " + std::to_string(more) + " more such gap" + (more == 1 ? ")" : "s)");
    return found;
}

// Absent rings met while the values are made, for the note.
struct Absent {
    long count = 0, markers = 0;
    long long first = 0, firstMarker = 0;
    long long marker = 0;  // the value of the first stop marker inside the series

    void add(long long year, long long raw, bool isMarker) {
        if (count++ == 0) first = year;
        if (isMarker && markers++ == 0) firstMarker = year, marker = raw;
    }
};

void noteSeries(const Gathered& gathered, const Absent& absent, std::vector<std::string>& warnings) {
    if (!gathered.hundredths && !gathered.thousandths)
        warnings.push_back("series " + (gathered.id.empty() ? std::string("without an id") : gathered.id) +
                           " has no stop marker; its values are read as hundredths of a millimetre");
    if (absent.count > 0) {
        std::string text = "series " + shownId(gathered.id) + ": " + std::to_string(absent.count) + " absent ring" +
                           (absent.count == 1 ? "" : "s") + " read as 0, first in " + std::to_string(absent.first);
        if (absent.markers > 0)
            text += "; " + std::string(absent.markers == absent.count ? "" : std::to_string(absent.markers) + " ") +
                    (absent.markers == 1 ? "a stop marker" : "stop markers") + " (" + std::to_string(absent.marker) +
                    ") inside the series, first in " + std::to_string(absent.firstMarker);
        warnings.push_back(std::move(text));
    }
    if (gathered.crossingLine > 0)
        warnings.push_back("series " + shownId(gathered.id) + ": line " + std::to_string(gathered.crossingLine) +
                           " holds values past the end of its decade (" +
                           years(gathered.crossingFirst, gathered.crossingLast) + "), read as consecutive years");
}

// 999 inside a series of unknown unit: a stop marker (hundredths) or a ring
// of 0.999 mm (thousandths)? None when there is no such entry.
std::optional<std::string> unitUnknown(std::vector<Entry>::const_iterator first,
                                       std::vector<Entry>::const_iterator last) {
    const auto marker = std::find_if(first, last, [](const Entry& e) { return e.raw == hundredthsMarker; });
    if (marker == last) return std::nullopt;
    return "999 in " + std::to_string(marker->year) + " (line " + std::to_string(marker->line) +
           ") may be a stop marker or a ring of 0.999 mm, and the series has no stop marker to tell its unit";
}

// A 999 that stands last before years without a line (the series comes
// back after a hole) ends the part before the hole, as it ends a series: it
// is no ring, and the hole begins at its year.
void dropMarkersBeforeHoles(std::vector<Entry>& entries) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool beforeHole = i + 1 < entries.size() && entries[i + 1].year != entries[i].year + 1;
        if (entries[i].raw != hundredthsMarker || !beforeHole) entries[kept++] = entries[i];
    }
    entries.resize(kept);
}

}  // namespace

Series finishSeries(Gathered& gathered, std::vector<std::string>& warnings) {
    Series series;
    series.name = gathered.id;
    std::vector<Entry>& entries = gathered.entries;
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.year < b.year; });
    readOnce(entries, gathered.id, series.problem, warnings);
    if (gathered.hundredths && !gathered.thousandths) dropMarkersBeforeHoles(entries);
    // Unless in thousandths, 999 is never a ring: a stop marker inside the
    // series, read as an absent ring. (Without a stop marker to tell the
    // unit, the series is not used.)
    const bool thousandths = gathered.thousandths && !gathered.hundredths;
    const bool unknown = !gathered.thousandths && !gathered.hundredths;
    const auto isMarker = [&](const Entry& e) {
        return e.raw == thousandthsMarker || (!thousandths && e.raw == hundredthsMarker);
    };
    const auto present = [&](const Entry& e) { return e.raw >= 0 && !isMarker(e); };
    const auto first = std::find_if(entries.begin(), entries.end(), present);
    if (first == entries.end()) {
        series.firstYear = entries.empty() ? 0 : entries.front().year;
        if (!series.problem) series.problem = "it has no values";
        return series;
    }
    const auto last = std::find_if(entries.rbegin(), entries.rend(), present).base();
    series.firstYear = first->year;
    if (gathered.hundredths && gathered.thousandths && !series.problem)
        series.problem = "its stop markers disagree (999 and -9999)";
    if (unknown && !series.problem) series.problem = unitUnknown(first, last);
    if (std::optional<std::string> gap = holes(first, last); gap && !series.problem) {
        series.problem = std::move(gap);
        series.onlyGaps = true;
    }
    const double divisor = thousandths ? 1000.0 : 100.0;
    series.values.reserve(static_cast<std::size_t>((last - 1)->year - first->year + 1));
    Absent absent;
    for (auto e = first; e != last; ++e) {
        if (e != first && e->year != (e - 1)->year + 1)  // years without a line
            series.values.insert(series.values.end(), static_cast<std::size_t>(e->year - (e - 1)->year - 1),
                                 std::numeric_limits<double>::quiet_NaN());
        const bool ring = present(*e);
        if (!ring) absent.add(e->year, e->raw, isMarker(*e));
        series.values.push_back(ring ? static_cast<double>(e->raw) / divisor : 0.0);
    }
    noteSeries(gathered, absent, warnings);
    return series;
}

}  // namespace detrend::formats::tucson
