#include "pipeline/detrend_set.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <cstdio>
#include <unistd.h>

#include "formats/fields.hpp"
#include "formats/series_name.hpp"
#include "output/chronology_files.hpp"
#include "numeric/methods.hpp"
#include "output/fits_table.hpp"
#include "output/listing.hpp"
#include "output/output_file.hpp"
#include "output/write_csv.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "pipeline/pictures.hpp"
#include "pipeline/gaps.hpp"
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
std::string statisticsSummary(const std::optional<SiteSummary>& summary) {
    if (!summary) return {};
    const numeric::SiteStatistics& s = summary->statistics;
    return "; rbar " + figure(s.rbarTotal) + ", EPS " + figure(s.eps) + ", SNR " + figure(s.snr);
}

// `values` with NaN at the years `filled` flags.
std::vector<float> maskedCopy(std::span<const float> values, const std::vector<bool>& filled) {
    std::vector<float> copy(values.begin(), values.end());
    maskFilled(copy, filled);
    return copy;
}

// The listing block of a series whose filled years show NaN in every column.
void formatFilledBlock(std::string& out, const formats::SeriesName& name, long long firstYear,
                       const numeric::SeriesFit& fit, const std::vector<bool>& filled) {
    output::formatListingBlock(out, name, firstYear, maskedCopy(fit.series, filled), maskedCopy(fit.spline, filled),
                               maskedCopy(fit.residual, filled));
}

// What a series yields for the outputs, made on the worker threads.
struct SeriesYield {
    std::string listing;  // its listing block
    std::vector<float> index;  // its index, one value a year
    base::Result<std::string> picture = std::string();  // the bytes of its picture, or why there is none
};

// The files of one input, opened.
class SetFiles {
public:
    // Opens every file `input` names, in the order of the kinds; the first
    // refusal or failure ends the opening.
    base::Status open(const InputPlan& input, output::OutputClaims& claims) {
        for (int k = 0; k < output::outputKinds; ++k) {
            const std::optional<std::string>& path = input.files[k];
            if (!path) continue;
            if (base::Status allowed = claims.check(*path, input.input); !allowed.ok()) return allowed;
            std::optional<output::OutputFile>& file = files_[k];
            if (*path == output::standardStream) {
                file.emplace(STDOUT_FILENO, "standard output");
                continue;
            }
            file.emplace(*path, output::Replace::whenComplete);
            if (!file->opened().ok()) return file->opened();
            claims.claim(*path, input.input);
        }
        return base::Status::success();
    }

    // The pictures of the usable series of `set` and of its chronology,
    // each checked by `claims` and claimed.
    base::Status claimPictures(const formats::SeriesSet& set, const SetPlan& plan, const RunSettings& settings,
                               const InputPlan& input, output::OutputClaims& claims) {
        if (!settings.pictures) return base::Status::success();
        std::vector<std::string> names;
        for (std::size_t i : plan.usable) names.push_back(set.series[i].name);
        const std::string_view extension = plot::plotFormatExtension(*settings.pictures);
        for (const std::string& stem : output::seriesStems(names))
            pictures_.push_back(
                output::outputPath(*input.pictureDir, input.base, output::seriesPictureSuffix(stem, extension)));
        std::vector<std::string> all = pictures_;
        if (settings.chronology)
            all.push_back(
                output::outputPath(*input.pictureDir, input.base, output::chronologyPictureSuffix(extension)));
        for (const std::string& path : all) {
            if (base::Status allowed = claims.check(path, input.input); !allowed.ok()) return allowed;
            claims.claim(path, input.input);
        }
        return base::Status::success();
    }

    // The pictures' paths, one per usable series.
    const std::vector<std::string>& picturePaths() const { return pictures_; }

    // The open file of `kind`, or nullptr when none is written.
    output::OutputFile* operator[](output::OutputKind kind) {
        std::optional<output::OutputFile>& file = files_[static_cast<int>(kind)];
        return file ? &*file : nullptr;
    }

private:
    std::optional<output::OutputFile> files_[output::outputKinds];
    std::vector<std::string> pictures_;
};

// One set while it is detrended and delivered.
class SetRun {
public:
    SetRun(formats::SeriesSet& set, const SetPlan& plan, const RunSettings& settings, const InputPlan& input,
           SetFiles& files, std::vector<std::unique_ptr<output::OutputFile>>& pending, output::Messages& messages,
           const std::function<void()>& seriesDone)
        : set_(set),
          plan_(plan),
          settings_(settings),
          input_(input),
          label_(input.label),
          messages_(messages),
          seriesDone_(seriesDone),
          listing_(files[output::OutputKind::listing]),
          csv_(files[output::OutputKind::indices]),
          chronologyFile_(files[output::OutputKind::chronology]),
          residualFile_(files[output::OutputKind::residualChronology]),
          statisticsFile_(files[output::OutputKind::statistics]),
          runningFile_(files[output::OutputKind::running]),
          fitsFile_(files[output::OutputKind::fits]),
          listingToTerminal_(listing_ && listing_->isTerminal()),
          method_(
              numeric::makeDetrending(settings.method, settings.methodOptions, settings.filterLength, settings.index)),
          picturePaths_(files.picturePaths()),
          crnSite_(crnSite(settings, set, input.base)),
          pending_(pending) {}

    SetResult run() {
        OrderedWork work;
        work.count = static_cast<int>(plan_.usable.size());
        work.workers = settings_.jobs;
        work.method = method_.get();
        work.cutoff = [&](int index) { return plan_.cutoffs[static_cast<std::size_t>(index)]; };
        work.values = [&](int index) { return std::span<const double>(series(index).values); };
        // The listing block, the index and the picture are made on the
        // worker threads.
        work.reserveSlots = [&](std::size_t slots) { yields_.resize(slots); };
        work.prepare = [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
            prepare(index, fit, yields_[slot]);
        };
        const base::Status pipeline =
            detrendInOrder(work, [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
                return deliver(index, fit, yields_[slot]);
            });
        if (!pipeline.ok() || !written_.ok()) return {fail(pipeline.ok() ? written_ : pipeline), false, {}, {}};
        if (!finishOutputs()) return {};
        const int skipped = plan_.skipped + noSpline_;
        const int done = static_cast<int>(plan_.usable.size()) - noSpline_;
        SetResult result;
        if (done == 0) return nothingDetrended(skipped);
        const SiteOutputs site{settings_, input_,   chronologyFile_, residualFile_,
                               crnSite_,  pending_, siteOf(set_),    fileTrees_};
        const bool siteWritten = buildSite(indices_, site, messages_, result.statistics);
        for (const std::string& f : plotFailures_) messages_.error(std::string(label_) + ": " + f);
        messages_.note(std::string(label_) + ": " + std::to_string(done) + " series detrended, " +
                       std::to_string(skipped) + " skipped" + statisticsSummary(result.statistics));
        noteFallbacks(done);
        const bool statisticsWritten = writeStatisticsFile(result.statistics) && writeFitsFile();
        result.fits = std::move(fitRows_);
        // The input's outputs replace the earlier ones together, once every
        // one of them is complete.
        result.replaced = siteWritten && statisticsWritten && picturesWritten_ && commitOutputs();
        result.complete = skipped == 0 && plotFailures_.empty() && result.replaced;
        return result;
    }

private:
    formats::Series& series(int index) { return set_.series[plan_.usable[static_cast<std::size_t>(index)]]; }

    // The years of usable series `index` filled by --gaps fill, or nullptr.
    const std::vector<bool>* filledOf(int index) const {
        const auto i = static_cast<std::size_t>(index);
        return i < plan_.filled.size() && !plan_.filled[i].empty() ? &plan_.filled[i] : nullptr;
    }

    // The indices of every series are needed after the last one: for the
    // CSV, laid out by year, the chronology and the statistics.
    bool keepIndices() const { return csv_ || settings_.chronology || settings_.statistics || settings_.running; }

    bool fail(const base::Status& status) {
        messages_.error(std::string(label_) + ": " + status.why());
        return false;
    }

    void prepare(int index, const numeric::SeriesFit& fit, SeriesYield& yield) {
        yield.listing.clear();
        yield.picture = std::string();
        if (!hasSpline(fit)) return;
        const formats::Series& s = series(index);
        if (listing_) {
            // On a terminal the names cannot drive it, as in messages.
            const formats::SeriesName name =
                formats::SeriesName::from(listingToTerminal_ ? base::escapedControls(s.name) : s.name);
            if (const std::vector<bool>* filled = filledOf(index))
                formatFilledBlock(yield.listing, name, s.firstYear, fit, *filled);
            else
                output::formatListingBlock(yield.listing, name, s.firstYear, fit.series, fit.spline, fit.residual);
        }
        if (keepIndices() || settings_.pictures) yield.index.assign(fit.index.begin(), fit.index.end());
        if (const std::vector<bool>* filled = filledOf(index)) maskFilled(yield.index, *filled);
        if (settings_.pictures) yield.picture = drawPicture(s, fit, yield.index, filledOf(index));
    }

    // The filled years, when `filled` names some, are left out of the
    // picture's series and spline as of its index.
    base::Result<std::string> drawPicture(const formats::Series& s, const numeric::SeriesFit& fit,
                                          std::span<const float> index, const std::vector<bool>* filled) const {
        constexpr long long latestYear = 1000000000;  // the pictures' years are int
        if (s.firstYear < -latestYear || s.firstYear > latestYear)
            return base::failure("its years lie beyond what a picture can show");
        const FitLabels fitted = fitLabels(fit, settings_.method);
        const std::string title = pictureTitle(input_, plot::plotFileTitle(s.name, fitted.title));
        plot::SeriesPicture picture;
        picture.firstYear = static_cast<int>(s.firstYear);
        std::vector<float> series, spline;
        if (filled) series = maskedCopy(fit.series, *filled), spline = maskedCopy(fit.spline, *filled);
        picture.series = filled ? std::span<const float>(series) : std::span<const float>(fit.series);
        picture.spline = filled ? std::span<const float>(spline) : std::span<const float>(fit.spline);
        picture.index = index;
        picture.title = title;
        picture.valueLabel = valueLabel(set_);
        picture.indexKind = settings_.index;
        picture.curveLabel = fitted.legend;
        return plot::renderSeriesPicture(picture, *settings_.pictures);
    }

    bool deliver(int index, const numeric::SeriesFit& fit, SeriesYield& yield) {
        formats::Series& s = series(index);
        // The values are not needed after their delivery.
        struct Release {
            std::vector<double>& values;
            ~Release() { std::vector<double>().swap(values); }
        } release{s.values};
        if (seriesDone_) seriesDone_();
        const int cutoff = plan_.cutoffs[static_cast<std::size_t>(index)];
        if (!hasSpline(fit)) {
            messages_.error(std::string(label_) + ": series " + quotedName(s.name) +
                            " skipped: no spline: " + noSplineReason(cutoff, s.values, fit));
            ++noSpline_;
            return true;
        }
        if (listing_) {
            written_ = listing_->write(yield.listing);
            if (!written_.ok()) return false;
        }
        if (csv_) warnRatio(s, fit);
        if (keepIndices()) {
            indices_.push_back({s.name, s.firstYear, yield.index});
            // A tree is the site's and the tree's number together.
            fileTrees_.push_back(s.tree.empty() ? std::string() : s.site + "\n" + s.tree);
        }
        recordFit(s, fit);
        if (settings_.pictures) writePicture(index, yield);
        return true;
    }

    // The fit's row of the fits table, and the count of fallbacks by the
    // method the series ended with.
    void recordFit(const formats::Series& s, const numeric::SeriesFit& fit) {
        if (fit.used != settings_.method) ++fallbacks_[numeric::methodName(fit.used)];
        if (!settings_.fits) return;
        const long long last = s.firstYear + static_cast<long long>(s.values.size()) - 1;
        fitRows_.push_back({s.name, s.firstYear, last, numeric::methodName(settings_.method),
                            numeric::methodName(fit.used), fit.fallback, fit.parameters});
    }

    // "LABEL: N of M series fell back: K to line, J to mean".
    void noteFallbacks(int done) {
        int total = 0;
        std::string which;
        for (const auto& [method, count] : fallbacks_) {
            total += count;
            which += (which.empty() ? "" : ", ") + std::to_string(count) + " to " + std::string(method);
        }
        if (total > 0)
            messages_.note(std::string(label_) + ": " + std::to_string(total) + " of " + std::to_string(done) +
                           " series fell back: " + which);
    }

    // The ratio index has no meaning where the spline is not positive.
    void warnRatio(const formats::Series& s, const numeric::SeriesFit& fit) {
        if (settings_.index != numeric::IndexKind::ratio) return;
        const std::size_t years = numeric::yearsWithoutRatio(fit);
        if (years > 0)
            messages_.note(std::string(label_) + ": series " + quotedName(s.name) + ": the spline is not positive in " +
                           std::to_string(years) + (years == 1 ? " year" : " years") + "; the ratio index is NA there");
    }

    // The picture goes to a temporary, renamed into place once complete.
    void writePicture(int index, const SeriesYield& yield) {
        const std::string& path = picturePaths_[static_cast<std::size_t>(index)];
        if (!yield.picture.ok())
            return plotFailures_.push_back("cannot draw plot file " + base::quoted(path) + ": " + yield.picture.why());
        base::Result<std::unique_ptr<output::OutputFile>> written =
            output::writeFinished(path, yield.picture.value(), "plot file");
        if (!written.ok()) {
            picturesWritten_ = false;
            return plotFailures_.push_back(written.why());
        }
        pending_.push_back(std::move(written).value());
    }

    // Nothing of the input was detrended: its earlier outputs stay as they
    // were, and the summary says so.
    SetResult nothingDetrended(int skipped) {
        SetResult result;
        if (settings_.statistics || settings_.running) result.statistics = SiteSummary{};
        std::string summary = std::string(label_) + ": 0 series detrended, " + std::to_string(skipped) + " skipped";
        if (!pending_.empty() || std::any_of(std::begin(input_.files), std::end(input_.files),
                                             [](const auto& f) { return f && *f != output::standardStream; }))
            summary += "; its earlier output files are left as they were";
        messages_.note(summary);
        result.complete = skipped == 0 && !settings_.chronology;
        return result;
    }

    // The statistics row of the input, into its own statistics file.
    bool writeStatisticsFile(const std::optional<SiteSummary>& summary) {
        if (!summary) return true;
        base::Status written = base::Status::success();
        if (statisticsFile_) {
            const std::string row = output::statisticsCsvRow(input_.input, summary->series, summary->statistics,
                                                             settings_.cutoff, numeric::indexName(settings_.index));
            written = statisticsFile_->write(output::statisticsCsvHeader() + row);
            if (written.ok()) written = statisticsFile_->finish();
        }
        if (written.ok() && runningFile_) {
            written = runningFile_->write(output::runningCsvHeader() +
                                          output::runningCsvRows(input_.input, summary->running));
            if (written.ok()) written = runningFile_->finish();
        }
        return written.ok() || fail(written);
    }

    // The fits of the input, into its own fits file.
    bool writeFitsFile() {
        if (!fitsFile_) return true;
        base::Status written = fitsFile_->write(output::fitsCsvHeader() + output::fitsCsvRows(input_.input, fitRows_));
        if (written.ok()) written = fitsFile_->finish();
        return written.ok() || fail(written);
    }

    // Renames every finished output over its target, in order.
    bool commitOutputs() {
        bool committed = true;
        for (output::OutputFile* file :
             {listing_, csv_, chronologyFile_, residualFile_, statisticsFile_, runningFile_, fitsFile_}) {
            if (file == nullptr) continue;
            if (const base::Status done = file->commit(); !done.ok()) committed = fail(done);
        }
        for (const std::unique_ptr<output::OutputFile>& file : pending_)
            if (const base::Status done = file->commit(); !done.ok()) committed = fail(done);
        return committed;
    }

    // Closes the listing and writes the CSV, which needs every series.
    bool finishOutputs() {
        if (listing_) {
            if (const base::Status finished = listing_->finish(); !finished.ok()) return fail(finished);
        }
        if (csv_) {
            base::Status csv =
                output::writeWideCsv(indices_, [&](std::string_view piece) { return csv_->write(piece); });
            if (csv.ok()) csv = csv_->finish();
            if (!csv.ok()) return fail(csv);
        }
        return true;
    }

    formats::SeriesSet& set_;
    const SetPlan& plan_;
    const RunSettings& settings_;
    const InputPlan& input_;
    std::string_view label_;
    output::Messages& messages_;
    const std::function<void()>& seriesDone_;
    output::OutputFile* const listing_;
    output::OutputFile* const csv_;
    output::OutputFile* const chronologyFile_;
    output::OutputFile* const residualFile_;
    output::OutputFile* const statisticsFile_;
    output::OutputFile* const runningFile_;
    output::OutputFile* const fitsFile_;
    const bool listingToTerminal_;
    const std::unique_ptr<numeric::Detrending> method_;
    const std::vector<std::string>& picturePaths_;  // one per usable series
    const SiteHeader crnSite_;
    std::vector<SeriesYield> yields_;  // one per slot of the pipeline
    std::vector<output::IndexColumn> indices_;
    std::vector<std::string> fileTrees_;  // the file's tree of each index column
    std::vector<std::string> plotFailures_;
    std::vector<output::FitRow> fitRows_;
    std::map<std::string_view, int> fallbacks_;  // series by the method they fell back to
    // The pictures and the caller's files, finished, replacing their targets
    // with the other outputs.
    std::vector<std::unique_ptr<output::OutputFile>>& pending_;
    base::Status written_ = base::Status::success();
    bool picturesWritten_ = true;  // every picture drawn was written
    int noSpline_ = 0;
};

}  // namespace

namespace {

// Whether --filter-length asks for a filter longer than the series' cutoff.
bool filterPastCutoff(const numeric::FilterLength& filter, const formats::Series& s, int cutoff) {
    const long long n = static_cast<long long>(s.values.size());
    switch (filter.rule) {
        case numeric::FilterLength::Rule::years: return filter.value > cutoff;
        case numeric::FilterLength::Rule::percent: return n * filter.value / 100 > cutoff;
        case numeric::FilterLength::Rule::cutoff:
        case numeric::FilterLength::Rule::automatic: break;
    }
    return false;
}

}  // namespace

SetPlan planSet(const formats::SeriesSet& set, const Cutoff& cutoff, const RunSettings& settings,
                std::string_view label, output::Messages& messages) {
    SetPlan plan;
    int longFilters = 0, cutFilters = 0;
    // Only the splines have a cutoff; the other curves take any length.
    const bool splines = settings.method == numeric::Method::burgSpline || settings.method == numeric::Method::spline;
    for (std::size_t i = 0; i < set.series.size(); ++i) {
        const formats::Series& s = set.series[i];
        const int seriesCutoff = splines ? cutoff.forLength(static_cast<long long>(s.values.size())) : 0;
        if (const std::optional<std::string> reason = skipReason(s, seriesCutoff)) {
            messages.error(std::string(label) + ": series " + quotedName(s.name) + " skipped: " + *reason);
            ++plan.skipped;
            continue;
        }
        plan.usable.push_back(i);
        plan.cutoffs.push_back(seriesCutoff);
        if (3LL * seriesCutoff > static_cast<long long>(s.values.size())) ++longFilters;
        if (settings.method == numeric::Method::burgSpline && filterPastCutoff(settings.filterLength, s, seriesCutoff))
            ++cutFilters;
    }
    if (cutFilters > 0)
        messages.note(std::string(label) + ": " + std::to_string(cutFilters) +
                      (cutFilters == 1 ? " series' prediction filter is" : " series' prediction filters are") +
                      " cut to the cutoff, the longest a filter may be");
    const bool filterIsCutoff = settings.method == numeric::Method::burgSpline &&
                                settings.filterLength.rule == numeric::FilterLength::Rule::cutoff;
    if (filterIsCutoff && cutoff.percent > 0 && longFilters > 0)
        messages.note(std::string(label) + ": " + std::to_string(longFilters) +
                      (longFilters == 1 ? " series has a prediction filter (and an extension at each end) longer "
                                          "than a third of its length"
                                        : " series have a prediction filter (and an extension at each end) longer "
                                          "than a third of their length") +
                      " at " + std::to_string(cutoff.percent) +
                      "%; the spline's ends may follow the extension more than the data");
    return plan;
}

SetResult detrendSet(formats::SeriesSet& set, const SetPlan& plan, const RunSettings& settings, const InputPlan& input,
                     output::OutputClaims& claims, output::Messages& messages, const std::function<void()>& seriesDone,
                     std::vector<std::unique_ptr<output::OutputFile>>* alongside) {
    // The outputs are opened only now that their input was read.
    SetFiles files;
    base::Status opened = files.open(input, claims);
    if (opened.ok()) opened = files.claimPictures(set, plan, settings, input, claims);
    const std::optional<std::string>& crn = input.file(output::OutputKind::chronology);
    if (opened.ok() && crn && settings.chronology == output::ChronologyFormat::crn)
        opened = claims.claimSiteCode(*crn, crnSite(settings, set, input.base).code, input.input);
    if (!opened.ok()) {
        messages.error(input.label + ": " + opened.why());
        return {};
    }
    std::vector<std::unique_ptr<output::OutputFile>> own;
    return SetRun(set, plan, settings, input, files, alongside ? *alongside : own, messages, seriesDone).run();
}

}  // namespace detrend::pipeline
