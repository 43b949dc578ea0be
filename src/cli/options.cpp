#include "cli/options.hpp"

#include "base/text.hpp"
#include "formats/numbers.hpp"

#include <getopt.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string_view>

namespace detrend::cli {
namespace {

// A whole number in [low, high] written as nothing but digits (and a sign).
std::optional<long long> wholeNumber(std::string_view text, long long low, long long high) {
    long long value = 0;
    const char* last = text.data() + text.size();
    if (!formats::parseInteger(text.data(), last, value).endsAt(last) || value < low || value > high)
        return std::nullopt;
    return value;
}

// A finite decimal number, as a CSV cell holds one.
std::optional<double> realNumber(std::string_view text) {
    double value = 0;
    const char* last = text.data() + text.size();
    if (!formats::parseCsvNumber(text.data(), last, value, false).endsAt(last) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

enum LongOnly {
    csvOption = 1000,
    indexOption,
    formatOption,
    missingOption,
    columnsOption,
    plotOption,
    plotFormatOption,
    maxInputOption,
    chronOption,
    chronFormatOption,
    chronMeanOption,
    statsOption,
    corOption,
    zerosOption,
    idsOption,
    runningOption,
    windowOption,
    windowOverlapOption,
    chronCutOption,
    methodOption,
    filterLengthOption,
    constrainOption,
    posSlopeOption,
    nyrs0Option,
    bassOption,
    spanOption,
    fitsOption,
    siteOption,
    siteNameOption,
    speciesOption,
    writeSeriesOption,
    seriesFormatOption,
    gapsOption,
    helpOption,
    versionOption,
    // Crossdating.
    xdateOption,
    seriesStatsOption,
    xdateCorOption,
    segLengthOption,
    binFloorOption,
    pcritOption,
    lagMaxOption,
    xdateFilterOption
};

constexpr const char* shortOptions = ":c:o:d:j:q";

const option longOptions[] = {
    {"cutoff", required_argument, nullptr, 'c'},
    {"output", required_argument, nullptr, 'o'},
    {"output-dir", required_argument, nullptr, 'd'},
    {"jobs", required_argument, nullptr, 'j'},
    {"quiet", no_argument, nullptr, 'q'},
    {"csv", required_argument, nullptr, csvOption},
    {"index", required_argument, nullptr, indexOption},
    {"format", required_argument, nullptr, formatOption},
    {"missing", required_argument, nullptr, missingOption},
    {"columns", required_argument, nullptr, columnsOption},
    {"plot", required_argument, nullptr, plotOption},
    {"plot-format", required_argument, nullptr, plotFormatOption},
    {"max-input", required_argument, nullptr, maxInputOption},
    {"chron", optional_argument, nullptr, chronOption},
    {"chron-format", required_argument, nullptr, chronFormatOption},
    {"chron-mean", required_argument, nullptr, chronMeanOption},
    {"stats", optional_argument, nullptr, statsOption},
    {"cor", required_argument, nullptr, corOption},
    {"zeros", required_argument, nullptr, zerosOption},
    {"ids", required_argument, nullptr, idsOption},
    {"running", optional_argument, nullptr, runningOption},
    {"window", required_argument, nullptr, windowOption},
    {"window-overlap", required_argument, nullptr, windowOverlapOption},
    {"chron-cut", required_argument, nullptr, chronCutOption},
    {"method", required_argument, nullptr, methodOption},
    {"filter-length", required_argument, nullptr, filterLengthOption},
    {"constrain", required_argument, nullptr, constrainOption},
    {"pos-slope", no_argument, nullptr, posSlopeOption},
    {"nyrs0", required_argument, nullptr, nyrs0Option},
    {"bass", required_argument, nullptr, bassOption},
    {"span", required_argument, nullptr, spanOption},
    {"fits", optional_argument, nullptr, fitsOption},
    {"site", required_argument, nullptr, siteOption},
    {"site-name", required_argument, nullptr, siteNameOption},
    {"species", required_argument, nullptr, speciesOption},
    {"xdate", optional_argument, nullptr, xdateOption},
    {"series-stats", optional_argument, nullptr, seriesStatsOption},
    {"xdate-cor", required_argument, nullptr, xdateCorOption},
    {"seg-length", required_argument, nullptr, segLengthOption},
    {"bin-floor", required_argument, nullptr, binFloorOption},
    {"pcrit", required_argument, nullptr, pcritOption},
    {"lag-max", required_argument, nullptr, lagMaxOption},
    {"xdate-filter", required_argument, nullptr, xdateFilterOption},
    // Its FILE may follow as the next argument (optionTable).
    {"write-series", optional_argument, nullptr, writeSeriesOption},
    {"series-format", required_argument, nullptr, seriesFormatOption},
    {"gaps", required_argument, nullptr, gapsOption},
    {"help", no_argument, nullptr, helpOption},
    {"version", no_argument, nullptr, versionOption},
    {nullptr, 0, nullptr, 0},
};

// What is wrong with an option's value; nothing when it was taken.
using Refusal = std::optional<std::string>;

Refusal takeCutoff(const std::string& value, pipeline::Cutoff& cutoff) {
    if (!value.empty() && value.back() == '%') {
        const auto p = wholeNumber(std::string_view(value).substr(0, value.size() - 1), 1, 99);
        if (!p)
            return "--cutoff " + value +
                   ": a share must be a whole number of percent, 1% to 99% (no series is shorter than itself)";
        cutoff = {0, static_cast<int>(*p)};
    } else {
        const auto y = wholeNumber(value, 2, std::numeric_limits<int>::max());
        if (!y) return "--cutoff " + value + ": expected a whole number of years >= 2, or a share such as 67%";
        cutoff = {static_cast<int>(*y), 0};
    }
    return std::nullopt;
}

// A number of bytes, with K, M or G for 1024, 1024^2 or 1024^3 of them.
Refusal takeByteCount(const std::string& value, std::uint64_t& bytes) {
    std::string_view digits = value;
    int shift = 0;
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'K':
            case 'k': shift = 10; break;
            case 'M':
            case 'm': shift = 20; break;
            case 'G':
            case 'g': shift = 30; break;
            default: break;
        }
    }
    if (shift > 0) digits.remove_suffix(1);
    const auto count = wholeNumber(digits, 1, (std::int64_t{1} << 53) >> shift);
    if (!count)
        return "--max-input " + value +
               ": expected a number of bytes >= 1, optionally with K, M or G (1024, 1024^2, 1024^3)";
    bytes = static_cast<std::uint64_t>(*count) << shift;
    return std::nullopt;
}

// One of several words, each with its meaning.
template <class T>
Refusal takeChoice(const char* option, const std::string& value,
                   std::initializer_list<std::pair<const char*, T>> choices, const char* expected, T& out) {
    for (const auto& [word, meaning] : choices) {
        if (value == word) {
            out = meaning;
            return std::nullopt;
        }
    }
    return std::string(option) + " " + value + ": expected " + expected;
}

// --chron-cut eps=X, sss=X (0 < X <= 1) or depth=N (N >= 1).
Refusal takeChronologyCut(const std::string& value, Options& o) {
    const std::size_t equals = value.find('=');
    const std::string by = value.substr(0, equals == std::string::npos ? value.size() : equals);
    const std::string threshold = equals == std::string::npos ? "" : value.substr(equals + 1);
    const auto share = realNumber(threshold);
    const auto depth = wholeNumber(threshold, 1, 1000000);
    using By = pipeline::ChronologyCut::By;
    if ((by == "eps" || by == "sss") && share && *share > 0.0 && *share <= 1.0) {
        o.chronologyCut = pipeline::ChronologyCut{by == "eps" ? By::eps : By::sss, *share};
    } else if (by == "depth" && depth) {
        o.chronologyCut = pipeline::ChronologyCut{By::depth, static_cast<double>(*depth)};
    } else {
        return "--chron-cut " + value + ": expected eps=X or sss=X with 0 < X <= 1, or depth=N with N >= 1";
    }
    return std::nullopt;
}

// --filter-length N, P%, auto or cutoff.
Refusal takeFilterLength(const std::string& value, numeric::FilterLength& length) {
    using Rule = numeric::FilterLength::Rule;
    if (value == "auto" || value == "cutoff") {
        length = {value == "auto" ? Rule::automatic : Rule::cutoff, 0};
    } else if (const auto p = value.ends_with('%')
                                  ? wholeNumber(std::string_view(value).substr(0, value.size() - 1), 1, 99)
                                  : std::nullopt) {
        length = {Rule::percent, static_cast<int>(*p)};
    } else if (const auto n = wholeNumber(value, 1, std::numeric_limits<int>::max())) {
        length = {Rule::years, static_cast<int>(*n)};
    } else {
        return "--filter-length " + value + ": expected a whole number >= 1, P% (1% to 99%), auto or cutoff";
    }
    return std::nullopt;
}

// --site CODE, --site-name TEXT, --species CODE: the .crn header's fields.
Refusal takeSiteHeader(int c, const std::string& value, Options& o) {
    const bool blank = value.find_first_of(" \t") != std::string::npos;
    switch (c) {
        case siteOption:
            if (value.empty() || value.size() > 6 || blank)
                return "--site " + value + ": expected a site code of 1 to 6 characters without a blank";
            o.site.code = value;
            return std::nullopt;
        case siteNameOption:
            if (value.size() > 52)
                return "--site-name: a site name of at most 52 bytes, the columns it has (" +
                       std::to_string(value.size()) + " given; a letter such as \u00e9 takes 2)";
            o.site.name = value;
            return std::nullopt;
        case speciesOption:
            if (value.empty() || value.size() > 4 || blank)
                return "--species " + value + ": expected a species code of 1 to 4 characters without a blank";
            o.site.species = value;
            return std::nullopt;
    }
    return "unknown option";
}

// Takes the options of the detrending methods into `o`.
Refusal takeMethodOption(int c, const std::string& value, Options& o) {
    numeric::MethodOptions& m = o.methodOptions;
    switch (c) {
        case methodOption: {
            const std::optional<numeric::Method> method = numeric::methodByName(value);
            if (!method || *method == numeric::Method::line)
                return "--method " + value +
                       ": expected burg-spline, spline, negexp, hugershoff, mean, ar, friedman or age-spline";
            o.method = *method;
            return std::nullopt;
        }
        case filterLengthOption: return takeFilterLength(value, o.filterLength);
        case constrainOption:
            return takeChoice("--constrain", value,
                              {{"never", numeric::Constrain::never},
                               {"when-fail", numeric::Constrain::whenFail},
                               {"always", numeric::Constrain::always}},
                              "never, when-fail or always", m.constrain);
        case posSlopeOption: m.posSlope = true; return std::nullopt;
        case nyrs0Option: {
            const auto n = wholeNumber(value, 2, 100000);
            if (!n) return "--nyrs0 " + value + ": expected a whole number of years >= 2";
            m.nyrs0 = static_cast<int>(*n);
            return std::nullopt;
        }
        case bassOption: {
            const auto b = wholeNumber(value, 0, 10);
            if (!b) return "--bass " + value + ": expected a whole number from 0 to 10";
            m.bass = static_cast<int>(*b);
            return std::nullopt;
        }
        case spanOption: {
            const auto span = realNumber(value);
            if (value != "cv" && !(span && *span > 0.0 && *span <= 1.0))
                return "--span " + value + ": expected cv or a share of the series' length, 0 < SPAN <= 1";
            m.span = value == "cv" ? 0.0 : *span;
            return std::nullopt;
        }
    }
    return "unknown option";
}

// The options each method takes beyond the common ones, and whether the
// cutoff is its own (required, optional with a default, or none).
struct MethodRules {
    numeric::Method method;
    enum class Cutoff { required, optional, none } cutoff;
    std::initializer_list<int> options;
};
const MethodRules methodRules[] = {
    {numeric::Method::burgSpline, MethodRules::Cutoff::required, {filterLengthOption}},
    {numeric::Method::spline, MethodRules::Cutoff::optional, {}},
    {numeric::Method::negexp, MethodRules::Cutoff::none, {constrainOption, posSlopeOption}},
    {numeric::Method::hugershoff, MethodRules::Cutoff::none, {constrainOption, posSlopeOption}},
    {numeric::Method::mean, MethodRules::Cutoff::none, {}},
    {numeric::Method::ar, MethodRules::Cutoff::none, {}},
    {numeric::Method::friedman, MethodRules::Cutoff::none, {bassOption, spanOption}},
    {numeric::Method::ageSpline, MethodRules::Cutoff::none, {nyrs0Option, posSlopeOption}},
};

const char* const methodOptionNames[] = {"--method", "--filter-length", "--constrain", "--pos-slope",
                                         "--nyrs0",  "--bass",          "--span"};

// What is wrong with the method and its options together; the cutoff of a
// method that defaults it is set.
Refusal checkMethod(Options& o, const std::set<int>& given) {
    const MethodRules& rules = *std::find_if(std::begin(methodRules), std::end(methodRules),
                                             [&](const auto& r) { return r.method == o.method; });
    const std::string name(numeric::methodName(o.method));
    if (rules.cutoff == MethodRules::Cutoff::required && !given.contains('c') && o.detrends())
        return "the cutoff is required: -c YEARS or -c P%";
    if (rules.cutoff == MethodRules::Cutoff::none && given.contains('c'))
        return "-c does not apply to --method " + name + ", which has no cutoff";
    if (rules.cutoff == MethodRules::Cutoff::optional && !given.contains('c')) o.cutoff = {0, 67};
    for (int option = filterLengthOption; option <= spanOption; ++option)
        if (given.contains(option) &&
            std::find(rules.options.begin(), rules.options.end(), option) == rules.options.end())
            return std::string(methodOptionNames[option - methodOption]) + " does not apply to --method " + name;
    return std::nullopt;
}

// Takes the options of the site statistics into `o`.
Refusal takeStatisticsOption(int c, const char* argument, Options& o) {
    const std::string value = argument != nullptr ? argument : "";
    switch (c) {
        case zerosOption:
            return takeChoice("--zeros", value,
                              {{"missing", numeric::Zeros::missing}, {"count", numeric::Zeros::counted}},
                              "missing or count", o.zeros);
        case idsOption:
            if (value == "auto" || value == "none") {
                o.treeIds = value == "auto" ? pipeline::TreeIdSource::automatic : pipeline::TreeIdSource::none;
            } else if (value.empty()) {
                return "--ids: expected auto, none or a CSV file of series,tree,core";
            } else {
                o.treeIds = pipeline::TreeIdSource::table;
                o.treeTable = value;
            }
            return std::nullopt;
        case runningOption:
            if (argument != nullptr && value.empty()) return "--running=: expected a file name after the =";
            o.running = Destination{value};
            return std::nullopt;
        case windowOption: {
            const auto w = wholeNumber(value, 10, 100000);
            if (!w) return "--window " + value + ": expected a whole number of years from 10 to 100000";
            o.window.window = static_cast<int>(*w);
            return std::nullopt;
        }
        case windowOverlapOption: {
            const auto v = wholeNumber(value, 0, 99999);
            if (!v) return "--window-overlap " + value + ": expected a whole number of years >= 0";
            o.window.overlap = static_cast<int>(*v);
            return std::nullopt;
        }
        case chronCutOption: return takeChronologyCut(value, o);
        case fitsOption:
            if (argument != nullptr && value.empty()) return "--fits=: expected a file name after the =";
            o.fits = Destination{value};
            return std::nullopt;
    }
    return "unknown option";
}

// Takes the options of the chronology and the statistics into `o`.
Refusal takeSiteOption(int c, const char* argument, Options& o) {
    const std::string value = argument != nullptr ? argument : "";
    switch (c) {
        case chronOption:
            if (argument != nullptr && value.empty()) return "--chron=: expected a file name after the =";
            if (o.chronology) return "--chron is given twice: one chronology a run (with -d, one per input)";
            o.chronology = Destination{value};
            if (base::endsWithIgnoringCase(value, ".crn")) o.chronologyFormat = output::ChronologyFormat::crn;
            return std::nullopt;
        case chronFormatOption:
            return takeChoice("--chron-format", value,
                              {{"csv", output::ChronologyFormat::csv}, {"crn", output::ChronologyFormat::crn}},
                              "csv or crn", o.chronologyFormat);
        case chronMeanOption:
            return takeChoice(
                "--chron-mean", value,
                {{"biweight", numeric::ChronologyMean::biweight}, {"arithmetic", numeric::ChronologyMean::arithmetic}},
                "biweight or arithmetic", o.chronologyMean);
        case statsOption:
            if (argument != nullptr && value.empty()) return "--stats=: expected a file name after the =";
            o.statistics = Destination{value};
            return std::nullopt;
        case corOption:
            return takeChoice(
                "--cor", value,
                {{"spearman", numeric::CorrelationMethod::spearman}, {"pearson", numeric::CorrelationMethod::pearson}},
                "spearman or pearson", o.correlation);
    }
    return "unknown option";
}

// Takes the options of the crossdating into `o`.
Refusal takeCrossdatingOption(int c, const char* argument, Options& o) {
    const std::string value = argument != nullptr ? argument : "";
    numeric::CrossdatingOptions& x = o.crossdating;
    switch (c) {
        case xdateOption:
            if (argument != nullptr && value.empty()) return "--xdate=: expected a file name after the =";
            if (value == output::standardStream)
                return "--xdate=-: the report has its tables and picture beside it: name a file, or use -d DIR";
            o.xdate = Destination{value};
            return std::nullopt;
        case seriesStatsOption:
            if (argument != nullptr && value.empty()) return "--series-stats=: expected a file name after the =";
            o.seriesStats = Destination{value};
            return std::nullopt;
        case xdateCorOption:
            return takeChoice(
                "--xdate-cor", value,
                {{"spearman", numeric::CorrelationMethod::spearman}, {"pearson", numeric::CorrelationMethod::pearson}},
                "spearman or pearson", x.method);
        case segLengthOption: {
            const auto n = wholeNumber(value, 10, 100000);
            if (!n || *n % 2 != 0)
                return "--seg-length " + value + ": expected an even whole number of years, 10 to 100000";
            x.segmentLength = static_cast<int>(*n);
            return std::nullopt;
        }
        case binFloorOption: {
            const auto n = wholeNumber(value, 0, 100000);
            if (!n)
                return "--bin-floor " + value + ": expected a whole number of years, 0 to 100000 (0: the first year)";
            x.binFloor = static_cast<int>(*n);
            return std::nullopt;
        }
        case pcritOption: {
            const auto p = realNumber(value);
            if (!p || !(*p > 0.0 && *p < 1.0)) return "--pcrit " + value + ": expected a number between 0 and 1";
            x.pcrit = *p;
            return std::nullopt;
        }
        case lagMaxOption: {
            const auto n = wholeNumber(value, 0, 100000);
            if (!n) return "--lag-max " + value + ": expected a whole number of years, 0 to 100000";
            x.lagMax = static_cast<int>(*n);
            return std::nullopt;
        }
        case xdateFilterOption:
            return takeChoice("--xdate-filter", value, {{"none", 0}, {"spline32", 32}}, "none or spline32",
                              x.highPassCutoff);
    }
    return "unknown option";
}

// What is wrong with the crossdating options together.
Refusal checkCrossdating(const Options& o, const std::set<int>& given) {
    const bool several = o.inputs.size() > 1;
    if (o.xdate && o.xdate->perInput() && !o.outputDir)
        return "--xdate without a file writes one per input into -d DIR: give -d, or --xdate=FILE";
    if (o.seriesStats && o.seriesStats->perInput() && !o.outputDir)
        return "--series-stats without a file writes one per input into -d DIR: give -d, or --series-stats=FILE";
    if (several && o.xdate && !o.xdate->perInput())
        return "--xdate=FILE names one report: with several inputs use -d DIR and --xdate";
    if (several && o.seriesStats && !o.seriesStats->perInput())
        return "--series-stats=FILE names one table: with several inputs use -d DIR and --series-stats";
    static const std::pair<int, const char*> settings[] = {
        {xdateCorOption, "--xdate-cor"}, {segLengthOption, "--seg-length"}, {binFloorOption, "--bin-floor"},
        {pcritOption, "--pcrit"},        {lagMaxOption, "--lag-max"},       {xdateFilterOption, "--xdate-filter"}};
    for (const auto& [option, name] : settings)
        if (!o.xdate && given.contains(option))
            return std::string(name) + " describes the crossdating: give --xdate too";
    if (4 * o.crossdating.lagMax > o.crossdating.segmentLength)
        return std::string(given.contains(lagMaxOption) ? "--lag-max " : "the lags (--lag-max, default ") +
               std::to_string(o.crossdating.lagMax) + (given.contains(lagMaxOption) ? "" : ")") +
               ": must be at most a quarter of the segment (" + std::to_string(o.crossdating.segmentLength / 4) +
               " years of " + std::to_string(o.crossdating.segmentLength) + ")";
    return std::nullopt;
}

// --write-series[=FILE] and --series-format.
Refusal takeSeriesOption(int c, const char* argument, Options& o) {
    const std::string value = argument != nullptr ? argument : "";
    if (c == writeSeriesOption) {
        if (argument != nullptr && value.empty()) return "--write-series: expected a file name";
        o.writeSeries = Destination{value};
        return std::nullopt;
    }
    output::SeriesFormat format = output::SeriesFormat::tucson;
    if (Refusal refused = takeChoice("--series-format", value,
                                     {{"tucson", output::SeriesFormat::tucson},
                                      {"heidelberg", output::SeriesFormat::heidelberg},
                                      {"csv", output::SeriesFormat::csv}},
                                     "tucson, heidelberg or csv", format))
        return refused;
    o.seriesFormat = format;
    return std::nullopt;
}

// What is wrong with --write-series and --series-format; the format of the
// series written is set (from FILE's extension when not given; Tucson for
// one per input).
Refusal checkSeriesOptions(Options& o) {
    if (!o.writeSeries) {
        if (o.seriesFormat) return "--series-format describes the series written: give --write-series too";
        return std::nullopt;
    }
    const std::string& file = o.writeSeries->file;
    if (o.writeSeries->perInput() && !o.outputDir)
        return "--write-series needs a FILE, or -d DIR to write DIR/BASE.EXT for every input";
    if (!o.writeSeries->perInput() && o.outputDir)
        return "with -d, --write-series takes no FILE: it writes DIR/BASE.EXT for every input";
    if (!o.writeSeries->perInput() && o.inputs.size() > 1)
        return "--write-series FILE names one file: with several inputs use -d DIR";
    if (!o.seriesFormat && !o.writeSeries->perInput()) {
        o.seriesFormat = output::seriesFormatOf(file);
        if (!o.seriesFormat)
            return "--write-series " + file +
                   ": the extension names no format (.rwl, .fh or .csv): give --series-format tucson, heidelberg "
                   "or csv";
    }
    if (!o.seriesFormat) o.seriesFormat = output::SeriesFormat::tucson;
    return std::nullopt;
}

// Whether the command line asks for the detrending itself: a cutoff, a
// method or an option of one (Options::detrends says which runs detrend).
bool runDetrends(const std::set<int>& given) {
    if (given.contains('c')) return true;
    for (int option = methodOption; option <= spanOption; ++option)
        if (given.contains(option)) return true;
    return false;
}

// --gaps skip, split or fill: years without a value inside a series.
Refusal takeGaps(const std::string& value, Options& o) {
    return takeChoice(
        "--gaps", value,
        {{"skip", pipeline::GapRule::skip}, {"split", pipeline::GapRule::split}, {"fill", pipeline::GapRule::fill}},
        "skip, split or fill", o.gaps);
}

// A file or directory name into `to`; `refusal` when it is empty.
Refusal takeName(const std::string& value, const char* refusal, std::optional<std::string>& to) {
    if (value.empty()) return refusal;
    to = value;
    return std::nullopt;
}

// Takes the value of option `c` into `o`.
Refusal takeOption(int c, const char* argument, Options& o) {
    using formats::FormatChoice;
    using numeric::IndexKind;
    if (c >= xdateOption && c <= xdateFilterOption) return takeCrossdatingOption(c, argument, o);
    if (c == gapsOption) return takeGaps(argument != nullptr ? argument : "", o);
    if (c >= chronOption && c <= corOption) return takeSiteOption(c, argument, o);
    if ((c >= zerosOption && c <= chronCutOption) || c == fitsOption) return takeStatisticsOption(c, argument, o);
    if (c >= methodOption && c <= spanOption) return takeMethodOption(c, argument != nullptr ? argument : "", o);
    if (c >= siteOption && c <= speciesOption) return takeSiteHeader(c, argument != nullptr ? argument : "", o);
    if (c == writeSeriesOption || c == seriesFormatOption) return takeSeriesOption(c, argument, o);
    const std::string value = argument != nullptr ? argument : "";
    switch (c) {
        case 'c': return takeCutoff(value, o.cutoff);
        case 'o': return takeName(value, "--output: expected a file name", o.output);
        case 'd': return takeName(value, "--output-dir: expected a directory name", o.outputDir);
        case csvOption: return takeName(value, "--csv: expected a file name", o.csv);
        case plotOption: return takeName(value, "--plot: expected a directory name", o.plotDir);
        case plotFormatOption:
            return takeChoice(
                "--plot-format", value,
                {{"png", plot::PlotFormat::png}, {"svg", plot::PlotFormat::svg}, {"pdf", plot::PlotFormat::pdf}},
                "png, svg or pdf", o.plotFormat);
        case 'j': {
            const auto j = wholeNumber(value, 1, 1024);
            if (!j) return "--jobs " + value + ": expected a whole number from 1 to 1024";
            o.jobs = static_cast<int>(*j);
            return std::nullopt;
        }
        case 'q': o.quiet = true; return std::nullopt;
        case indexOption:
            return takeChoice("--index", value, {{"difference", IndexKind::difference}, {"ratio", IndexKind::ratio}},
                              "difference or ratio", o.index);
        case formatOption:
            return takeChoice("--format", value,
                              {{"auto", FormatChoice::automatic},
                               {"table", FormatChoice::table},
                               {"tucson", FormatChoice::tucson},
                               {"csv", FormatChoice::csv},
                               {"heidelberg", FormatChoice::heidelberg},
                               {"compact", FormatChoice::compact},
                               {"tridas", FormatChoice::tridas}},
                              "auto, table, tucson, csv, heidelberg, compact or tridas", o.read.format);
        case maxInputOption: return takeByteCount(value, o.maxInput);
        case missingOption: {
            const auto m = realNumber(value);
            if (!m) return "--missing " + value + ": expected a number";
            o.read.missing = *m;
            return std::nullopt;
        }
        case columnsOption: {
            const auto n = wholeNumber(value, 2, 1000000);
            if (!n) return "--columns " + value + ": expected a whole number >= 2 (the year column included)";
            o.read.columns = static_cast<int>(*n);
            return std::nullopt;
        }
    }
    return "unknown option";
}

// What is wrong with the chronology and statistics options together.
Refusal checkSiteOptions(const Options& o, const std::set<int>& given) {
    const bool several = o.inputs.size() > 1;
    if (o.chronology && o.chronology->perInput() && !o.outputDir)
        return "--chron without a file writes one per input into -d DIR: give -d, or --chron=FILE";
    if (o.statistics && o.statistics->perInput() && !o.outputDir)
        return "--stats without a file writes one per input into -d DIR: give -d, or --stats=FILE";
    if (several && o.chronology && !o.chronology->perInput())
        return "--chron=FILE names one chronology: with several inputs use -d DIR and --chron";
    if (!o.chronology && (given.contains(chronFormatOption) || given.contains(chronMeanOption)))
        return "--chron-format and --chron-mean describe the chronology: give --chron too";
    const bool statistics = o.statistics || o.running;
    if (!statistics && given.contains(corOption))
        return "--cor chooses the statistics' correlation: give --stats or --running too";
    if (!statistics && !o.chronology && (given.contains(zerosOption) || given.contains(idsOption)))
        return "--zeros and --ids describe the statistics: give --stats, --running or --chron too";
    if (!o.running && (given.contains(windowOption) || given.contains(windowOverlapOption)))
        return "--window and --window-overlap describe the running statistics: give --running too";
    if (o.window.overlap >= o.window.window)
        return "--window-overlap " + std::to_string(o.window.overlap) + ": must be less than the window (" +
               std::to_string(o.window.window) + " years)";
    if (!o.chronology && o.chronologyCut) return "--chron-cut cuts the chronology: give --chron too";
    if (o.chronology && !o.chronology->perInput() && given.contains(chronFormatOption)) {
        const bool crnName = base::endsWithIgnoringCase(o.chronology->file, ".crn");
        const bool csvName = base::endsWithIgnoringCase(o.chronology->file, ".csv");
        if ((crnName && o.chronologyFormat == output::ChronologyFormat::csv) ||
            (csvName && o.chronologyFormat == output::ChronologyFormat::crn))
            return "--chron=" + o.chronology->file + " and --chron-format " +
                   (o.chronologyFormat == output::ChronologyFormat::crn ? "crn" : "csv") +
                   " contradict each other: the file's extension says the format";
    }
    if ((given.contains(siteOption) || given.contains(siteNameOption) || given.contains(speciesOption)) &&
        !(o.chronology && o.chronologyFormat == output::ChronologyFormat::crn))
        return "--site, --site-name and --species fill the .crn header: give --chron with the crn format";
    if (o.running && o.running->perInput() && !o.outputDir)
        return "--running without a file writes one per input into -d DIR: give -d, or --running=FILE";
    if (o.fits && o.fits->perInput() && !o.outputDir)
        return "--fits without a file writes one per input into -d DIR: give -d, or --fits=FILE";
    if (o.chronology && o.chronologyFormat == output::ChronologyFormat::crn && o.index != numeric::IndexKind::ratio)
        return "a .crn chronology holds ratio indices: use --index ratio, or --chron-format csv";
    return std::nullopt;
}

// At most one output goes to standard output ("-"), and no two outputs
// named by the command line to one file (but /dev/null, which takes any).
Refusal checkNamedOutputs(const Options& o) {
    std::vector<std::pair<std::string, const char*>> named;
    const auto add = [&](const std::optional<std::string>& file, const char* what) {
        if (file) named.emplace_back(*file, what);
    };
    const auto destination = [](const std::optional<Destination>& d) {
        return d && !d->perInput() ? std::optional<std::string>(d->file) : std::nullopt;
    };
    add(o.output, "the listing");
    add(o.csv, "the CSV");
    add(destination(o.chronology), "the chronology");
    add(destination(o.statistics), "the statistics");
    add(destination(o.running), "the running statistics");
    add(destination(o.fits), "the fits");
    add(destination(o.xdate), "the crossdating report");
    add(destination(o.seriesStats), "the series statistics");
    add(destination(o.writeSeries), "the series");
    for (std::size_t i = 0; i < named.size(); ++i)
        for (std::size_t j = i + 1; j < named.size(); ++j) {
            if (named[i].first != named[j].first || named[i].first == "/dev/null") continue;
            if (named[i].first == "-")
                return std::string(named[i].second) + " and " + named[j].second + " cannot both go to standard output";
            return std::string(named[i].second) + " and " + named[j].second + " name one file, " +
                   base::quoted(named[i].first);
        }
    return std::nullopt;
}

// What is wrong with the inputs and outputs named together.
Refusal checkCombination(Options& o, const std::set<int>& given) {
    if (o.inputs.empty()) return "no input file named";
    if (const Refusal crossdating = checkCrossdating(o, given)) return crossdating;
    if (const Refusal series = checkSeriesOptions(o)) return series;
    o.detrendingAsked = runDetrends(given);
    if (const Refusal method = checkMethod(o, given)) return method;
    if (std::count(o.inputs.begin(), o.inputs.end(), "-") > 1) return "standard input (-) can be read only once";
    std::vector<std::string> sortedInputs = o.inputs;
    std::sort(sortedInputs.begin(), sortedInputs.end());
    const bool several = o.inputs.size() > 1;
    if (several && o.output) return "-o names one listing: with several inputs use -d DIR";
    if (several && o.csv) return "--csv names one file: with several inputs use -d DIR";
    if (several && !o.outputDir && !(o.statistics && !o.statistics->perInput()) &&
        !(o.running && !o.running->perInput()) && !(o.fits && !o.fits->perInput()))
        return "several inputs need -d DIR for their results";
    if (o.outputDir && (o.output || o.csv)) return "-d cannot be combined with -o or --csv";
    if (const Refusal twice = checkNamedOutputs(o)) return twice;
    if (const auto repeated = std::adjacent_find(sortedInputs.begin(), sortedInputs.end());
        repeated != sortedInputs.end() && *repeated != "-")
        return "input \"" + *repeated + "\" is named twice";
    return checkSiteOptions(o, given);
}

// The arguments as getopt_long takes them, the program's name first.
class ArgumentVector {
public:
    explicit ArgumentVector(const std::vector<std::string>& arguments) {
        storage_.reserve(arguments.size() + 1);
        storage_.push_back("detrend");
        storage_.insert(storage_.end(), arguments.begin(), arguments.end());
        for (std::string& s : storage_) argv_.push_back(s.data());
        argv_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(argv_.size() - 1); }
    char** argv() { return argv_.data(); }
    // The option getopt_long just refused, as the user wrote it.
    std::string refused() const {
        const std::string written = argv_[static_cast<std::size_t>(std::clamp(::optind - 1, 1, argc() - 1))];
        if (written.starts_with("--")) return written.substr(0, written.find('='));
        return std::string("-") + static_cast<char>(::optopt);
    }
    // Whether the option refused was written with "=VALUE".
    bool refusedWithValue() const {
        const std::string_view written = argv_[static_cast<std::size_t>(std::clamp(::optind - 1, 1, argc() - 1))];
        return written.starts_with("--") && written.find('=') != std::string_view::npos;
    }

private:
    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

// The options for getopt_long; --write-series takes the next argument as its
// FILE when `seriesFileFollows`.
std::vector<option> optionTable(bool seriesFileFollows) {
    std::vector<option> table(std::begin(longOptions), std::end(longOptions));
    for (option& o : table)
        if (seriesFileFollows && o.val == writeSeriesOption) o.has_arg = required_argument;
    return table;
}

// Whether --write-series is given without "=FILE" in a run without -d: its
// FILE is then the next argument ("--write-series out.rwl in.fh"); with -d
// it has none, and the next argument is an input.
bool seriesFileFollows(const std::vector<std::string>& arguments) {
    const std::vector<option> table = optionTable(false);
    ArgumentVector args(arguments);
    ::opterr = 0;
    ::optind = 0;
    bool bare = false, directory = false;
    for (int c = 0; (c = ::getopt_long(args.argc(), args.argv(), shortOptions, table.data(), nullptr)) != -1;) {
        bare = bare || (c == writeSeriesOption && ::optarg == nullptr);
        directory = directory || c == 'd';
    }
    return bare && !directory;
}

// Why getopt_long refused `written` (--NAME, or -X): a long option that
// takes no value was given one, an abbreviation fits several options, or no
// option is so named.
std::string refusalOf(const std::string& written, bool withValue, const std::vector<option>& table) {
    if (!written.starts_with("--")) return "unknown option " + written;
    const std::string name = written.substr(2);
    std::vector<const option*> fits;
    for (const option& o : table) {
        if (o.name == nullptr) continue;
        if (name == o.name) {
            fits.assign(1, &o);
            break;
        }
        if (std::string_view(o.name).starts_with(name)) fits.push_back(&o);
    }
    const bool oneOption = !fits.empty() && std::all_of(fits.begin(), fits.end(),
                                                        [&](const option* o) { return o->val == fits.front()->val; });
    if (oneOption && withValue && fits.front()->has_arg == no_argument)
        return "option --" + std::string(fits.front()->name) + " takes no value";
    if (fits.size() > 1 && !oneOption) {
        std::string names;
        for (const option* o : fits) names += (names.empty() ? "--" : ", --") + std::string(o->name);
        return "option " + written + " is ambiguous: " + names;
    }
    return "unknown option " + written;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    auto usage = [&](std::string message) {
        parsed.action = ParsedCommandLine::Action::usageError;
        parsed.error = std::move(message);
        return parsed;
    };
    const std::vector<option> table = optionTable(seriesFileFollows(arguments));
    ArgumentVector args(arguments);
    std::set<int> given;  // the options met
    ::opterr = 0;  // the messages are ours
    ::optind = 0;  // a fresh scan (GNU: 0 also resets its internal state)
    for (;;) {
        const int c = ::getopt_long(args.argc(), args.argv(), shortOptions, table.data(), nullptr);
        if (c == -1) break;
        if (c == helpOption || c == versionOption) {
            parsed.action = c == helpOption ? ParsedCommandLine::Action::help : ParsedCommandLine::Action::version;
            return parsed;
        }
        if (c == ':') return usage("option " + args.refused() + " needs a value");
        if (c == '?') return usage(refusalOf(args.refused(), args.refusedWithValue(), table));
        given.insert(c);
        if (const Refusal refusal = takeOption(c, ::optarg, parsed.options)) return usage(*refusal);
    }
    // getopt_long has moved the inputs behind the options.
    for (int i = ::optind; i < args.argc(); ++i) parsed.options.inputs.emplace_back(args.argv()[i]);
    if (const Refusal refusal = checkCombination(parsed.options, given)) return usage(*refusal);
    return parsed;
}

const char* const helpText =
    "usage: detrend                      (the interactive dialogue)\n"
    "       detrend -c CUTOFF [OPTIONS] INPUT...\n"
    "       detrend --xdate[=FILE] [OPTIONS] INPUT...   (crossdating only)\n"
    "       detrend --write-series FILE INPUT   (a conversion: no cutoff)\n"
    "\n"
    "Detrends annual series, such as tree-ring widths, with a cubic smoothing\n"
    "spline whose 50% frequency response lies at CUTOFF years. Each series is\n"
    "centred, extended at both ends with a Burg prediction-error filter,\n"
    "smoothed, and written with its residuals to a fixed-column listing.\n"
    "\n"
    "Without arguments detrend asks for the input table, the listing, the\n"
    "number of columns, the missing-value flag and the cutoff, and shows each\n"
    "series in a plot window (right-click or close it for the next series).\n"
    "\n"
    "With arguments it works on files: free-layout tables, CSV files, Tucson\n"
    "decadal ring-width files (.rwl), Heidelberg (.fh), compact and TRiDaS\n"
    "(.xml) files, as many as are named.\n"
    "  -c, --cutoff YEARS     the 50% response period, a whole number >= 2, or\n"
    "                         P% of each series' own length (1% to 99%, e.g.\n"
    "                         67%); required when the series are detrended\n"
    "      --method M         the curve each series is divided by: burg-spline\n"
    "                         (the default: the spline of the series extended\n"
    "                         by its Burg prediction), spline (no extension;\n"
    "                         -c defaults to 67%), negexp (a e^(b t) + k, else a\n"
    "                         line, else the mean), hugershoff (a t^b e^(-g t) +\n"
    "                         d, the same fallbacks), mean, ar (prewhitening:\n"
    "                         the index is the AR residuals), friedman (the super\n"
    "                         smoother), age-spline (stiffness growing with age)\n"
    "      --filter-length L  burg-spline's prediction filter: cutoff (the\n"
    "                         default), N years, P% of the series, or auto (by\n"
    "                         Akaike's final prediction error); at most the\n"
    "                         cutoff\n"
    "      --constrain C      negexp, hugershoff: never (default), when-fail or\n"
    "                         always keep the parameters' signs\n"
    "      --pos-slope        negexp, hugershoff: the line may rise; age-spline:\n"
    "                         the curve's end may rise\n"
    "      --nyrs0 N          age-spline: the stiffness of the first ring (50)\n"
    "      --bass B, --span S friedman: bass 0..10 (0), span cv or 0 < S <= 1\n"
    "      --fits[=FILE]      each series' curve: method asked and used, why it\n"
    "                         fell back, parameters; to FILE or DIR/BASE-fits.csv\n"
    "  -o, --output FILE      the results listing (- for standard output); one\n"
    "                         INPUT only. With one INPUT and no output named,\n"
    "                         the listing goes to standard output\n"
    "      --csv FILE         the indices as a wide CSV (year,NAME1,...; NA where\n"
    "                         a series has no value); one INPUT only\n"
    "      --index KIND       the indices of the CSV, the chronology and the\n"
    "                         plots: ratio (series / spline, the default) or\n"
    "                         difference (series minus spline, the listing's\n"
    "                         residual column)\n"
    "  -d, --output-dir DIR   for each INPUT writes DIR/BASE.out and DIR/BASE.csv\n"
    "      --chron[=FILE]     the site chronology of the indices (year, std, res,\n"
    "                         samp.depth, sss, ars): to FILE, or\n"
    "                         DIR/BASE-chron.csv with -d\n"
    "      --chron-format F   csv (the default) or crn (the Tucson chronology\n"
    "                         format, ratio indices only; also for a FILE.crn):\n"
    "                         BASE.crn (std) and BASE-res.crn (res) with -d\n"
    "      --site CODE, --site-name TEXT, --species CODE\n"
    "                         the .crn header lines (default: the file's own\n"
    "                         header, else the first six characters of BASE)\n"
    "      --chron-cut C      only the years with eps=X or sss=X (0 < X <= 1) or\n"
    "                         depth=N; the years cut are named\n"
    "      --chron-mean M     biweight (robust, the default) or arithmetic\n"
    "      --stats[=FILE]     rbar, EPS and SNR of each input, with trees and\n"
    "                         cores (n.trees, rbar.wt, rbar.bt, rbar.eff), as\n"
    "                         CSV: to FILE, or DIR/BASE-stats.csv with -d\n"
    "      --ids I            trees and cores: auto (the file's own, else from\n"
    "                         the names; the default), none, or a CSV FILE of\n"
    "                         series,tree,core\n"
    "      --zeros Z          absent rings in the correlations: missing (the\n"
    "                         default) or count\n"
    "      --running[=FILE]   the statistics in windows of --window N years (50)\n"
    "                         overlapping by --window-overlap N (25)\n"
    "      --cor C            the correlation of the statistics: spearman (the\n"
    "                         default) or pearson\n"
    "      --plot DIR         one picture per series: DIR/BASE-NAME.png, and\n"
    "                         DIR/BASE-chron.png with --chron\n"
    "      --plot-format F    png (1200 x 700, the default), svg or pdf\n"
    "      --format F         auto (from the content, the file name breaking a\n"
    "                         tie; the default), table, tucson, csv,\n"
    "                         heidelberg, compact or tridas\n"
    "      --write-series FILE  the series read, written again: to FILE, or\n"
    "                         with -d (and no FILE) to DIR/BASE.rwl, .fh or\n"
    "                         -series.csv for every INPUT. Without -c or an\n"
    "                         output of the detrending, nothing is detrended\n"
    "      --series-format F  tucson, heidelberg or csv (default: from FILE's\n"
    "                         extension .rwl, .fh, .csv; tucson with -d)\n"
    "      --missing VALUE    missing-value flag of a table or CSV (default -999;\n"
    "                         a CSV also takes empty cells, NA and NaN)\n"
    "      --columns N        columns of a table, the year column included\n"
    "                         (default: the number of names on its first line);\n"
    "                         names and values beyond them are ignored\n"
    "      --max-input BYTES  the most read from an input that is not a regular\n"
    "                         file (a pipe, a device); K, M, G: 1024, 1024^2,\n"
    "                         1024^3 bytes (default 4G)\n"
    "      --xdate[=FILE]     crossdate the ring widths: the report to FILE, or\n"
    "                         DIR/BASE-xdate.txt with -d; beside it the tables\n"
    "                         STEM-series.csv, STEM-overall.csv, STEM-segments.csv,\n"
    "                         STEM-lags.csv and the picture STEM.png (STEM: FILE\n"
    "                         without its extension, or DIR/BASE-xdate, the series\n"
    "                         table DIR/BASE-series.csv; with --plot, the picture\n"
    "                         is PLOTDIR/BASE-xdate.png)\n"
    "      --series-stats[=FILE]  the statistics of each series as CSV: to FILE, or\n"
    "                         DIR/BASE-series.csv with -d\n"
    "      --xdate-cor C      spearman (the default) or pearson\n"
    "      --seg-length N     the segments' length in years (even, >= 10; 50)\n"
    "      --bin-floor N      the first segment starts at a multiple of N (100;\n"
    "                         0: at the first year)\n"
    "      --pcrit P          a segment is flagged when its p exceeds P (0.05)\n"
    "      --lag-max N        the lags tried on a flagged segment: -N to +N (5; at\n"
    "                         most a quarter of the segment)\n"
    "      --xdate-filter F   none (the default) or spline32: each series divided\n"
    "                         by a spline with its 50% response at 32 years first\n"
    "      --gaps RULE        years without a value inside a series: skip the\n"
    "                         series (the default), split it into NAME.1,\n"
    "                         NAME.2, ... at them, or fill them by linear\n"
    "                         interpolation (NA there in every output)\n"
    "  -j, --jobs N           series worked on at once (default: one per core)\n"
    "  -q, --quiet            nothing on standard error but errors\n"
    "      --help             show this text and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "A FILE of - is standard output, for one output at most. Missing directories\n"
    "of every output are made before any input is read. An input's outputs\n"
    "replace earlier files together once all are written; when none of its\n"
    "series can be detrended they are left as they were.\n"
    "\n"
    "The series are detrended when -o, --csv, --chron, --stats, --running, --fits\n"
    "or --plot asks for it, or when no crossdating output is named; with only\n"
    "--xdate or --series-stats they are read and checked, without -c.\n"
    "\n"
    "A series that cannot be detrended (a gap inside it, no values, a cutoff\n"
    "not below its length) is skipped with a message. Exit status: 0 when every\n"
    "series of every input was detrended, 1 when an input could not be read or\n"
    "a series was skipped, 2 for a usage error.\n"
    "\n"
    "See detrend(1) for the formats, the listing and the messages.\n";

}  // namespace detrend::cli
