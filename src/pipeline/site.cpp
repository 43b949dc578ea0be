#include "pipeline/site.hpp"

#include "base/text.hpp"
#include "output/chronology_files.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "plot/picture.hpp"

namespace detrend::pipeline {
namespace {

// The indices in double precision, as the index CSV holds them.
struct IndexSet {
    std::vector<std::vector<double>> values;
    std::vector<numeric::IndexSeries> series;
};

IndexSet widened(const std::vector<output::IndexColumn>& indices) {
    IndexSet set;
    set.values.reserve(indices.size());
    for (const output::IndexColumn& column : indices) {
        set.values.emplace_back(column.values.begin(), column.values.end());
        set.series.push_back({static_cast<int>(column.firstYear), set.values.back()});
    }
    return set;
}

// The chronology's file: its text, written through the output file; on any
// failure the file is not written.
bool writeChronology(const numeric::Chronology& chronology, const SiteOutputs& outputs, output::Messages& messages) {
    const auto fail = [&](const std::string& why) {
        messages.error(outputs.input.label + ": " + why);
        return false;
    };
    if (chronology.depth.empty()) return fail("no series detrended: no chronology is written");
    std::string text;
    if (outputs.settings.chronology == output::ChronologyFormat::crn) {
        base::Result<std::string> crn = output::tucsonChronology(outputs.input.base, chronology);
        if (!crn.ok()) return fail("the chronology does not fit the .crn layout: " + crn.why());
        text = std::move(crn).value();
    } else {
        text = output::chronologyCsv(chronology);
    }
    base::Status written = outputs.chronologyFile->write(text);
    if (written.ok()) written = outputs.chronologyFile->finish();
    return written.ok() || fail(written.why());
}

// The chronology's picture, PLOTDIR/BASE-chron.EXT.
bool drawChronology(const numeric::Chronology& chronology, std::size_t series, const SiteOutputs& outputs,
                    output::Messages& messages) {
    const plot::PlotFormat format = *outputs.settings.pictures;
    const std::string path = output::outputPath(*outputs.input.pictureDir, outputs.input.base,
                                                output::chronologyPictureSuffix(plot::plotFormatExtension(format)));
    const std::string title = outputs.input.base + " - chronology of " + std::to_string(series) + " series";
    plot::ChronologyPicture picture;
    picture.firstYear = chronology.first;
    picture.values = chronology.standard;
    picture.depths = chronology.depth;
    picture.title = title;
    picture.indexKind = outputs.settings.index;
    const plot::RenderedPicture rendered = plot::renderChronologyPicture(picture, format);
    if (!rendered.error.empty()) {
        messages.error(outputs.input.label + ": cannot draw plot file " + base::quoted(path) + ": " + rendered.error);
        return false;
    }
    base::Result<std::unique_ptr<output::OutputFile>> written =
        output::writeFinished(path, rendered.bytes, "plot file");
    if (!written.ok()) {
        messages.error(outputs.input.label + ": " + written.why());
        return false;
    }
    outputs.pictures.push_back(std::move(written).value());
    return true;
}

}  // namespace

bool buildSite(const std::vector<output::IndexColumn>& indices, const SiteOutputs& outputs, output::Messages& messages,
               std::optional<numeric::SignalStatistics>& statistics) {
    const RunSettings& settings = outputs.settings;
    const IndexSet set = widened(indices);
    std::optional<numeric::Chronology> chronology;
    onWorkers(settings.jobs, [&] {
        if (settings.chronology) chronology = numeric::buildChronology(set.series, settings.chronologyMean);
        if (settings.statistics) statistics = numeric::signalStatistics(set.series, *settings.statistics);
    });
    if (!chronology) return true;
    for (std::size_t s : chronology->leftOutOfResidual)
        messages.note(outputs.input.label + ": series " + base::quoted(indices[s].name) +
                      ": its index has no value inside it (a spline not positive there); it is left out of the "
                      "residual chronology");
    bool complete = true;
    if (outputs.chronologyFile) complete = writeChronology(*chronology, outputs, messages);
    if (settings.pictures && !chronology->depth.empty())
        complete = drawChronology(*chronology, indices.size(), outputs, messages) && complete;
    return complete;
}

}  // namespace detrend::pipeline
