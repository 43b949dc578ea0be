#include "pipeline/crossdate_set.hpp"

#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>

#include "base/text.hpp"
#include "numeric/crossdating.hpp"
#include "numeric/series_statistics.hpp"
#include "output/xdate_report.hpp"
#include "output/xdate_tables.hpp"
#include "plot/files/picture.hpp"

namespace detrend::pipeline {
namespace {

using numeric::CrossdatingResult;
using numeric::SeriesStatus;

// The years a series may have: those of the pictures.
constexpr long long largestYear = 1000000000;

// The series of a set as the statistics and the analysis take them.
struct Selection {
    // Every series with values, for the statistics.
    std::vector<std::string> allNames;
    std::vector<numeric::SeriesStatistics> allStatistics;
    // Those without a missing value inside, for the analysis.
    std::vector<std::string> names;
    std::vector<numeric::IndexSeries> series;
    std::vector<numeric::SeriesStatistics> statistics;
    std::vector<output::LeftOutSeries> leftOut;
};

// Why a series cannot be used at all, or "".
std::string unusable(const formats::Series& s) {
    if (s.problem) return *s.problem;
    if (s.values.empty()) return "it has no values";
    if (s.firstYear < -largestYear || s.firstYear + static_cast<long long>(s.values.size()) > largestYear)
        return "its years lie beyond what crossdating can take";
    return {};
}

Selection select(const formats::SeriesSet& set, bool crossdating, const std::string& label,
                 output::Messages& messages) {
    Selection out;
    std::vector<double> scratch;
    const std::string leftOut = crossdating ? " left out of the crossdating: " : " left out of the series statistics: ";
    const auto leave = [&](const formats::Series& s, const std::string& reason) {
        out.leftOut.push_back({s.name, reason});
        messages.error(label + ": series " + base::quoted(s.name) + leftOut + reason);
    };
    for (const formats::Series& s : set.series) {
        if (const std::string reason = unusable(s); !reason.empty()) {
            leave(s, reason);
            continue;
        }
        const numeric::IndexSeries series{static_cast<int>(s.firstYear), s.values};
        const numeric::SeriesStatistics statistics = numeric::seriesStatistics(series, scratch);
        out.allNames.push_back(s.name);
        out.allStatistics.push_back(statistics);
        if (!crossdating) continue;
        const auto gap = std::find_if(s.values.begin(), s.values.end(), [](double v) { return std::isnan(v); });
        if (gap != s.values.end()) {
            leave(s, "it has no value for " + std::to_string(s.firstYear + (gap - s.values.begin())) +
                         ", inside the series");
            continue;
        }
        out.names.push_back(s.name);
        out.series.push_back(series);
        out.statistics.push_back(statistics);
    }
    return out;
}

CrossdatingResult crossdate(const Selection& selection, const numeric::CrossdatingOptions& options, int jobs) {
    CrossdatingResult result;
    tbb::task_arena arena(jobs > 0 ? jobs : tbb::task_arena::automatic);
    arena.execute([&] { result = numeric::crossdate(selection.series, options); });
    return result;
}

// " once its prewhitening has taken its first year(s)", where series i is
// as long as a segment but the autoregression took its first years, which
// are then in no segment.
std::string prewhiteningTakes(const CrossdatingResult& result, std::size_t i) {
    if (i >= result.prewhitened.size()) return {};
    const std::vector<double>& v = result.prewhitened[i];
    std::size_t taken = 0;
    while (taken < v.size() && std::isnan(v[taken])) ++taken;
    if (taken == 0 || v.size() < static_cast<std::size_t>(result.segmentLength)) return {};
    return " once its prewhitening has taken its first " +
           (taken == 1 ? std::string("year") : std::to_string(taken) + " years");
}

// The messages about the series the analysis could not use or check; false
// when one was left out, or too few were left.
bool noteSeries(const CrossdatingResult& result, const Selection& selection, const std::string& label,
                output::Messages& messages) {
    bool complete = true;
    for (std::size_t i = 0; i < selection.names.size(); ++i) {
        const std::string series = label + ": series " + base::quoted(selection.names[i]);
        switch (result.seriesStatus[i]) {
            case SeriesStatus::meanNotPositive:
                messages.error(series + " left out of the crossdating: its mean is not positive");
                complete = false;
                break;
            case SeriesStatus::highPassFailed:
                messages.error(series + " left out of the crossdating: the high-pass filter cannot be fitted to it");
                complete = false;
                break;
            case SeriesStatus::noSegment:
                if (result.status == numeric::CrossdatingStatus::ok)
                    messages.note(series + " covers no " + std::to_string(result.segmentLength) +
                                  "-year segment with a master" + prewhiteningTakes(result, i) +
                                  "; only its overall correlation is given");
                break;
            default: break;
        }
    }
    return complete;
}

// The summary line, or the error of too few series.
bool summarize(const CrossdatingResult& result, const std::string& label, output::Messages& messages) {
    const output::CrossdatingSummary s = output::summarize(result);
    const std::string head = label + ": crossdating of " + std::to_string(s.series) + " series: ";
    if (result.status == numeric::CrossdatingStatus::tooFewSeries) {
        messages.error(head + "too few to crossdate (at least 3 are needed)");
        return false;
    }
    std::string line = head + "intercorrelation " + output::decimals3(s.intercorrelation);
    if (result.status == numeric::CrossdatingStatus::noSegment)
        line += ", no " + std::to_string(result.segmentLength) + "-year segment fits their years";
    else
        line += ", " + std::to_string(s.flaggedSegments) + (s.flaggedSegments == 1 ? " segment" : " segments") +
                " flagged in " + std::to_string(s.flaggedSeries) + " series";
    messages.note(line);
    return true;
}

// The picture's rows: the series crossdated, with the segments they cover.
std::vector<plot::CrossdatingRow> pictureRows(const CrossdatingResult& result, const Selection& selection) {
    std::vector<plot::CrossdatingRow> rows;
    const std::size_t segments = result.segments.size();
    for (std::size_t i = 0; i < selection.names.size(); ++i) {
        const SeriesStatus status = result.seriesStatus[i];
        if (status != SeriesStatus::ok && status != SeriesStatus::noSegment) continue;
        plot::CrossdatingRow& row = rows.emplace_back();
        row.name = selection.names[i];
        row.first = result.firstYear[i];
        row.last = result.firstYear[i] + static_cast<int>(result.prewhitened[i].size()) - 1;
        for (std::size_t k = 0; k < segments; ++k)
            if (result.at(i, k).n > 0)
                row.segments.emplace_back(result.segments[k], result.flagged[i * segments + k] != 0);
    }
    return rows;
}

// Writes the files of an input, finished, into an outcome.
class Writer {
public:
    Writer(CrossdatingOutcome& outcome, const std::string& label, output::Messages& messages)
        : outcome_(outcome), label_(label), messages_(messages) {}

    void write(const std::optional<std::string>& path, const std::string& bytes, std::string_view what) {
        if (!path) return;
        if (*path == output::standardStream) {
            outcome_.toStandardOutput = bytes;
            return;
        }
        base::Result<std::unique_ptr<output::OutputFile>> written = output::writeFinished(*path, bytes, what);
        if (written.ok()) return outcome_.files.push_back(std::move(written).value());
        outcome_.written = false;
        fail(written.why());
    }

    void fail(const std::string& why) {
        messages_.error(label_ + ": " + why);
        incomplete();
    }
    void incomplete() { outcome_.complete = false; }

private:
    CrossdatingOutcome& outcome_;
    const std::string& label_;
    output::Messages& messages_;
};

void writeReport(const Selection& selection, const numeric::CrossdatingOptions& options, const RunSettings& settings,
                 const InputPlan& input, Writer& writer, output::Messages& messages) {
    const CrossdatingResult result = crossdate(selection, options, settings.jobs);
    bool complete = noteSeries(result, selection, input.label, messages);
    complete = summarize(result, input.label, messages) && complete;
    if (!complete) writer.incomplete();
    const CrossdatingFiles& files = input.crossdating;
    output::CrossdatingReport report{input.label,          options,          selection.names, &result,
                                     selection.statistics, selection.leftOut};
    writer.write(files.report, output::crossdatingReport(report), "output file");
    writer.write(files.overall, output::overallCsv(selection.names, result), "output file");
    writer.write(files.segments, output::segmentsCsv(selection.names, result), "output file");
    writer.write(files.lags, output::lagsCsv(selection.names, result), "output file");
    const std::vector<plot::CrossdatingRow> rows = pictureRows(result, selection);
    if (!files.picture) return;
    const output::CrossdatingSummary s = output::summarize(result);
    const std::string title = input.base + " - " + std::to_string(s.series) + " series, " +
                              std::to_string(s.flaggedSegments) + " segments flagged (p > " +
                              base::shortestNumber(options.pcrit) + ")";
    const base::Result<std::string> picture =
        plot::renderCrossdatingPicture({rows, options.segmentLength, title}, settings.crossdatingPicture);
    if (!picture.ok())
        return writer.fail("cannot draw plot file " + base::quoted(*files.picture) + ": " + picture.why());
    writer.write(files.picture, picture.value(), "plot file");
}

}  // namespace

base::Status claimCrossdatingFiles(const InputPlan& input, output::OutputClaims& claims) {
    const CrossdatingFiles& f = input.crossdating;
    for (const std::optional<std::string>* path :
         {&f.report, &f.overall, &f.segments, &f.lags, &f.picture, &f.series}) {
        if (!*path) continue;
        if (base::Status allowed = claims.check(**path, input.input); !allowed.ok()) return allowed;
        claims.claim(**path, input.input);
    }
    return base::Status::success();
}

CrossdatingOutcome crossdateSet(const formats::SeriesSet& set, const RunSettings& settings, const InputPlan& input,
                                output::Messages& messages) {
    CrossdatingOutcome outcome;
    const bool report = input.crossdating.report && settings.crossdating;
    const Selection selection = select(set, report, input.label, messages);
    Writer writer(outcome, input.label, messages);
    if (!selection.leftOut.empty()) outcome.complete = false;
    writer.write(input.crossdating.series, output::seriesStatisticsCsv(selection.allNames, selection.allStatistics),
                 "output file");
    if (report)
        writeReport(selection, *settings.crossdating, settings, input, writer, messages);
    else
        messages.note(input.label + ": series statistics of " + std::to_string(selection.allNames.size()) + " series");
    return outcome;
}

}  // namespace detrend::pipeline
