#include "pipeline/site.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "numeric/ars_chronology.hpp"
#include "numeric/subsample_signal.hpp"
#include "numeric/tree_ids.hpp"

#include "base/text.hpp"
#include "output/chronology_files.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "pipeline/pictures.hpp"
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
bool writeChronology(const numeric::Chronology& chronology, std::span<const double> sss, std::span<const double> ars,
                     const std::vector<char>& keep, const SiteOutputs& outputs, output::Messages& messages) {
    const auto fail = [&](const std::string& why) {
        messages.error(outputs.input.label + ": " + why);
        return false;
    };
    if (outputs.settings.chronology == output::ChronologyFormat::crn) {
        // One chronology a file: the standard one, and the residual one beside it.
        const long last = chronology.first + static_cast<long>(chronology.depth.size()) - 1;
        const SiteHeader& site = outputs.site;
        base::Result<std::string> header =
            output::crnHeaderLines(site.code, site.name, site.species, chronology.first, last);
        if (!header.ok()) return fail("the chronology's .crn header: " + header.why());
        for (const auto& [file, residual] : {std::pair{outputs.chronologyFile, false}, {outputs.residualFile, true}}) {
            if (file == nullptr) continue;
            base::Result<std::string> crn = output::tucsonChronology(site.code, chronology, keep, residual);
            if (!crn.ok()) return fail("the chronology does not fit the .crn layout: " + crn.why());
            base::Status written = file->write(*header + *crn);
            if (written.ok()) written = file->finish();
            if (!written.ok()) return fail(written.why());
        }
        return true;
    }
    const std::string text = output::chronologyCsv(chronology, sss, keep, ars);
    base::Status written = outputs.chronologyFile->write(text);
    if (written.ok()) written = outputs.chronologyFile->finish();
    return written.ok() || fail(written.why());
}

// The chronology's picture, PLOTDIR/BASE-chron.EXT, with the years `keep`
// leaves out shaded and the EPS of the running `windows`.
bool drawChronology(const numeric::Chronology& chronology, std::size_t series, const std::vector<char>& keep,
                    std::span<const numeric::RunningWindow> windows, const SiteOutputs& outputs,
                    output::Messages& messages) {
    const plot::PlotFormat format = *outputs.settings.pictures;
    const std::string path = output::outputPath(*outputs.input.pictureDir, outputs.input.base,
                                                output::chronologyPictureSuffix(plot::plotFormatExtension(format)));
    const ChronologyDrawing drawing(chronology, series, keep, windows, outputs);
    const base::Result<std::string> rendered = plot::renderChronologyPicture(drawing.picture(), format);
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

SiteHeader crnSite(const RunSettings& settings, const formats::SeriesSet& set, const std::string& base) {
    SiteHeader site = settings.site;
    if (site.code.empty()) site.code = set.siteCode.value_or(base.substr(0, 6));
    if (site.name.empty()) site.name = set.siteName.value_or("");
    if (site.species.empty()) site.species = set.species.value_or("");
    // A code of the file's header or name that the layout cannot hold.
    if (site.code.size() > 6) site.code.resize(6);
    for (char& c : site.code)
        if (c == ' ' || c == '\t') c = '_';
    if (site.code.empty()) site.code = "site";
    if (site.name.size() > 52) site.name.resize(52);
    if (site.species.size() > 4 || site.species.find_first_of(" \t") != std::string::npos) site.species.clear();
    return site;
}

std::vector<std::size_t> treesOf(const std::vector<std::string>& names, const RunSettings& settings,
                                 const std::string& label, output::Messages& messages, bool noted,
                                 const std::vector<std::string>& fileTrees) {
    switch (settings.treeIds) {
        case TreeIdSource::none: return {};
        case TreeIdSource::table: return treesFromTable(names, settings, label, messages, noted);
        case TreeIdSource::automatic: break;
    }
    // The file's own trees, numbered by their first appearance.
    if (!fileTrees.empty() && fileTrees.size() == names.size() &&
        std::none_of(fileTrees.begin(), fileTrees.end(), [](const std::string& t) { return t.empty(); })) {
        std::map<std::string, std::size_t> numbers;
        std::vector<std::size_t> trees;
        for (const std::string& tree : fileTrees) trees.push_back(numbers.emplace(tree, numbers.size()).first->second);
        return trees;
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
    const std::vector<std::size_t> trees =
        treesOf(names, settings, outputs.input.label, messages, statistics, outputs.fileTrees);
    const numeric::StatisticsOptions options{settings.statistics.value_or(numeric::CorrelationMethod::spearman),
                                             settings.zeros};
    std::optional<numeric::Chronology> chronology;
    numeric::ArsChronology ars;
    std::vector<numeric::RunningWindow> windows;
    SiteSummary site;
    site.series = indices.size();
    onWorkers(settings.jobs, [&] {
        if (settings.chronology) chronology = numeric::buildChronology(set.series, settings.chronologyMean);
        if (settings.chronology == output::ChronologyFormat::csv)
            ars = numeric::buildArsChronology(set.series, settings.chronologyMean);
        if (statistics || settings.chronology) site.statistics = numeric::siteStatistics(set.series, trees, options);
        if (settings.running) site.running = numeric::runningStatistics(set.series, trees, options, *settings.running);
        // The picture's running EPS, in windows of its own when the run has none.
        if (settings.pictures && settings.chronology && !settings.running)
            windows = numeric::runningStatistics(set.series, trees, options, pictureWindows);
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
    // The ars chronology on the years of the standard one.
    std::vector<double> arsColumn;
    if (!ars.ars.empty()) {
        arsColumn.assign(chronology->depth.size(), std::nan(""));
        for (std::size_t y = 0; y < arsColumn.size(); ++y) {
            const long at = chronology->first + static_cast<long>(y) - ars.first;
            if (at >= 0 && static_cast<std::size_t>(at) < ars.ars.size())
                arsColumn[y] = ars.ars[static_cast<std::size_t>(at)];
        }
    }
    if (outputs.chronologyFile) complete = writeChronology(*chronology, sss, arsColumn, keep, outputs, messages);
    if (settings.pictures && !chronology->depth.empty())
        complete = drawChronology(*chronology, indices.size(), keep, settings.running ? site.running : windows, outputs,
                                  messages) &&
                   complete;
    return complete;
}

}  // namespace detrend::pipeline
