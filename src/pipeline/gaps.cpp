#include "pipeline/gaps.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "base/text.hpp"

namespace detrend::pipeline {
namespace {

using formats::Series;

bool missing(double v) { return std::isnan(v); }

// Whether the rule applies: years without a value inside the series are
// all that keeps it from being detrended.
bool mendable(const Series& s) {
    if (s.problem && !s.onlyGaps) return false;
    return !s.values.empty() && std::any_of(s.values.begin(), s.values.end(), missing);
}

std::string years(long long first, long long last) {
    return first == last ? std::to_string(first) : base::yearRange(first, last);
}

// The stretches [begin, end) of values between the gaps.
std::vector<std::pair<std::size_t, std::size_t>> stretches(const std::vector<double>& values) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    for (std::size_t i = 0; i < values.size();) {
        while (i < values.size() && missing(values[i])) ++i;
        const std::size_t begin = i;
        while (i < values.size() && !missing(values[i])) ++i;
        if (i > begin) found.emplace_back(begin, i);
    }
    return found;
}

void split(Series& s, std::vector<Series>& out, std::vector<std::string>& notes) {
    const auto parts = stretches(s.values);
    std::string named;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        Series part;
        part.name = s.name + "." + std::to_string(k + 1);
        part.firstYear = s.firstYear + static_cast<long long>(parts[k].first);
        part.values.assign(s.values.begin() + static_cast<std::ptrdiff_t>(parts[k].first),
                           s.values.begin() + static_cast<std::ptrdiff_t>(parts[k].second));
        named += (k == 0                  ? ""
                  : k + 1 == parts.size() ? " and "
                                          : ", ") +
                 base::quoted(part.name) + " (" +
                 years(part.firstYear, part.firstYear + static_cast<long long>(part.values.size()) - 1) + ")";
        out.push_back(std::move(part));
    }
    notes.push_back("series " + base::quoted(s.name) + " is split at its gaps into " + named);
}

// Fills the gaps of `s` linearly between the values around each; the
// flags of the years filled.
std::vector<bool> fill(Series& s, std::vector<std::string>& notes) {
    std::vector<double>& v = s.values;
    std::vector<bool> filled(v.size(), false);
    std::size_t count = 0;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (!missing(v[i])) continue;
        std::size_t end = i;
        while (missing(v[end])) ++end;  // the last value is present
        const double before = v[i - 1], step = (v[end] - before) / static_cast<double>(end - i + 1);
        for (std::size_t k = i; k < end; ++k) {
            v[k] = before + step * static_cast<double>(k - i + 1);
            filled[k] = true;
        }
        count += end - i;
        i = end;
    }
    s.problem.reset();
    s.onlyGaps = false;
    const auto firstFilled = static_cast<long long>(std::find(filled.begin(), filled.end(), true) - filled.begin());
    notes.push_back("series " + base::quoted(s.name) + ": " + std::to_string(count) + " year" +
                    (count == 1 ? "" : "s") + " without a value inside it, first " +
                    std::to_string(s.firstYear + firstFilled) +
                    ", filled by linear interpolation to detrend it; NA there in every output");
    return filled;
}

}  // namespace

GapsApplied applyGaps(formats::SeriesSet set, GapRule rule) {
    GapsApplied applied;
    if (rule == GapRule::skip) {
        applied.set = std::move(set);
        return applied;
    }
    std::vector<Series> series;
    series.reserve(set.series.size());
    std::vector<std::string> notes;
    for (Series& s : set.series) {
        if (!mendable(s)) {
            series.push_back(std::move(s));
            applied.filled.emplace_back();
        } else if (rule == GapRule::split) {
            split(s, series, notes);
            applied.filled.resize(series.size());
        } else {
            applied.filled.push_back(fill(s, notes));
            series.push_back(std::move(s));
        }
    }
    set.series = std::move(series);
    set.warnings.insert(set.warnings.end(), notes.begin(), notes.end());
    applied.set = std::move(set);
    return applied;
}

void maskFilled(std::span<float> values, const std::vector<bool>& filled) {
    const std::size_t n = std::min(values.size(), filled.size());
    for (std::size_t i = 0; i < n; ++i)
        if (filled[i]) values[i] = std::numeric_limits<float>::quiet_NaN();
}

formats::SeriesSet withoutFilled(const formats::SeriesSet& set, const std::vector<std::vector<bool>>& filled) {
    formats::SeriesSet out = set;
    for (std::size_t s = 0; s < out.series.size() && s < filled.size(); ++s) {
        std::vector<double>& values = out.series[s].values;
        for (std::size_t i = 0; i < values.size() && i < filled[s].size(); ++i)
            if (filled[s][i]) values[i] = std::numeric_limits<double>::quiet_NaN();
    }
    return out;
}

}  // namespace detrend::pipeline
