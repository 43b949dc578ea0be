#include "pipeline/detrend_set.hpp"

#include "formats/fields.hpp"
#include "formats/series_name.hpp"
#include "output/listing.hpp"
#include "output/write_csv.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "plot/plotdata.hpp"

namespace detrend::pipeline {
namespace {

std::string quotedName(const std::string& name) { return formats::quoted(name); }

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

    bool run() {
        OrderedWork work;
        work.count = static_cast<int>(plan_.usable.size());
        work.workers = outputs_.jobs;
        work.cutoff = [&](int index) { return plan_.cutoffs[static_cast<std::size_t>(index)]; };
        work.values = [&](int index) { return std::span<const double>(series(index).values); };
        // The listing block is laid out on the worker threads.
        work.prepare = [&](int index, const numeric::SeriesFit& fit, std::string& block) {
            if (!outputs_.listing || !hasSpline(fit)) return block.clear();
            const formats::Series& s = series(index);
            // On a terminal the names cannot drive it, as in messages.
            const formats::SeriesName name =
                formats::SeriesName::from(listingToTerminal_ ? output::escapedControls(s.name) : s.name);
            output::formatListingBlock(block, name, s.firstYear, fit.series, fit.spline, fit.residual);
        };
        const output::Status pipeline =
            detrendInOrder(work, [&](int index, const numeric::SeriesFit& fit, const std::string& block) {
                return deliver(index, fit, block);
            });
        if (!pipeline.ok()) return fail(pipeline);
        if (!written_.ok()) return fail(written_);
        if (!finishOutputs()) return false;
        for (const std::string& f : plotFailures_) messages_.error(std::string(label_) + ": " + f);
        const int skipped = plan_.skipped + noSpline_;
        const int done = static_cast<int>(plan_.usable.size()) - noSpline_;
        messages_.note(std::string(label_) + ": " + std::to_string(done) + " series detrended, " +
                       std::to_string(skipped) + " skipped");
        return skipped == 0 && plotFailures_.empty();
    }

private:
    formats::Series& series(int index) { return set_.series[plan_.usable[static_cast<std::size_t>(index)]]; }

    bool fail(const output::Status& status) {
        messages_.error(std::string(label_) + ": " + status.why());
        return false;
    }

    bool deliver(int index, const numeric::SeriesFit& fit, const std::string& block) {
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
            written_ = outputs_.listing->write(block);
            if (!written_.ok()) return false;
        }
        if (outputs_.csv) {
            indices_.push_back(output::indexColumn(s.name, s.firstYear, fit, outputs_.index));
            warnRatio(s, fit);
        }
        if (outputs_.plots) writePlot(index, s, fit, cutoff);
        return true;
    }

    // The ratio index has no meaning where the spline is not positive.
    void warnRatio(const formats::Series& s, const numeric::SeriesFit& fit) {
        if (outputs_.index != output::IndexKind::ratio) return;
        const std::size_t years = output::yearsWithoutRatio(fit);
        if (years > 0)
            messages_.error(std::string(label_) + ": series " + quotedName(s.name) +
                            ": the spline is not positive in " + std::to_string(years) +
                            (years == 1 ? " year" : " years") + "; the ratio index is NA there");
    }

    // The picture goes to a temporary, renamed into place once complete.
    void writePlot(int index, const formats::Series& s, const numeric::SeriesFit& fit, int cutoff) {
        const std::size_t n = fit.series.size();
        if (plotData_.years.size() < n) plotData_ = plot::PlotData(static_cast<int>(n));
        plot::buildPlotData(fit.series, fit.spline, fit.residual, static_cast<int>(n), static_cast<int>(s.firstYear), 0,
                            plotData_);
        const std::string path = outputs_.plots->dir + "/" + plotNames_[static_cast<std::size_t>(index)];
        output::OutputFile file(path, output::Replace::whenComplete, "plot file");
        if (!file.opened().ok()) return plotFailures_.push_back(file.opened().why());
        const std::string reason = plot::writePlotFile(file.writtenPath(), outputs_.plots->format, plotData_,
                                                       fit.residual, s.name, cutoff, path);
        if (!reason.empty()) return plotFailures_.push_back(reason);
        if (const output::Status closed = file.close(); !closed.ok()) plotFailures_.push_back(closed.why());
    }

    // Closes the listing and writes the CSV, which needs every series.
    bool finishOutputs() {
        if (outputs_.listing) {
            if (const output::Status closed = outputs_.listing->close(); !closed.ok()) return fail(closed);
        }
        if (outputs_.csv) {
            output::Status csv =
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
    plot::PlotData plotData_{0};
    output::Status written_ = output::Status::success();
    const bool listingToTerminal_;
    int noSpline_ = 0;
};

}  // namespace

SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, std::string_view label,
                output::Messages& messages) {
    SetPlan plan;
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
    }
    return plan;
}

bool detrendSet(formats::SeriesSet& set, const SetPlan& plan, const SetOutputs& outputs, std::string_view label,
                output::Messages& messages) {
    return SetRun(set, plan, outputs, label, messages).run();
}

}  // namespace detrend::pipeline
