#include "pipeline/detrend_set.hpp"

#include <cmath>
#include <cstdio>

#include "formats/fields.hpp"
#include "formats/series_name.hpp"
#include "output/listing.hpp"
#include "output/write_csv.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "pipeline/site.hpp"
#include "plot/files/picture.hpp"

namespace detrend::pipeline {
namespace {

std::string quotedName(const std::string& name) { return base::quoted(name); }

// A figure of the summary line: three decimals, NA or Inf.
std::string figure(double value) {
    if (std::isnan(value)) return "NA";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The statistics as the summary line gives them: "; rbar R, EPS E, SNR S".
std::string statisticsSummary(const std::optional<numeric::SignalStatistics>& statistics) {
    if (!statistics) return {};
    return "; rbar " + figure(statistics->rbar) + ", EPS " + figure(statistics->eps) + ", SNR " +
           figure(statistics->snr);
}

// One set while it is detrended and delivered.
class SetRun {
public:
    SetRun(formats::SeriesSet& set, const SetPlan& plan, const SetOutputs& outputs, std::string_view label,
           output::Messages& messages)
        : set_(set),
          plan_(plan),
          outputs_(outputs),
          label_(label),
          messages_(messages),
          listingToTerminal_(outputs.listing && outputs.listing->isTerminal()) {
        if (outputs_.plots) {
            std::vector<std::string> names;
            for (std::size_t i : plan_.usable) names.push_back(set_.series[i].name);
            plotNames_ =
                plot::plotFileNames(outputs_.plots->base, names, plot::plotFormatExtension(outputs_.plots->format));
        }
    }

    SetResult run() {
        OrderedWork work;
        work.count = static_cast<int>(plan_.usable.size());
        work.workers = outputs_.jobs;
        work.cutoff = [&](int index) { return plan_.cutoffs[static_cast<std::size_t>(index)]; };
        work.values = [&](int index) { return std::span<const double>(series(index).values); };
        // The listing block, the index and the picture are made on the
        // worker threads.
        work.prepare = [&](int index, const numeric::SeriesFit& fit, Prepared& prepared) {
            prepare(index, fit, prepared);
        };
        const base::Status pipeline =
            detrendInOrder(work, [&](int index, const numeric::SeriesFit& fit, Prepared& prepared) {
                return deliver(index, fit, prepared);
            });
        if (!pipeline.ok() || !written_.ok()) return {fail(pipeline.ok() ? written_ : pipeline), {}};
        if (!finishOutputs()) return {};
        SetResult result;
        const bool site = buildSite(indices_, outputs_, label_, messages_, result.statistics);
        for (const std::string& f : plotFailures_) messages_.error(std::string(label_) + ": " + f);
        const int skipped = plan_.skipped + noSpline_;
        const int done = static_cast<int>(plan_.usable.size()) - noSpline_;
        messages_.note(std::string(label_) + ": " + std::to_string(done) + " series detrended, " +
                       std::to_string(skipped) + " skipped" + statisticsSummary(result.statistics));
        result.complete = skipped == 0 && plotFailures_.empty() && site;
        return result;
    }

private:
    formats::Series& series(int index) { return set_.series[plan_.usable[static_cast<std::size_t>(index)]]; }

    // The indices of every series are needed after the last one: for the
    // CSV, laid out by year, the chronology and the statistics.
    bool keepIndices() const { return outputs_.csv || outputs_.chronology || outputs_.statistics; }

    bool fail(const base::Status& status) {
        messages_.error(std::string(label_) + ": " + status.why());
        return false;
    }

    void prepare(int index, const numeric::SeriesFit& fit, Prepared& prepared) {
        prepared.listing.clear();
        prepared.picture.clear();
        prepared.pictureError.clear();
        if (!hasSpline(fit)) return;
        const formats::Series& s = series(index);
        if (outputs_.listing) {
            // On a terminal the names cannot drive it, as in messages.
            const formats::SeriesName name =
                formats::SeriesName::from(listingToTerminal_ ? base::escapedControls(s.name) : s.name);
            output::formatListingBlock(prepared.listing, name, s.firstYear, fit.series, fit.spline, fit.residual);
        }
        if (keepIndices() || outputs_.plots) numeric::indexValues(fit, outputs_.index, prepared.index);
        if (outputs_.plots) drawPicture(s, fit, plan_.cutoffs[static_cast<std::size_t>(index)], prepared);
    }

    void drawPicture(const formats::Series& s, const numeric::SeriesFit& fit, int cutoff, Prepared& prepared) const {
        constexpr long long latestYear = 1000000000;  // the pictures' years are int
        if (s.firstYear < -latestYear || s.firstYear > latestYear) {
            prepared.pictureError = "its years lie beyond what a picture can show";
            return;
        }
        const std::string title = plot::plotFileTitle(s.name, cutoff);
        plot::SeriesPicture picture;
        picture.firstYear = static_cast<int>(s.firstYear);
        picture.series = fit.series;
        picture.spline = fit.spline;
        picture.index = prepared.index;
        picture.title = title;
        picture.indexKind = outputs_.index;
        base::Result<std::string> rendered = plot::renderSeriesPicture(picture, outputs_.plots->format);
        if (rendered.ok())
            prepared.picture = std::move(rendered).value();
        else
            prepared.pictureError = rendered.why();
    }

    bool deliver(int index, const numeric::SeriesFit& fit, Prepared& prepared) {
        formats::Series& s = series(index);
        // The values are not needed after their delivery.
        struct Release {
            std::vector<double>& values;
            ~Release() { std::vector<double>().swap(values); }
        } release{s.values};
        if (outputs_.seriesDone) outputs_.seriesDone();
        const int cutoff = plan_.cutoffs[static_cast<std::size_t>(index)];
        if (!hasSpline(fit)) {
            messages_.error(std::string(label_) + ": series " + quotedName(s.name) +
                            " skipped: no spline: " + noSplineReason(cutoff, s.values, fit));
            ++noSpline_;
            return true;
        }
        if (outputs_.listing) {
            written_ = outputs_.listing->write(prepared.listing);
            if (!written_.ok()) return false;
        }
        if (outputs_.csv) warnRatio(s, fit);
        if (keepIndices()) indices_.push_back({s.name, s.firstYear, prepared.index});
        if (outputs_.plots) writePicture(index, prepared);
        return true;
    }

    // The ratio index has no meaning where the spline is not positive.
    void warnRatio(const formats::Series& s, const numeric::SeriesFit& fit) {
        if (outputs_.index != numeric::IndexKind::ratio) return;
        const std::size_t years = numeric::yearsWithoutRatio(fit);
        if (years > 0)
            messages_.error(std::string(label_) + ": series " + quotedName(s.name) +
                            ": the spline is not positive in " + std::to_string(years) +
                            (years == 1 ? " year" : " years") + "; the ratio index is NA there");
    }

    // The picture goes to a temporary, renamed into place once complete.
    void writePicture(int index, const Prepared& prepared) {
        const std::string path = outputs_.plots->dir + "/" + plotNames_[static_cast<std::size_t>(index)];
        if (!prepared.pictureError.empty())
            return plotFailures_.push_back("cannot draw plot file " + base::quoted(path) + ": " +
                                           prepared.pictureError);
        const base::Status written = output::writeWholeFile(path, prepared.picture, "plot file");
        if (!written.ok()) plotFailures_.push_back(written.why());
    }

    // Closes the listing and writes the CSV, which needs every series.
    bool finishOutputs() {
        if (outputs_.listing) {
            if (const base::Status closed = outputs_.listing->close(); !closed.ok()) return fail(closed);
        }
        if (outputs_.csv) {
            base::Status csv =
                output::writeWideCsv(indices_, [&](std::string_view piece) { return outputs_.csv->write(piece); });
            if (csv.ok()) csv = outputs_.csv->close();
            if (!csv.ok()) return fail(csv);
        }
        return true;
    }

    formats::SeriesSet& set_;
    const SetPlan& plan_;
    const SetOutputs& outputs_;
    std::string_view label_;
    output::Messages& messages_;
    std::vector<std::string> plotNames_;
    std::vector<output::IndexColumn> indices_;
    std::vector<std::string> plotFailures_;
    base::Status written_ = base::Status::success();
    const bool listingToTerminal_;
    int noSpline_ = 0;
};

}  // namespace

SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, std::string_view label,
                output::Messages& messages) {
    SetPlan plan;
    int longFilters = 0;
    for (std::size_t i = 0; i < set.series.size(); ++i) {
        const formats::Series& s = set.series[i];
        const int seriesCutoff = cutoff.forLength(static_cast<long long>(s.values.size()));
        if (const std::string reason = skipReason(s, seriesCutoff); !reason.empty()) {
            messages.error(std::string(label) + ": series " + quotedName(s.name) + " skipped: " + reason);
            ++plan.skipped;
            continue;
        }
        plan.usable.push_back(i);
        plan.cutoffs.push_back(seriesCutoff);
        if (3LL * seriesCutoff > static_cast<long long>(s.values.size())) ++longFilters;
    }
    if (cutoff.percent > 0 && longFilters > 0)
        messages.note(std::string(label) + ": " + std::to_string(longFilters) +
                      (longFilters == 1 ? " series has a prediction filter (and an extension at each end) longer "
                                          "than a third of its length"
                                        : " series have a prediction filter (and an extension at each end) longer "
                                          "than a third of their length") +
                      " at " + std::to_string(cutoff.percent) +
                      "%; the spline's ends may follow the extension more than the data");
    return plan;
}

SetResult detrendSet(formats::SeriesSet& set, const SetPlan& plan, const SetOutputs& outputs, std::string_view label,
                     output::Messages& messages) {
    return SetRun(set, plan, outputs, label, messages).run();
}

}  // namespace detrend::pipeline
