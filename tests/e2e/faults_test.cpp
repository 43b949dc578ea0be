// Batch runs against the troubles of real machines and downloaded files: a
// write failing part-way, an interruption, input text meant for the
// terminal, endless input, missing output directories.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "harness.hpp"

namespace detrend::e2e {
namespace {

namespace fs = std::filesystem;

std::string golden(const std::string& name) { return readFile(std::string(DETREND_GOLDEN_DIR) + "/" + name); }

// `series` series of `years` years of ring-width-like values.
std::string table(int series, int years) {
    std::string text = "Year";
    for (int k = 0; k < series; ++k) text += " S" + std::to_string(k);
    text += "\n";
    for (int y = 0; y < years; ++y) {
        text += std::to_string(1700 + y);
        for (int k = 0; k < series; ++k) text += " " + std::to_string(1.0 + 0.001 * ((y * 37 + k * 11) % 541));
        text += "\n";
    }
    return text;
}

// The names of the temporary files left in the run's directories.
std::vector<std::string> temporaries(const Scenario& s) {
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(s.dir()))
        if (entry.path().filename().string().ends_with(".tmp")) left.push_back(entry.path().string());
    return left;
}

// Every way a run could destroy a file it was not asked to replace: each
// is refused with status 1, the refusal named, the file as it was.
TEST(Faults, NoOutputDestroysAnInputOrAnotherOutput) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string stdinFile;
        std::string err;
        std::vector<std::string> unchanged;  // files that must keep their contents
    };
    const std::string two = golden("two_series.txt");
    const Case cases[] = {
        {"an input read through - is not an output",
         {"-c", "5", "--csv", "in.txt", "-"},
         "in.txt",
         "detrend: standard input: output file \"in.txt\" is standard input: writing it would destroy the input\n",
         {"in.txt"}},
        {"a listing over the input read through -",
         {"-c", "5", "-o", "in.txt", "-"},
         "in.txt",
         "detrend: standard input: output file \"in.txt\" is standard input: writing it would destroy the input\n",
         {"in.txt"}},
        {"two outputs that are one file through a link",
         {"-c", "5", "-o", "out.txt", "--csv", "lnk", "in.txt"},
         "",
         "detrend: in.txt: output file \"lnk\" is named for two outputs of this input\n",
         {"out.txt"}},
        {"a picture that is a link to the input",
         {"-c", "5", "-d", "o", "--plot", "plots", "in.txt"},
         "",
         "detrend: in.txt: output file \"plots/in-Site_A.png\" is the input file \"in.txt\": writing it would destroy "
         "the input\n",
         {"in.txt", "o/in.out"}},
        {"pictures of two inputs of one base name",
         {"-q", "-c", "5", "--stats=st.csv", "--plot", "plots", "a/in.txt", "b/in.txt"},
         "",
         "detrend: b/in.txt: output file \"plots/in-Site_A.png\" was already written for input \"a/in.txt\"\n",
         {}},
        {"a write-protected listing",
         {"-c", "5", "-o", "locked.out", "in.txt"},
         "",
         "detrend: in.txt: output file \"locked.out\" is write-protected: it is not replaced\n",
         {"locked.out"}},
        // The tables of the whole run are refused before the first input.
        {"a run's statistics table over an input",
         {"-c", "5", "-o", "out.txt", "--stats=in.txt", "in.txt"},
         "",
         "detrend: output file \"in.txt\" is the input file \"in.txt\": writing it would destroy the input\n",
         {"in.txt", "out.txt"}},
        {"a run's fits table over an input",
         {"-c", "5", "-o", "out.txt", "--fits=in.txt", "in.txt"},
         "",
         "detrend: output file \"in.txt\" is the input file \"in.txt\": writing it would destroy the input\n",
         {"in.txt", "out.txt"}},
        {"two tables of the run in one file",
         {"-c", "5", "-o", "out.txt", "--stats=out.csv", "--fits=./out.csv", "in.txt"},
         "",
         "detrend: output file \"./out.csv\" is named for two tables of the whole run\n",
         {"out.txt"}},
        {"an input's output over a table of the run",
         {"-c", "5", "-o", "./out.txt", "--stats=out.txt", "in.txt"},
         "",
         "detrend: in.txt: output file \"./out.txt\" is named for a table of the whole run\n",
         {}},
        // An empty file would only destroy what the target held.
        {"series that cannot be written",
         {"-q", "--write-series", "keep.rwl", "neg.csv"},
         "",
         "detrend: neg.csv: none of its series can be written to \"keep.rwl\"\n",
         {"keep.rwl"}},
        {"an input without series",
         {"--write-series", "keep.rwl", "empty.xml"},
         "",
         "detrend: empty.xml: no series found\n",
         {"keep.rwl"}},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("in.txt", two);
        s.write("out.txt", "earlier\n");
        s.write("locked.out", "earlier\n");
        s.write("keep.rwl", "earlier\n");
        s.write("neg.csv", "year,A\n1900,-1\n1901,2\n");
        s.write("empty.xml", "<tridas/>");
        fs::permissions(s.path("locked.out"), fs::perms::owner_read | fs::perms::group_read);
        fs::create_symlink("out.txt", s.path("lnk"));
        fs::create_directories(s.path("plots"));
        fs::create_directories(s.path("o"));
        s.write("o/in.out", "earlier\n");
        fs::create_symlink("../in.txt", s.path("plots/in-Site_A.png"));
        for (const char* dir : {"a", "b"}) {
            fs::create_directories(s.path(dir));
            s.write(std::string(dir) + "/in.txt", two);
        }
        if (std::string(c.what).starts_with("pictures of two")) fs::remove(s.path("plots/in-Site_A.png"));
        std::map<std::string, std::string> before;
        for (const std::string& f : c.unchanged) before[f] = readFile(s.path(f));
        RunOptions options;
        options.stdinFile = c.stdinFile;
        const Outcome o = batch(s, c.arguments, options);
        EXPECT_EQ(o.status, 1) << c.what;
        EXPECT_EQ(o.err, c.err) << c.what;
        for (const auto& [f, contents] : before) EXPECT_EQ(readFile(s.path(f)), contents) << c.what << ": " << f;
        EXPECT_EQ(temporaries(s), std::vector<std::string>{}) << c.what;
    }
}

// The crossdating files and the series written again are outputs of their
// input like the others: one that cannot be written leaves every earlier
// file of the input as it was, and creates none.
void crossdatingFilesAreReplacedWithTheOthers() {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        unsigned long fileSizeLimitBytes;
        std::string error;  // a line of standard error
        std::vector<std::string> earlier;  // files that keep their contents
        std::vector<std::string> absent;  // files that must not be created
    };
    const std::vector<std::string> xdate = {"x.txt",          "x-series.csv", "x-overall.csv",
                                            "x-segments.csv", "x-lags.csv",   "x.png"};
    std::vector<std::string> inDd;
    for (const char* f : {".out", ".csv", "-series.csv", "-xdate.txt", "-xdate-overall.csv", "-xdate-segments.csv",
                          "-xdate-lags.csv", "-xdate.png"})
        inDd.push_back(std::string("dd/site") + f);
    const Case cases[] = {
        {"a picture beyond the file size limit",
         {"--xdate=x.txt", "site.rwl"},
         20000,
         "detrend: site.rwl: cannot write plot file \"x.png\": File too large\n",
         xdate,
         {}},
        {"the listing beyond the file size limit",
         {"-c", "32", "--xdate", "-d", "dd", "site.rwl"},
         50000,
         "detrend: site.rwl: cannot write output file \"dd/site.out\": File too large\n",
         inDd,
         {}},
        {"a write-protected series statistics table",
         {"--xdate=rp.txt", "site.rwl"},
         0,
         "detrend: site.rwl: output file \"rp-series.csv\" is write-protected: it is not replaced\n",
         {},
         {"rp.txt", "rp-overall.csv", "rp-segments.csv", "rp-lags.csv", "rp.png"}},
        {"a write-protected series file",
         {"-c", "32", "--xdate=x.txt", "--write-series", "locked.csv", "-o", "dd/site.out", "site.rwl"},
         0,
         "detrend: site.rwl: output file \"locked.csv\" is write-protected: it is not replaced\n",
         xdate,
         {"dd/site.out"}},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("site.rwl", readFile(std::string(DETREND_SOURCE_DIR) + "/examples/site.rwl"));
        fs::create_directory(s.path("dd"));
        for (const std::string& f : c.earlier) s.write(f, "earlier\n");
        for (const char* locked : {"locked.csv", "rp-series.csv"}) {
            s.write(locked, "earlier\n");
            fs::permissions(s.path(locked), fs::perms::owner_read);
        }
        RunOptions options;
        options.fileSizeLimitBytes = c.fileSizeLimitBytes;
        const Outcome o = batch(s, c.arguments, options);
        EXPECT_EQ(o.status, 1) << c.what;
        EXPECT_NE(o.err.find(c.error), std::string::npos) << c.what << ": " << o.err;
        for (const std::string& f : c.earlier) EXPECT_EQ(readFile(s.path(f)), "earlier\n") << c.what << ": " << f;
        for (const std::string& f : c.absent) EXPECT_FALSE(fs::exists(s.path(f))) << c.what << ": " << f;
        EXPECT_EQ(temporaries(s), std::vector<std::string>{}) << c.what;
    }
}

// When nothing of an input can be detrended, every earlier output of it
// stays as it was; the null device takes any number of outputs.
TEST(Faults, AnInputsOutputsAreReplacedTogetherOrNotAtAll) {
    Scenario s;
    s.write("short.txt", "Year A\n1900 1\n1901 2\n");
    fs::create_directory(s.path("out"));
    for (const char* f : {"out/short.out", "out/short.csv", "out/short-chron.csv", "out/short-stats.csv"})
        s.write(f, "earlier\n");
    const Outcome o = batch(s, {"-c", "5", "-d", "out", "--chron", "--stats", "short.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: short.txt: series \"A\" skipped: the cutoff 5 is not below its length of 2 years\n"
              "detrend: short.txt: 0 series detrended, 1 skipped; its earlier output files are left as they were\n");
    for (const char* f : {"out/short.out", "out/short.csv", "out/short-chron.csv", "out/short-stats.csv"})
        EXPECT_EQ(readFile(s.path(f)), "earlier\n") << f;
    s.write("two.txt", golden("two_series.txt"));
    const Outcome null = batch(s, {"-q", "-c", "5", "-o", "/dev/null", "--csv", "/dev/null", "two.txt"});
    EXPECT_EQ(null.status, 0) << null.err;
    EXPECT_EQ(null.err, "");
    crossdatingFilesAreReplacedWithTheOthers();
}

// Outputs in directories that do not exist yet, standard output for any one
// output, a name as long as the system allows, a refusing directory named.
TEST(Faults, OutputsGoWhereTheyAreNamed) {
    Scenario s;
    s.write("two.txt", golden("two_series.txt"));
    const Outcome made = batch(s, {"-c", "5", "-o", "new/l.out", "--stats=-", "--chron=X.CRN", "two.txt"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err,
              "detrend: made the output directory \"new\"\ndetrend: two.txt: the series names do not split into site, "
              "tree and core alike; each series is taken as a tree of its own (--ids FILE names the trees)\n"
              "detrend: two.txt: 2 series detrended, 0 skipped; rbar NA, EPS NA, SNR NA\n");
    EXPECT_EQ(made.out.substr(0, made.out.find('\n')),
              "file,series,first,last,rbar,eps,snr,n.cores,n.trees,n,n.tot,n.wt,n.bt,rbar.wt,rbar.bt,c.eff,rbar.eff,"
              "cutoff,index");
    EXPECT_EQ(readFile(s.path("new/l.out")), golden("two_series_cutoff5.listing"));
    EXPECT_EQ(readFile(s.path("X.CRN")).substr(0, 6), "two   ");  // a .crn in any letter case
    const std::string longName(249, 'l');
    const Outcome longOne = batch(s, {"-q", "-c", "5", "-o", longName, "two.txt"});
    EXPECT_EQ(longOne.status, 0) << longOne.err;
    EXPECT_EQ(readFile(s.path(longName)), golden("two_series_cutoff5.listing"));
    fs::create_directory(s.path("ro"));
    fs::permissions(s.path("ro"),
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
    RunOptions options;
    options.unprivileged = true;
    const Outcome refused = batch(s, {"-q", "-c", "5", "--stats=ro/s.csv", "two.txt"}, options);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "detrend: output directory \"ro\": Permission denied\n");
}

TEST(Faults, AWriteFailingPartWayLeavesTheEarlierResult) {
    Scenario s;
    s.write("two.txt", golden("two_series.txt"));
    s.write("big.txt", table(40, 300));  // a listing of about 370 KB
    fs::create_directory(s.path("out"));
    s.write("out/big.out", "earlier listing\n");
    s.write("out/big.csv", "earlier indices\n");
    RunOptions options;
    options.fileSizeLimitBytes = 100000;
    const Outcome o = batch(s, {"-q", "-c", "5", "-d", "out", "two.txt", "big.txt"}, options);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: big.txt: cannot write output file \"out/big.out\": File too large\n");
    EXPECT_EQ(readFile(s.path("out/big.out")), "earlier listing\n");
    EXPECT_EQ(readFile(s.path("out/big.csv")), "earlier indices\n");
    EXPECT_EQ(readFile(s.path("out/two.out")), golden("two_series_cutoff5.listing"));
    EXPECT_EQ(temporaries(s), std::vector<std::string>{});
}

TEST(Faults, AnInterruptionRemovesWhatIsHalfWritten) {
    for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, {SIGINT, 130}}) {
        Scenario s;
        s.write("a.txt", golden("two_series.txt"));
        s.write("b.txt", table(300, 150));
        RunOptions options;
        options.signal = signal;
        options.signalWhen = "plots/a-SiteB.png";  // the first input's last output
        const Outcome o =
            batch(s, {"-q", "-c", "5", "-j", "1", "-d", "out", "--plot", "plots", "a.txt", "b.txt"}, options);
        EXPECT_EQ(o.status, status) << o.err;
        // The signal comes as the first input ends, between the two, or
        // while the second is worked on: the line says which.
        const std::string onB = "detrend: interrupted while working on b.txt: none of its outputs was replaced\n";
        const std::string onA =
            "detrend: interrupted while working on a.txt: \"out/a.out\", \"out/a.csv\", \"plots/a-Site_A.png\", "
            "\"plots/a-SiteB.png\" were complete and replaced; its other outputs were left as they were\n";
        const std::string between = "detrend: interrupted: the outputs of the inputs done before are complete\n";
        EXPECT_TRUE(o.err == onB || o.err == onA || o.err == between) << o.err;
        EXPECT_EQ(readFile(s.path("out/a.out")), golden("two_series_cutoff5.listing"));
        EXPECT_TRUE(fs::exists(s.path("plots/a-SiteB.png")));
        EXPECT_FALSE(fs::exists(s.path("out/b.out")));
        EXPECT_EQ(temporaries(s), std::vector<std::string>{});
    }
}

// What the user sees when an input cannot be used: input text is quoted
// with its control bytes escaped and cut after 60 characters.
TEST(Faults, RefusedInputsSayWhyWithoutDrivingTheTerminal) {
    struct Case {
        std::string file, bytes;
        std::vector<std::string> arguments;
        std::string err;
    };
    const std::string longCell(70, 'x');
    const std::string readAsCsv = " [read as CSV; if it is not one, give --format]\n";
    const Case cases[] = {
        {"evil.csv",
         "Year,A\n1900,\x1B]0;pwned\a\x1B[2J\n",
         {"evil.csv"},
         "detrend: evil.csv:2:6: expected a number, found \"\\x1B]0;pwned\\x07\\x1B[2J\"" + readAsCsv},
        {"long.csv",
         "Year,A\n1900," + longCell + "\n",
         {"long.csv"},
         "detrend: long.csv:2:6: expected a number, found \"" + longCell.substr(0, 60) + "...\"" + readAsCsv},
        {"names.csv",
         "Year,\"B\x1B[31m\xC2\x9B\"\n1900,1\n1901,2\n",
         {"names.csv"},
         "detrend: names.csv: series \"B\\x1B[31m\\xC2\\x9B\" skipped: the cutoff 5 is not below its length of 2 "
         "years\n"},
        {"t\x1B[2J.txt", "", {"t\x1B[2J.txt", "-d", "."}, "detrend: t\\x1B[2J.txt: the file is empty\n"},
        {"", "", {"/dev/zero"}, "detrend: /dev/zero: not a text file: it holds NUL bytes in its first kilobytes\n"},
        // Read without error, but nothing to work on.
        {"empty.xml", "<tridas/>", {"empty.xml"}, "detrend: empty.xml: no series found\n"},
        {"c.txt", "just a comment\n", {"--format", "compact", "c.txt"}, "detrend: c.txt: no series found\n"},
        {"c.txt",
         "just a comment\n",
         {"--xdate=x.txt", "--format", "compact", "c.txt"},
         "detrend: c.txt: no series found\n"},
        {"",
         "",
         {"--max-input", "1K", "/dev/zero"},
         "detrend: /dev/zero: it is larger than 1024 bytes, the most read from a pipe or device (--max-input)\n"},
    };
    for (const Case& c : cases) {
        Scenario s;
        if (!c.file.empty()) s.write(c.file, c.bytes);
        std::vector<std::string> arguments = {"-q", "-c", "5"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome o = batch(s, arguments);
        EXPECT_EQ(o.status, 1) << c.err;
        EXPECT_EQ(o.err, c.err);
    }
}

// Standard output that cannot take what is written fails the run, whatever
// goes there.
TEST(Faults, AFullStandardOutputIsAnError) {
    const std::vector<std::string> cases[] = {
        {"--help"},
        {"--version"},
        {"-q", "-c", "5", "-o", "-", "two.txt"},
        {"-q", "-c", "5", "--stats=-", "two.txt"},
        {"-q", "--series-stats=-", "two.txt"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        Scenario s;
        s.write("two.txt", golden("two_series.txt"));
        RunOptions options;
        options.stdoutFile = "/dev/full";
        const Outcome o = batch(s, arguments, options);
        EXPECT_EQ(o.status, 1) << arguments[0];
        EXPECT_TRUE(o.err.ends_with("cannot write standard output: No space left on device\n"))
            << arguments[0] << ": " << o.err;
    }
}

TEST(Faults, MissingOutputDirectoriesAreMade) {
    Scenario s;
    s.write("t.txt", golden("two_series.txt"));
    s.write("file", "not a directory\n");
    Outcome o = batch(s, {"-c", "5", "-d", "results/2026", "--plot", "plots", "t.txt"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err,
              "detrend: made the output directory \"results/2026\"\n"
              "detrend: made the plot directory \"plots\"\n"
              "detrend: t.txt: 2 series detrended, 0 skipped\n");
    EXPECT_EQ(readFile(s.path("results/2026/t.out")), golden("two_series_cutoff5.listing"));
    EXPECT_EQ(batch(s, {"-q", "-c", "5", "-d", "more", "t.txt"}).err, "");
    o = batch(s, {"-c", "5", "-d", "file", "t.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: output directory \"file\": Not a directory\n");
    o = batch(s, {"-c", "5", "-d", "file/sub", "t.txt"});
    EXPECT_EQ(o.err, "detrend: output directory \"file/sub\": Not a directory\n");
}

}  // namespace
}  // namespace detrend::e2e
