// One plan of a batch run: what is computed, and every output of every
// input, named once before any work starts. The command line builds it from
// its options; the pipeline writes what it names.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/chronology.hpp"
#include "numeric/correlation.hpp"
#include "numeric/crossdating.hpp"
#include "numeric/curve_fit.hpp"
#include "numeric/detrending.hpp"
#include "numeric/running_statistics.hpp"
#include "numeric/signal_statistics.hpp"
#include "output/chronology_files.hpp"
#include "numeric/index.hpp"
#include "output/naming.hpp"
#include "pipeline/gaps.hpp"
#include "plot/files/plot_format.hpp"

namespace detrend::pipeline {

// How the series of a site are grouped into trees for its statistics.
enum class TreeIdSource {
    automatic,  // from the series' names when they split consistently, else one tree per series
    none,  // one tree per series
    table,  // from a table of series, tree and core
};

// The tree and core of a series, as a table names them.
struct TreeAndCore {
    std::string tree, core;
};

// Which years of the chronology are written: those where the expressed
// population signal, the subsample signal strength or the sample depth
// reaches the threshold.
struct ChronologyCut {
    enum class By { eps, sss, depth } by = By::eps;
    double threshold = 0.85;
};

// What the .crn header lines say of the site; an empty field is left out
// (the code then from the file's own header, else from its name).
struct SiteHeader {
    std::string code;  // 1 to 6 characters, no blank
    std::string name;  // at most 52 characters
    std::string species;  // at most 4 characters, no blank
};

// What is computed from every input's series.
struct RunSettings {
    numeric::Method method = numeric::Method::burgSpline;
    numeric::MethodOptions methodOptions;
    numeric::FilterLength filterLength;  // of burg-spline
    bool fits = false;  // the fit of each series is reported
    numeric::IndexKind index = numeric::IndexKind::ratio;
    std::optional<plot::PlotFormat> pictures;  // one picture per series, and of the chronology
    std::optional<output::ChronologyFormat> chronology;  // a chronology is built
    numeric::ChronologyMean chronologyMean = numeric::ChronologyMean::biweight;
    std::optional<numeric::CorrelationMethod> statistics;  // the signal statistics are computed
    numeric::Zeros zeros = numeric::Zeros::missing;  // absent rings in the correlations
    TreeIdSource treeIds = TreeIdSource::automatic;
    std::map<std::string, TreeAndCore> treeTable;  // by series name, for TreeIdSource::table
    std::optional<numeric::RunningOptions> running;  // the statistics in running windows
    std::optional<ChronologyCut> chronologyCut;
    SiteHeader site;  // --site, --site-name, --species
    std::string cutoff;  // as the statistics table records it: "32" or "67%"
    GapRule gaps = GapRule::skip;  // years without a value inside a series
    int jobs = 0;  // series worked on at once (0: one per core)
    bool detrends = true;  // false: the series are only read and crossdated
    std::optional<numeric::CrossdatingOptions> crossdating;  // the crossdating report is made
    plot::PlotFormat crossdatingPicture = plot::PlotFormat::png;  // the format of its picture
    output::SeriesFormat seriesFormat = output::SeriesFormat::tucson;  // of InputPlan::seriesFile
};

// The crossdating files of one input: the report, its tables and its
// picture (with --xdate), and the series statistics.
struct CrossdatingFiles {
    std::optional<std::string> report, overall, segments, lags, picture;
    std::optional<std::string> series;

    bool any() const { return report || series; }
};

// The outputs of one input; a path of "-" is standard output.
struct InputPlan {
    std::string input;  // as named ("-": standard input)
    std::string label;  // how messages name it
    std::string base;  // its base name, for the names made from it
    std::optional<std::string> files[output::outputKinds];  // by OutputKind
    std::optional<std::string> pictureDir;  // DIR/BASE-STEM.EXT, DIR/BASE-chron.EXT
    CrossdatingFiles crossdating;
    std::optional<std::string> seriesFile{};  // the series read, written again

    const std::optional<std::string>& file(output::OutputKind kind) const { return files[static_cast<int>(kind)]; }
};

struct RunPlan {
    RunSettings settings;
    // The directories the outputs go to, made before any input is read,
    // with what each is for ("output directory").
    std::vector<std::pair<std::string, std::string>> directories;
    std::vector<InputPlan> inputs;
    // The statistics, the running statistics and the fits of every input in
    // one file each, written at the end.
    std::optional<std::string> statistics, running, fits;
};

}  // namespace detrend::pipeline
