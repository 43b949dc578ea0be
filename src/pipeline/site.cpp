#include "pipeline/site.hpp"

#include "formats/fields.hpp"
#include "output/chronology_files.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "plot/files/picture.hpp"

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
bool writeChronology(const numeric::Chronology& chronology, const ChronologyFile& file, std::string_view label,
                     output::Messages& messages) {
    const auto fail = [&](const std::string& why) {
        messages.error(std::string(label) + ": " + why);
        return false;
    };
    if (chronology.depth.empty()) return fail("no series detrended: no chronology is written");
    std::string text;
    if (file.crn) {
        output::TextResult crn = output::tucsonChronology(file.site, chronology);
        if (!crn.ok()) return fail("the chronology does not fit the .crn layout: " + crn.error);
        text = std::move(crn.text);
    } else {
        text = output::chronologyCsv(chronology);
    }
    base::Status written = file.file->write(text);
    if (written.ok()) written = file.file->close();
    return written.ok() || fail(written.why());
}

// The chronology's picture, PLOTDIR/BASE.chron.EXT.
bool drawChronology(const numeric::Chronology& chronology, std::size_t series, const SetOutputs& outputs,
                    std::string_view label, output::Messages& messages) {
    const PlotFiles& plots = *outputs.plots;
    const std::string path =
        plots.dir + "/" + plots.base + ".chron." + std::string(plot::plotFormatExtension(plots.format));
    const std::string title = outputs.chronology->site + " - chronology of " + std::to_string(series) + " series";
    plot::ChronologyPicture picture;
    picture.firstYear = chronology.first;
    picture.values = chronology.standard;
    picture.depths = chronology.depth;
    picture.title = title;
    picture.indexKind = outputs.index;
    const base::Result<std::string> rendered = plot::renderChronologyPicture(picture, plots.format);
    const base::Status written =
        rendered.ok() ? output::writeWholeFile(path, *rendered, "plot file")
                      : base::Status::failure("cannot draw plot file " + base::quoted(path) + ": " + rendered.why());
    if (!written.ok()) messages.error(std::string(label) + ": " + written.why());
    return written.ok();
}

}  // namespace

bool buildSite(const std::vector<output::IndexColumn>& indices, const SetOutputs& outputs, std::string_view label,
               output::Messages& messages, std::optional<numeric::SignalStatistics>& statistics) {
    const IndexSet set = widened(indices);
    std::optional<numeric::Chronology> chronology;
    onWorkers(outputs.jobs, [&] {
        if (outputs.chronology) chronology = numeric::buildChronology(set.series, outputs.chronology->mean);
        if (outputs.statistics) statistics = numeric::signalStatistics(set.series, *outputs.statistics);
    });
    if (!chronology) return true;
    for (std::size_t s : chronology->leftOutOfResidual)
        messages.note(std::string(label) + ": series " + base::quoted(indices[s].name) +
                      ": its index has no value inside it (a spline not positive there); it is left out of the "
                      "residual chronology");
    bool complete = true;
    if (outputs.chronology->file) complete = writeChronology(*chronology, *outputs.chronology, label, messages);
    if (outputs.plots && !chronology->depth.empty())
        complete = drawChronology(*chronology, indices.size(), outputs, label, messages) && complete;
    return complete;
}

}  // namespace detrend::pipeline
