#include "cli/run_plan.hpp"

#include <algorithm>

#include "output/naming.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::cli {
namespace {

using output::OutputKind;

// The cutoff as the statistics table records it: "32" or "67%".
std::string cutoffText(const pipeline::Cutoff& cutoff) {
    return cutoff.years > 0 ? std::to_string(cutoff.years) : std::to_string(cutoff.percent) + "%";
}

pipeline::RunSettings settingsOf(const Options& o) {
    pipeline::RunSettings settings;
    settings.method = o.method;
    settings.methodOptions = o.methodOptions;
    settings.filterLength = o.filterLength;
    settings.fits = o.fits.has_value();
    settings.index = o.index;
    if (o.plotDir) settings.pictures = o.plotFormat;
    if (o.chronology) settings.chronology = o.chronologyFormat;
    settings.chronologyMean = o.chronologyMean;
    if (o.statistics || o.running) settings.statistics = o.correlation;
    settings.zeros = o.zeros;
    settings.treeIds = o.treeIds;
    settings.treeTable = o.trees;
    if (o.running) settings.running = o.window;
    settings.chronologyCut = o.chronologyCut;
    settings.site = o.site;
    settings.cutoff = cutoffText(o.cutoff);
    settings.gaps = o.gaps;
    settings.jobs = o.jobs;
    settings.detrends = o.detrends();
    if (o.xdate) settings.crossdating = o.crossdating;
    settings.crossdatingPicture = o.plotFormat;
    settings.seriesFormat = o.seriesFormat.value_or(output::SeriesFormat::tucson);
    return settings;
}

// The crossdating files of an input with base name `base`: with -d in DIR,
// else named after the report's file; the picture in the plot directory
// when there is one, else beside the report.
pipeline::CrossdatingFiles crossdatingFilesOf(const Options& o, const std::string& base) {
    pipeline::CrossdatingFiles files;
    const std::string_view extension = plot::plotFormatExtension(o.plotFormat);
    const auto inDirectory = [&](std::string_view suffix) { return output::outputPath(*o.outputDir, base, suffix); };
    if (o.xdate) {
        const std::string report = o.xdate->perInput() ? inDirectory(output::crossdatingReportSuffix) : o.xdate->file;
        const output::CrossdatingNames names = output::crossdatingNames(report, extension);
        files.report = report;
        files.overall = names.overall;
        files.segments = names.segments;
        files.lags = names.lags;
        files.series = o.xdate->perInput() ? inDirectory(output::seriesTableSuffix) : names.series;
        files.picture =
            o.plotDir ? output::outputPath(*o.plotDir, base, "-xdate." + std::string(extension)) : names.picture;
    }
    if (o.seriesStats)
        files.series = o.seriesStats->perInput() ? inDirectory(output::seriesTableSuffix) : o.seriesStats->file;
    return files;
}

// Where output `kind` of an input with base name `base` goes, if anywhere.
std::optional<std::string> fileOf(OutputKind kind, const Options& o, const std::string& base) {
    const auto inDirectory = [&] {
        return output::outputPath(*o.outputDir, base, output::outputSuffix(kind, o.chronologyFormat));
    };
    if (!o.detrends()) return std::nullopt;
    switch (kind) {
        case OutputKind::listing:
            if (!o.detrends()) return std::nullopt;
            if (o.outputDir) return inDirectory();
            return o.listingToStandardOutput() ? std::optional<std::string>(output::standardStream) : o.output;
        case OutputKind::indices:
            if (!o.detrends()) return std::nullopt;
            return o.outputDir ? inDirectory() : o.csv;
        case OutputKind::chronology:
            if (!o.chronology) return std::nullopt;
            return o.chronology->perInput() ? inDirectory() : o.chronology->file;
        case OutputKind::residualChronology:
            // A .crn holds one chronology: the residual one has its own.
            if (!o.chronology || o.chronologyFormat != output::ChronologyFormat::crn) return std::nullopt;
            if (!o.chronology->perInput() && o.chronology->file == output::standardStream) return std::nullopt;
            return o.chronology->perInput() ? inDirectory() : output::residualCrnPath(o.chronology->file);
        case OutputKind::statistics:
            // A statistics file of all inputs is the run's, not the input's.
            if (!o.statistics || !o.statistics->perInput()) return std::nullopt;
            return inDirectory();
        case OutputKind::running:
            if (!o.running || !o.running->perInput()) return std::nullopt;
            return inDirectory();
        case OutputKind::fits:
            if (!o.fits || !o.fits->perInput()) return std::nullopt;
            return inDirectory();
    }
    return std::nullopt;
}

}  // namespace

pipeline::RunPlan planRun(const Options& o) {
    pipeline::RunPlan plan;
    plan.settings = settingsOf(o);
    if (o.outputDir) plan.directories.emplace_back(*o.outputDir, "output directory");
    if (o.plotDir) plan.directories.emplace_back(*o.plotDir, "plot directory");
    // The directories of the files named, made like -d's.
    for (const std::optional<std::string>& file :
         {o.output, o.csv, o.chronology ? std::optional(o.chronology->file) : std::nullopt,
          o.statistics ? std::optional(o.statistics->file) : std::nullopt,
          o.running ? std::optional(o.running->file) : std::nullopt,
          o.fits ? std::optional(o.fits->file) : std::nullopt, o.xdate ? std::optional(o.xdate->file) : std::nullopt,
          o.seriesStats ? std::optional(o.seriesStats->file) : std::nullopt,
          o.writeSeries ? std::optional(o.writeSeries->file) : std::nullopt}) {
        if (!file || file->empty() || *file == output::standardStream) continue;
        const std::size_t slash = file->find_last_of('/');
        if (slash == std::string::npos || slash == 0) continue;
        const std::pair<std::string, std::string> directory{file->substr(0, slash), "output directory"};
        if (std::find(plan.directories.begin(), plan.directories.end(), directory) == plan.directories.end())
            plan.directories.push_back(directory);
    }
    for (const std::string& input : o.inputs) {
        pipeline::InputPlan& in = plan.inputs.emplace_back();
        in.input = input;
        in.label = output::inputLabel(input);
        in.base = output::baseName(input);
        for (int k = 0; k < output::outputKinds; ++k) in.files[k] = fileOf(static_cast<OutputKind>(k), o, in.base);
        in.pictureDir = o.plotDir;
        in.crossdating = crossdatingFilesOf(o, in.base);
        if (o.writeSeries)
            in.seriesFile =
                o.writeSeries->perInput()
                    ? output::outputPath(*o.outputDir, in.base, output::seriesSuffix(plan.settings.seriesFormat))
                    : o.writeSeries->file;
    }
    if (o.statistics && !o.statistics->perInput()) plan.statistics = o.statistics->file;
    if (o.running && !o.running->perInput()) plan.running = o.running->file;
    if (o.fits && !o.fits->perInput()) plan.fits = o.fits->file;
    return plan;
}

}  // namespace detrend::cli
