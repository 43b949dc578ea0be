#include "pipeline/site.hpp"

#include <cmath>
#include <map>

#include "numeric/subsample_signal.hpp"
#include "numeric/tree_ids.hpp"

#include "base/text.hpp"
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

// The years a chronology cut keeps, with the years it cuts named in a note.
std::vector<char> yearsKept(const numeric::Chronology& chronology, const numeric::SubsampleSignal& signal, double rbar,
                            const ChronologyCut& cut, const std::string& label, output::Messages& messages) {
    std::vector<char> keep(chronology.depth.size(), 1);
    std::string cutYears;
    for (std::size_t y = 0; y < keep.size(); ++y) {
        double measure = static_cast<double>(chronology.depth[y]);
        if (cut.by != ChronologyCut::By::depth) {
            const std::size_t at = static_cast<std::size_t>(chronology.first + static_cast<long>(y) - signal.first);
            const double trees = at < signal.trees.size() ? signal.trees[at] : 0.0;
            measure = cut.by == ChronologyCut::By::sss ? (at < signal.sss.size() ? signal.sss[at] : std::nan(""))
                                                       : trees * rbar / (1.0 + (trees - 1.0) * rbar);
        }
        keep[y] = measure >= cut.threshold;  // NaN never passes
    }
    for (std::size_t y = 0; y < keep.size();) {
        if (keep[y]) {
            ++y;
            continue;
        }
        std::size_t end = y;
        while (end < keep.size() && !keep[end]) ++end;
        const long first = chronology.first + static_cast<long>(y),
                   last = chronology.first + static_cast<long>(end) - 1;
        cutYears +=
            (cutYears.empty() ? "" : ", ") + (first == last ? std::to_string(first) : base::yearRange(first, last));
        y = end;
    }
    static constexpr const char* names[] = {"EPS", "SSS", "sample depth"};
    if (!cutYears.empty())
        messages.note(label + ": the chronology is cut where its " + names[static_cast<int>(cut.by)] + " is below " +
                      base::shortestNumber(cut.threshold) + ": " + cutYears);
    return keep;
}

// The chronology's file: its text, written through the output file; on any
// failure the file is not written.
bool writeChronology(const numeric::Chronology& chronology, std::span<const double> sss, const std::vector<char>& keep,
                     const SiteOutputs& outputs, output::Messages& messages) {
    const auto fail = [&](const std::string& why) {
        messages.error(outputs.input.label + ": " + why);
        return false;
    };
    std::string text;
    if (outputs.settings.chronology == output::ChronologyFormat::crn) {
        base::Result<std::string> crn = output::tucsonChronology(outputs.input.base, chronology, keep);
        if (!crn.ok()) return fail("the chronology does not fit the .crn layout: " + crn.why());
        text = std::move(crn).value();
    } else {
        text = output::chronologyCsv(chronology, sss, keep);
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
    const base::Result<std::string> rendered = plot::renderChronologyPicture(picture, format);
    if (!rendered.ok()) {
        messages.error(outputs.input.label + ": cannot draw plot file " + base::quoted(path) + ": " + rendered.why());
        return false;
    }
    base::Result<std::unique_ptr<output::OutputFile>> written =
        output::writeFinished(path, rendered.value(), "plot file");
    if (!written.ok()) {
        messages.error(outputs.input.label + ": " + written.why());
        return false;
    }
    outputs.pictures.push_back(std::move(written).value());
    return true;
}

// Trees numbered by their first appearance in the table.
std::vector<std::size_t> treesFromTable(const std::vector<std::string>& names, const RunSettings& settings,
                                        const std::string& label, output::Messages& messages, bool noted) {
    std::map<std::string, std::size_t> numbers;
    std::vector<std::size_t> trees;
    std::size_t missing = 0;
    for (const std::string& name : names) {
        const auto it = settings.treeTable.find(name);
        // A series the table does not name is a tree of its own.
        const std::string tree = it == settings.treeTable.end() ? "\n" + name : it->second.tree;
        if (it == settings.treeTable.end()) ++missing;
        trees.push_back(numbers.emplace(tree, numbers.size()).first->second);
    }
    if (missing > 0 && noted)
        messages.note(label + ": " + std::to_string(missing) + " of " + std::to_string(names.size()) +
                      " series are not in the table of trees; each is taken as a tree of its own");
    return trees;
}

}  // namespace

std::vector<std::size_t> treesOf(const std::vector<std::string>& names, const RunSettings& settings,
                                 const std::string& label, output::Messages& messages, bool noted) {
    switch (settings.treeIds) {
        case TreeIdSource::none: return {};
        case TreeIdSource::table: return treesFromTable(names, settings, label, messages, noted);
        case TreeIdSource::automatic: break;
    }
    const numeric::TreeIds ids = numeric::treeIdsFromNames(names);
    if (ids.split) return ids.tree;
    if (noted && names.size() > 1)
        messages.note(label +
                      ": the series names do not split into site, tree and core alike; each series is "
                      "taken as a tree of its own (--ids FILE names the trees)");
    return {};
}

bool buildSite(const std::vector<output::IndexColumn>& indices, const SiteOutputs& outputs, output::Messages& messages,
               std::optional<SiteSummary>& summary) {
    const RunSettings& settings = outputs.settings;
    const IndexSet set = widened(indices);
    std::vector<std::string> names;
    for (const output::IndexColumn& column : indices) names.push_back(column.name);
    const bool statistics = settings.statistics || settings.running;
    const std::vector<std::size_t> trees = treesOf(names, settings, outputs.input.label, messages, statistics);
    const numeric::StatisticsOptions options{settings.statistics.value_or(numeric::CorrelationMethod::spearman),
                                             settings.zeros};
    std::optional<numeric::Chronology> chronology;
    SiteSummary site;
    site.series = indices.size();
    onWorkers(settings.jobs, [&] {
        if (settings.chronology) chronology = numeric::buildChronology(set.series, settings.chronologyMean);
        if (statistics || settings.chronology) site.statistics = numeric::siteStatistics(set.series, trees, options);
        if (settings.running) site.running = numeric::runningStatistics(set.series, trees, options, *settings.running);
    });
    if (statistics) summary = site;
    if (!chronology) return true;
    for (std::size_t s : chronology->leftOutOfResidual)
        messages.note(outputs.input.label + ": series " + base::quoted(indices[s].name) +
                      ": its index has no value inside it (a spline not positive there, or years filled by --gaps "
                      "fill); it is left out of the residual chronology");
    // The subsample signal strength from rbar.eff as the field's tables give
    // it, to three decimals.
    const double rbar = std::round(site.statistics.rbarEffective * 1000.0) / 1000.0;
    const numeric::SubsampleSignal signal = numeric::subsampleSignalStrength(set.series, trees, rbar);
    std::vector<double> sss(chronology->depth.size(), std::nan(""));
    for (std::size_t y = 0; y < sss.size(); ++y) {
        const std::size_t at = static_cast<std::size_t>(chronology->first + static_cast<long>(y) - signal.first);
        if (at < signal.sss.size()) sss[y] = signal.sss[at];
    }
    const std::vector<char> keep = settings.chronologyCut
                                       ? yearsKept(*chronology, signal, site.statistics.rbarEffective,
                                                   *settings.chronologyCut, outputs.input.label, messages)
                                       : std::vector<char>{};
    bool complete = true;
    if (outputs.chronologyFile) complete = writeChronology(*chronology, sss, keep, outputs, messages);
    if (settings.pictures && !chronology->depth.empty())
        complete = drawChronology(*chronology, indices.size(), outputs, messages) && complete;
    return complete;
}

}  // namespace detrend::pipeline
