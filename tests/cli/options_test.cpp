// The command line as parsed, in process: each refusal's exact text, and
// the typed options and the plan made from accepted ones.
#include "cli/options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_plan.hpp"
#include "cli/tree_table.hpp"

namespace detrend::cli {
namespace {

TEST(Options, UsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"t.txt"}, "the cutoff is required: -c YEARS or -c P%"},
        {{"-c", "5"}, "no input file named"},
        {{"-c", "0", "t.txt"}, "--cutoff 0: expected a whole number of years >= 2, or a share such as 67%"},
        {{"-c", "1", "t.txt"}, "--cutoff 1: expected a whole number of years >= 2, or a share such as 67%"},
        {{"-c", "3.5", "t.txt"}, "--cutoff 3.5: expected a whole number of years >= 2, or a share such as 67%"},
        {{"-c", "101%", "t.txt"},
         "--cutoff 101%: a share must be a whole number of percent, 1% to 99% (no series is shorter than itself)"},
        {{"-c", "100%", "t.txt"},
         "--cutoff 100%: a share must be a whole number of percent, 1% to 99% (no series is shorter than itself)"},
        {{"-c", "5", "-d", "o", "t.txt", "u.txt", "t.txt"}, "input \"t.txt\" is named twice"},
        {{"-c", "5", "--csv", "-", "--chron=-", "t.txt"},
         "the CSV and the chronology cannot both go to standard output"},
        {{"-c", "5", "-o", "-", "--stats=-", "t.txt"},
         "the listing and the statistics cannot both go to standard output"},
        {{"-c"}, "option -c needs a value"},
        {{"--cutoff"}, "option --cutoff needs a value"},
        {{"-x", "t.txt"}, "unknown option -x"},
        {{"--colour=red", "t.txt"}, "unknown option --colour"},
        {{"-c", "5", "--quiet=yes", "t.txt"}, "option --quiet takes no value"},
        {{"-c", "5", "--qu=yes", "t.txt"}, "option --quiet takes no value"},
        {{"-c", "5", "--ch", "t.txt"}, "option --ch is ambiguous: --chron, --chron-format, --chron-mean, --chron-cut"},
        {{"-c", "5", "-o", "", "t.txt"}, "--output: expected a file name"},
        {{"-c", "5", "--csv=", "t.txt"}, "--csv: expected a file name"},
        {{"-c", "5", "-d", "", "t.txt"}, "--output-dir: expected a directory name"},
        {{"-c", "5", "--plot", "", "t.txt"}, "--plot: expected a directory name"},
        {{"-c", "5", "-o", "a.txt", "--stats=a.txt", "t.txt"},
         "the listing and the statistics name one file, \"a.txt\""},
        {{"-c", "5", "--csv", "a.csv", "--xdate=a.csv", "t.txt"},
         "the CSV and the crossdating report name one file, \"a.csv\""},
        {{"-c", "5", "--index", "sum", "t.txt"}, "--index sum: expected difference or ratio"},
        {{"-c", "5", "--format", "xls", "t.txt"},
         "--format xls: expected auto, table, tucson, csv, heidelberg, compact or tridas"},
        {{"-c", "5", "--missing", "none", "t.txt"}, "--missing none: expected a number"},
        {{"-c", "5", "--columns", "1", "t.txt"},
         "--columns 1: expected a whole number >= 2 (the year column included)"},
        {{"-c", "5", "-j", "0", "t.txt"}, "--jobs 0: expected a whole number from 1 to 1024"},
        {{"-c", "5", "--plot-format", "gif", "t.txt"}, "--plot-format gif: expected png, svg or pdf"},
        {{"-c", "5", "t.txt", "u.txt"}, "several inputs need -d DIR for their results"},
        {{"-c", "5", "-o", "x", "t.txt", "u.txt"}, "-o names one listing: with several inputs use -d DIR"},
        {{"-c", "5", "--csv", "x", "t.txt", "u.txt"}, "--csv names one file: with several inputs use -d DIR"},
        {{"-c", "5", "-d", ".", "-o", "x", "t.txt"}, "-d cannot be combined with -o or --csv"},
        {{"-c", "5", "-o", "-", "--csv", "-", "t.txt"}, "the listing and the CSV cannot both go to standard output"},
        {{"-c", "5", "-d", ".", "-", "-"}, "standard input (-) can be read only once"},
        {{"-c", "5", "--chron", "t.txt"},
         "--chron without a file writes one per input into -d DIR: give -d, or --chron=FILE"},
        {{"-c", "5", "--stats", "t.txt"},
         "--stats without a file writes one per input into -d DIR: give -d, or --stats=FILE"},
        {{"-c", "5", "-d", ".", "--chron=c.csv", "t.txt", "u.txt"},
         "--chron=FILE names one chronology: with several inputs use -d DIR and --chron"},
        {{"-c", "5", "--chron-mean", "median", "--chron=c.csv", "t.txt"},
         "--chron-mean median: expected biweight or arithmetic"},
        {{"-c", "5", "--chron-format", "crn", "t.txt"},
         "--chron-format and --chron-mean describe the chronology: give --chron too"},
        {{"-c", "5", "--cor", "pearson", "t.txt"},
         "--cor chooses the statistics' correlation: give --stats or --running too"},
        {{"-c", "5", "--index", "difference", "--chron=c.crn", "t.txt"},
         "a .crn chronology holds ratio indices: use --index ratio, or --chron-format csv"},
        {{"-c", "5", "--zeros", "skip", "--stats=s.csv", "t.txt"}, "--zeros skip: expected missing or count"},
        {{"-c", "5", "--zeros", "count", "t.txt"},
         "--zeros and --ids describe the statistics: give --stats, --running or --chron too"},
        {{"-c", "5", "--ids=", "--stats=s.csv", "t.txt"},
         "--ids: expected auto, none or a CSV file of series,tree,core"},
        {{"-c", "5", "--running", "t.txt"},
         "--running without a file writes one per input into -d DIR: give -d, or --running=FILE"},
        {{"-c", "5", "--window", "9", "--running=r.csv", "t.txt"},
         "--window 9: expected a whole number of years from 10 to 100000"},
        {{"-c", "5", "--window", "40", "t.txt"},
         "--window and --window-overlap describe the running statistics: give --running too"},
        {{"-c", "5", "--window", "20", "--window-overlap", "20", "--running=r.csv", "t.txt"},
         "--window-overlap 20: must be less than the window (20 years)"},
        {{"-c", "5", "--chron-cut", "eps=1.5", "--chron=c.csv", "t.txt"},
         "--chron-cut eps=1.5: expected eps=X or sss=X with 0 < X <= 1, or depth=N with N >= 1"},
        {{"-c", "5", "--chron-cut", "depth=0", "--chron=c.csv", "t.txt"},
         "--chron-cut depth=0: expected eps=X or sss=X with 0 < X <= 1, or depth=N with N >= 1"},
        {{"-c", "5", "--chron-cut", "sss=0.8", "t.txt"}, "--chron-cut cuts the chronology: give --chron too"},
        {{"-c", "5", "--method", "loess", "t.txt"},
         "--method loess: expected burg-spline, spline, negexp, hugershoff, mean, ar, friedman or age-spline"},
        {{"-c", "5", "--method", "line", "t.txt"},
         "--method line: expected burg-spline, spline, negexp, hugershoff, mean, ar, friedman or age-spline"},
        {{"--method", "burg-spline", "t.txt"}, "the cutoff is required: -c YEARS or -c P%"},
        {{"-c", "5", "--method", "negexp", "t.txt"}, "-c does not apply to --method negexp, which has no cutoff"},
        {{"--method", "negexp", "--nyrs0", "30", "t.txt"}, "--nyrs0 does not apply to --method negexp"},
        {{"--method", "mean", "--constrain", "always", "t.txt"}, "--constrain does not apply to --method mean"},
        {{"--method", "spline", "--filter-length", "auto", "t.txt"},
         "--filter-length does not apply to --method spline"},
        {{"-c", "5", "--pos-slope", "t.txt"}, "--pos-slope does not apply to --method burg-spline"},
        {{"--method", "age-spline", "--nyrs0", "1", "t.txt"}, "--nyrs0 1: expected a whole number of years >= 2"},
        {{"--method", "friedman", "--bass", "11", "t.txt"}, "--bass 11: expected a whole number from 0 to 10"},
        {{"--method", "friedman", "--span", "0", "t.txt"},
         "--span 0: expected cv or a share of the series' length, 0 < SPAN <= 1"},
        {{"--method", "negexp", "--constrain", "sometimes", "t.txt"},
         "--constrain sometimes: expected never, when-fail or always"},
        {{"-c", "5", "--filter-length", "0", "t.txt"},
         "--filter-length 0: expected a whole number >= 1, P% (1% to 99%), auto or cutoff"},
        {{"-c", "5", "--fits", "t.txt"},
         "--fits without a file writes one per input into -d DIR: give -d, or --fits=FILE"},
        {{"-c", "5", "--chron=a.csv", "--chron=b.csv", "t.txt"},
         "--chron is given twice: one chronology a run (with -d, one per input)"},
        {{"-c", "5", "--chron=a.csv", "--chron-format", "crn", "t.txt"},
         "--chron=a.csv and --chron-format crn contradict each other: the file's extension says the format"},
        {{"-c", "5", "--chron=a.crn", "--chron-format", "csv", "t.txt"},
         "--chron=a.crn and --chron-format csv contradict each other: the file's extension says the format"},
        {{"-c", "5", "--chron=a.csv", "--site", "ABC", "t.txt"},
         "--site, --site-name and --species fill the .crn header: give --chron with the crn format"},
        {{"-c", "5", "--chron=s.crn", "--site-name",
          std::string(30, 'e') + "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", "t.rwl"},
         "--site-name: a site name of at most 52 bytes, the columns it has (54 given; a letter such as \u00e9 takes "
         "2)"},
        {{"-c", "5", "--chron=a.crn", "--site", "SEVENCH", "t.txt"},
         "--site SEVENCH: expected a site code of 1 to 6 characters without a blank"},
        {{"-c", "5", "--chron=a.crn", "--species", "QU RU", "t.txt"},
         "--species QU RU: expected a species code of 1 to 4 characters without a blank"},
        {{"-c", "5", "--max-input", "0", "t.txt"},
         "--max-input 0: expected a number of bytes >= 1, optionally with K, M or G (1024, 1024^2, "
         "1024^3)"},
        {{"-c", "5", "--max-input", "2T", "t.txt"},
         "--max-input 2T: expected a number of bytes >= 1, optionally with K, M or G (1024, 1024^2, "
         "1024^3)"},
        {{"--xdate", "t.rwl"}, "--xdate without a file writes one per input into -d DIR: give -d, or --xdate=FILE"},
        {{"--series-stats", "t.rwl"},
         "--series-stats without a file writes one per input into -d DIR: give -d, or --series-stats=FILE"},
        {{"-d", "o", "--xdate=r.txt", "t.rwl", "u.rwl"},
         "--xdate=FILE names one report: with several inputs use -d DIR and --xdate"},
        {{"-d", "o", "--series-stats=s.csv", "t.rwl", "u.rwl"},
         "--series-stats=FILE names one table: with several inputs use -d DIR and --series-stats"},
        {{"--xdate=", "t.rwl"}, "--xdate=: expected a file name after the ="},
        {{"--series-stats=", "t.rwl"}, "--series-stats=: expected a file name after the ="},
        {{"--xdate=-", "t.rwl"},
         "--xdate=-: the report has its tables and picture beside it: name a file, or use -d DIR"},
        {{"--xdate=r.txt", "--xdate-cor", "kendall", "t.rwl"}, "--xdate-cor kendall: expected spearman or pearson"},
        {{"--xdate=r.txt", "--seg-length", "51", "t.rwl"},
         "--seg-length 51: expected an even whole number of years, 10 to 100000"},
        {{"--xdate=r.txt", "--seg-length", "8", "t.rwl"},
         "--seg-length 8: expected an even whole number of years, 10 to 100000"},
        {{"--xdate=r.txt", "--bin-floor", "-1", "t.rwl"},
         "--bin-floor -1: expected a whole number of years, 0 to 100000 (0: the first year)"},
        {{"--xdate=r.txt", "--pcrit", "0", "t.rwl"}, "--pcrit 0: expected a number between 0 and 1"},
        {{"--xdate=r.txt", "--pcrit", "1", "t.rwl"}, "--pcrit 1: expected a number between 0 and 1"},
        {{"--xdate=r.txt", "--pcrit", "5%", "t.rwl"}, "--pcrit 5%: expected a number between 0 and 1"},
        {{"--xdate=r.txt", "--lag-max", "-1", "t.rwl"}, "--lag-max -1: expected a whole number of years, 0 to 100000"},
        {{"--xdate=r.txt", "--lag-max", "13", "t.rwl"},
         "--lag-max 13: must be at most a quarter of the segment (12 years of 50)"},
        {{"--xdate=r.txt", "--seg-length", "20", "--lag-max", "6", "t.rwl"},
         "--lag-max 6: must be at most a quarter of the segment (5 years of 20)"},
        {{"--xdate=r.txt", "--seg-length", "10", "t.rwl"},
         "the lags (--lag-max, default 5): must be at most a quarter of the segment (2 years of 10)"},
        {{"--xdate=r.txt", "--bin-floor", "100001", "t.rwl"},
         "--bin-floor 100001: expected a whole number of years, 0 to 100000 (0: the first year)"},
        {{"--xdate=r.txt", "--xdate-filter", "spline20", "t.rwl"},
         "--xdate-filter spline20: expected none or spline32"},
        {{"-c", "5", "--xdate-cor", "pearson", "t.rwl"}, "--xdate-cor describes the crossdating: give --xdate too"},
        {{"-c", "5", "--seg-length", "40", "t.rwl"}, "--seg-length describes the crossdating: give --xdate too"},
        {{"-c", "5", "--bin-floor", "0", "t.rwl"}, "--bin-floor describes the crossdating: give --xdate too"},
        {{"--series-stats=s.csv", "--pcrit", "0.01", "t.rwl"}, "--pcrit describes the crossdating: give --xdate too"},
        {{"-c", "5", "--lag-max", "2", "t.rwl"}, "--lag-max describes the crossdating: give --xdate too"},
        {{"-c", "5", "--xdate-filter", "none", "t.rwl"}, "--xdate-filter describes the crossdating: give --xdate too"},
        // A detrending output asks for the cutoff; crossdating alone does not.
        {{"--xdate=r.txt", "-o", "l.out", "t.rwl"}, "the cutoff is required: -c YEARS or -c P%"},
        {{"-d", "o", "--xdate", "--chron", "t.rwl"}, "the cutoff is required: -c YEARS or -c P%"},
        {{"-c", "5", "-o", "-", "--series-stats=-", "t.rwl"},
         "the listing and the series statistics cannot both go to standard output"},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, ParsedCommandLine::Action::usageError) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

// Where each output of each input goes, by command line.
TEST(RunPlan, NamesEveryOutputOnce) {
    using output::OutputKind;
    using Files = std::vector<std::pair<OutputKind, std::string>>;
    const struct {
        std::vector<std::string> arguments;
        Files firstInput;
        std::optional<std::string> statistics;
    } cases[] = {
        {{"-c", "5", "a.rwl"}, {{OutputKind::listing, "-"}}, {}},
        {{"-c", "5", "-o", "l.out", "--csv", "i.csv", "a.rwl"},
         {{OutputKind::listing, "l.out"}, {OutputKind::indices, "i.csv"}},
         {}},
        {{"-c", "5", "--csv", "-", "a.rwl"}, {{OutputKind::indices, "-"}}, {}},
        {{"-c", "5", "-d", "out", "x/a.rwl", "b.rwl"},
         {{OutputKind::listing, "out/a.out"}, {OutputKind::indices, "out/a.csv"}},
         {}},
        {{"-c", "5", "-d", "o", "--chron", "--stats", "a.rwl"},
         {{OutputKind::listing, "o/a.out"},
          {OutputKind::indices, "o/a.csv"},
          {OutputKind::chronology, "o/a-chron.csv"},
          {OutputKind::statistics, "o/a-stats.csv"}},
         {}},
        {{"-c", "5", "-d", "o", "--chron", "--chron-format", "crn", "--stats=all.csv", "a.rwl", "b.rwl"},
         {{OutputKind::listing, "o/a.out"},
          {OutputKind::indices, "o/a.csv"},
          {OutputKind::chronology, "o/a.crn"},
          {OutputKind::residualChronology, "o/a-res.crn"}},
         "all.csv"},
        {{"-c", "5", "--chron=c.crn", "a.rwl"},
         {{OutputKind::chronology, "c.crn"}, {OutputKind::residualChronology, "c-res.crn"}},
         {}},
        {{"-c", "5", "--stats=s.csv", "a.rwl", "b.rwl"}, {}, "s.csv"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, ParsedCommandLine::Action::run) << parsed.error;
        const pipeline::RunPlan plan = planRun(parsed.options);
        ASSERT_EQ(plan.inputs.size(), parsed.options.inputs.size());
        Files files;
        for (int k = 0; k < output::outputKinds; ++k)
            if (const auto& file = plan.inputs[0].files[k]) files.emplace_back(static_cast<OutputKind>(k), *file);
        EXPECT_EQ(files, c.firstInput) << c.arguments.back();
        EXPECT_EQ(plan.statistics, c.statistics);
    }
}

// Where the crossdating files of the first input go, and whether the run
// detrends (and so has a listing) beside them.
TEST(RunPlan, CrossdatingFiles) {
    using output::OutputKind;
    const struct {
        std::vector<std::string> arguments;
        // report, overall, segments, lags, picture, series; "" for none
        std::vector<std::string> crossdating;
        bool detrends;
        std::optional<std::string> listing;
    } cases[] = {
        {{"--xdate=r.txt", "a.rwl"},
         {"r.txt", "r-overall.csv", "r-segments.csv", "r-lags.csv", "r.png", "r-series.csv"},
         false,
         {}},
        {{"--xdate=out/x.y/report", "--plot-format", "pdf", "a.rwl"},
         {"out/x.y/report", "out/x.y/report-overall.csv", "out/x.y/report-segments.csv", "out/x.y/report-lags.csv",
          "out/x.y/report.pdf", "out/x.y/report-series.csv"},
         false,
         {}},
        {{"-d", "o", "--xdate", "x/a.rwl", "b.rwl"},
         {"o/a-xdate.txt", "o/a-xdate-overall.csv", "o/a-xdate-segments.csv", "o/a-xdate-lags.csv", "o/a-xdate.png",
          "o/a-series.csv"},
         false,
         {}},
        {{"-c", "5", "-d", "o", "--xdate", "--series-stats=s.csv", "--plot", "p", "a.rwl"},
         {"o/a-xdate.txt", "o/a-xdate-overall.csv", "o/a-xdate-segments.csv", "o/a-xdate-lags.csv", "p/a-xdate.png",
          "s.csv"},
         true,
         "o/a.out"},
        {{"--series-stats=-", "a.rwl"}, {"", "", "", "", "", "-"}, false, {}},
        {{"-c", "5", "--xdate=r.txt", "--csv", "i.csv", "a.rwl"},
         {"r.txt", "r-overall.csv", "r-segments.csv", "r-lags.csv", "r.png", "r-series.csv"},
         true,
         {}},
        {{"-c", "5", "a.rwl"}, {"", "", "", "", "", ""}, true, "-"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, ParsedCommandLine::Action::run) << parsed.error;
        const pipeline::RunPlan plan = planRun(parsed.options);
        const pipeline::CrossdatingFiles& f = plan.inputs[0].crossdating;
        std::vector<std::string> files;
        for (const auto* file : {&f.report, &f.overall, &f.segments, &f.lags, &f.picture, &f.series})
            files.push_back(file->value_or(""));
        EXPECT_EQ(files, c.crossdating) << c.arguments[0];
        EXPECT_EQ(plan.settings.detrends, c.detrends) << c.arguments[0];
        EXPECT_EQ(plan.settings.crossdating.has_value(), parsed.options.xdate.has_value());
        EXPECT_EQ(plan.inputs[0].file(OutputKind::listing), c.listing) << c.arguments[0];
        if (!c.detrends) {
            EXPECT_FALSE(plan.inputs[0].file(OutputKind::indices)) << c.arguments[0];
        }
    }
    // The settings reach the analysis as given.
    const ParsedCommandLine parsed =
        parseCommandLine({"--xdate=r.txt", "--xdate-cor", "pearson", "--seg-length", "40", "--bin-floor", "0",
                          "--pcrit", "0.01", "--lag-max", "10", "--xdate-filter", "spline32", "a.rwl"});
    ASSERT_EQ(parsed.action, ParsedCommandLine::Action::run) << parsed.error;
    const numeric::CrossdatingOptions x = *planRun(parsed.options).settings.crossdating;
    EXPECT_EQ(x.method, numeric::CorrelationMethod::pearson);
    EXPECT_EQ(x.segmentLength, 40);
    EXPECT_EQ(x.binFloor, 0);
    EXPECT_EQ(x.pcrit, 0.01);
    EXPECT_EQ(x.lagMax, 10);
    EXPECT_EQ(x.highPassCutoff, 32);
}

// --write-series: its FILE as the next argument or after "=", none with -d;
// the format from --series-format or the extension; a run that only writes
// the series needs no cutoff and plans no other output.
TEST(WriteSeries, PlansAndRefusals) {
    using output::SeriesFormat;
    const struct {
        std::vector<std::string> arguments;
        std::optional<std::string> file;  // of the first input
        SeriesFormat format;
        bool detrends;
        bool listing;  // the first input's listing planned
    } plans[] = {
        {{"--write-series", "out.rwl", "in.fh"}, "out.rwl", SeriesFormat::tucson, false, false},
        {{"in.fh", "--write-series=OUT.FH"}, "OUT.FH", SeriesFormat::heidelberg, false, false},
        {{"--write-series", "w.csv", "--series-format", "heidelberg", "in.rwl"},
         "w.csv",
         SeriesFormat::heidelberg,
         false,
         false},
        {{"-d", "o", "--write-series", "in.fh", "b.rwl"}, "o/in.rwl", SeriesFormat::tucson, false, false},
        {{"--write-series", "-d", "o", "--series-format", "csv", "in.fh"},
         "o/in-series.csv",
         SeriesFormat::csv,
         false,
         false},
        {{"-d", "o", "--series-format", "heidelberg", "--write-series", "x/in.rwl"},
         "o/in.fh",
         SeriesFormat::heidelberg,
         false,
         false},
        {{"-c", "5", "--write-series", "out.csv", "in.fh"}, "out.csv", SeriesFormat::csv, true, false},
        {{"-c", "5", "-d", "o", "--write-series", "in.fh"}, "o/in.rwl", SeriesFormat::tucson, true, true},
        {{"--chron=c.csv", "-c", "5", "--write-series", "s.rwl", "in.fh"}, "s.rwl", SeriesFormat::tucson, true, false},
        {{"-c", "5", "in.fh"}, {}, SeriesFormat::tucson, true, true},
        {{"--xdate=x.txt", "--plot", "p", "in.fh"}, {}, SeriesFormat::tucson, false, false},
        {{"-c", "5", "--plot", "p", "in.fh"}, {}, SeriesFormat::tucson, true, true},
    };
    for (const auto& c : plans) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, ParsedCommandLine::Action::run) << parsed.error;
        const pipeline::RunPlan plan = planRun(parsed.options);
        EXPECT_EQ(plan.inputs[0].seriesFile, c.file);
        if (c.file) {
            EXPECT_EQ(plan.settings.seriesFormat, c.format);
        }
        EXPECT_EQ(parsed.options.detrends(), c.detrends);
        EXPECT_EQ(plan.inputs[0].file(output::OutputKind::listing).has_value(), c.listing);
    }
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } refusals[] = {
        {{"--write-series", "out.txt", "in.fh"},
         "--write-series out.txt: the extension names no format (.rwl, .fh or .csv): give --series-format tucson, "
         "heidelberg or csv"},
        {{"--write-series", "-", "in.fh"},
         "--write-series -: the extension names no format (.rwl, .fh or .csv): give --series-format tucson, "
         "heidelberg or csv"},
        {{"--write-series", "a.rwl", "in.fh", "b.fh"},
         "--write-series FILE names one file: with several inputs use -d DIR"},
        {{"-d", "o", "--write-series=a.rwl", "in.fh"},
         "with -d, --write-series takes no FILE: it writes DIR/BASE.EXT for every input"},
        {{"--write-series=", "in.fh"}, "--write-series: expected a file name"},
        {{"--write-series"}, "option --write-series needs a value"},
        {{"--series-format", "csv", "-c", "5", "in.fh"},
         "--series-format describes the series written: give --write-series too"},
        {{"--write-series", "a.rwl", "--series-format", "crn", "in.fh"},
         "--series-format crn: expected tucson, heidelberg or csv"},
        {{"--write-series", "a.rwl", "--method", "spline", "--nyrs0", "5", "in.fh"},
         "--nyrs0 does not apply to --method spline"},
        {{"--write-series", "a.rwl", "-o", "l.out", "in.fh"}, "the cutoff is required: -c YEARS or -c P%"},
        {{"-c", "5", "-o", "-", "--write-series", "-", "--series-format", "csv", "in.fh"},
         "the listing and the series cannot both go to standard output"},
    };
    for (const auto& c : refusals) {
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, ParsedCommandLine::Action::usageError) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

// The settings are typed once: formats in any case where the option allows,
// the index kind's default the same for every output.
TEST(RunPlan, SettingsFromOptions) {
    const ParsedCommandLine parsed =
        parseCommandLine({"-c", "67%", "-d", "o", "--plot", "p", "--plot-format", "svg", "--chron", "a.rwl"});
    ASSERT_EQ(parsed.action, ParsedCommandLine::Action::run) << parsed.error;
    const pipeline::RunPlan plan = planRun(parsed.options);
    EXPECT_EQ(plan.settings.index, numeric::IndexKind::ratio);
    EXPECT_EQ(plan.settings.pictures, plot::PlotFormat::svg);
    EXPECT_EQ(plan.settings.chronology, output::ChronologyFormat::csv);
    EXPECT_FALSE(plan.settings.statistics);
    EXPECT_EQ(plan.settings.cutoff, "67%");
    EXPECT_EQ(plan.inputs[0].pictureDir, "p");
    EXPECT_EQ(plan.inputs[0].base, "a");
    const std::vector<std::pair<std::string, std::string>> directories{{"o", "output directory"},
                                                                       {"p", "plot directory"}};
    EXPECT_EQ(plan.directories, directories);
}

// The table of trees --ids FILE names, and where it is malformed.
TEST(TreeTable, RowsAndErrors) {
    const auto table = parseTreeTable("series,tree,core\r\nA1,1,a\n\n\"B,1\",2,\"x\"\"y\"\n");
    ASSERT_TRUE(table.ok()) << table.why();
    EXPECT_EQ(table->size(), 2u);
    EXPECT_EQ(table->at("A1").tree, "1");
    EXPECT_EQ(table->at("B,1").core, "x\"y");
    // A byte order mark, as spreadsheets save CSV; two series of a tree
    // without cores do not clash.
    const auto marked = parseTreeTable("\xEF\xBB\xBFseries,tree,core\nA1,1,\nA2,1,\n");
    ASSERT_TRUE(marked.ok()) << marked.why();
    EXPECT_EQ(marked->size(), 2u);
    const struct {
        const char* text;
        long line;
        const char* why;
    } errors[] = {
        {"", 0, "the table is empty: expected the header series,tree,core"},
        {"name,tree\n", 1, "expected the header series,tree,core"},
        {"series,tree,core\nA,1\n", 2, "expected 3 cells (series,tree,core), found 2"},
        {"series,tree,core\nA,,1\n", 2, "a series and its tree must be named"},
        {"series,tree,core\nA,1,1\nA,2,1\n", 3, "series \"A\" is named twice (line 2 and here)"},
        {"series,tree,core\nA,1,1\nB,2,1\n\nC,1,1\n", 5,
         "series \"C\" has the tree and core of series \"A\" (line 2): tree \"1\", core \"1\""},
        {"series,tree,core\n\"A,1,1\n", 2, "a quote is not closed"},
    };
    for (const auto& e : errors) {
        const auto r = parseTreeTable(e.text);
        ASSERT_FALSE(r.ok()) << e.text;
        EXPECT_EQ(r.error().line, e.line) << e.text;
        EXPECT_EQ(r.why(), e.why);
    }
}

}  // namespace
}  // namespace detrend::cli
