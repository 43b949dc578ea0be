// From ring widths to a site chronology in one run: the chronology and
// statistics files, the summary line, and what the files cannot hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"

namespace detrend::e2e {
namespace {

// The first line of `text`.
std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(Chronology, FromRingWidthsToChronologyAndStatistics) {
    Scenario s;
    s.write("oaks.rwl", readFile(std::string(DETREND_SOURCE_DIR) + "/examples/oaks.rwl"));
    const Outcome o = batch(s, {"-c", "20", "-d", "out", "--chron", "--stats", "--plot", "plots", "oaks.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(o.err.starts_with("detrend: made the output directory \"out\"\n"));
    EXPECT_NE(o.err.find("detrend: oaks.rwl: 4 series detrended, 0 skipped; rbar "), std::string::npos) << o.err;
    const std::string chronology = readFile(s.path("out/oaks-chron.csv"));
    EXPECT_EQ(firstLine(chronology), "year,std,res,samp.depth,sss,ars");
    const std::string statistics = readFile(s.path("out/oaks-stats.csv"));
    EXPECT_EQ(firstLine(statistics),
              "file,series,first,last,rbar,eps,snr,n.cores,n.trees,n,n.tot,n.wt,n.bt,rbar.wt,rbar.bt,c.eff,rbar.eff,"
              "cutoff,index");
    EXPECT_TRUE(statistics.find("\noaks.rwl,4,") != std::string::npos) << statistics;
    EXPECT_TRUE(statistics.ends_with(",20,ratio\n")) << statistics;
    EXPECT_GT(readFile(s.path("plots/oaks-chron.png")).size(), 10000u);
    // No series detrended: nothing defined, NA rather than figures of 0.
    s.write("short.txt", "Year A B\n1900 1.0 2\n1901 1.1 2.2\n1902 1.3 2.1\n");
    const Outcome none = batch(s, {"-q", "-c", "10", "--stats=-", "-o", "/dev/null", "short.txt"});
    EXPECT_EQ(none.out.substr(none.out.find('\n') + 1),
              "short.txt,0,NA,NA,NA,NA,NA,0,0,0,0,0,0,NA,NA,NA,NA,10,ratio\n");

    // The Tucson chronology: ratio indices x 1000 and depths by decade.
    const Outcome crn = batch(s, {"-q", "-c", "20", "--chron=oaks.crn", "--chron-mean", "arithmetic", "oaks.rwl"});
    EXPECT_EQ(crn.status, 0) << crn.err;
    EXPECT_EQ(crn.out, "");  // an output named: no listing on standard output
    // Three header lines, then decade lines; the residual chronology beside.
    const std::string crnText = readFile(s.path("oaks.crn"));
    std::size_t afterHeader = 0;
    for (int line = 0; line < 3; ++line) afterHeader = crnText.find('\n', afterHeader) + 1;
    EXPECT_EQ(crnText.substr(0, crnText.find('\n')), "OAK    1 Hollow Oak Stand" + std::string(36, ' ') + "QUPE");
    const std::string decades = crnText.substr(afterHeader);
    EXPECT_EQ(decades.substr(0, 6), "OAK   ");  // the file's own site code
    EXPECT_EQ(firstLine(decades).size(), 10u + 10 * 7);
    EXPECT_TRUE(std::filesystem::exists(s.path("oaks-res.crn")));
}

// Trees and cores from the names (or a table), running windows, the cut.
TEST(Chronology, TreesWindowsAndTheCut) {
    Scenario s;
    s.write("site.rwl", readFile(std::string(DETREND_SOURCE_DIR) + "/examples/site.rwl"));
    const Outcome o =
        batch(s, {"-c", "32", "-d", "out", "--chron", "--stats", "--running", "--chron-cut", "depth=5", "site.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("detrend: site.rwl: the chronology is cut where its sample depth is below 5: 1802 to 1814\n"),
              std::string::npos)
        << o.err;
    const std::string statistics = readFile(s.path("out/site-stats.csv"));
    // 16 cores of 8 trees, two a tree: 8 pairs within trees, 112 between.
    EXPECT_NE(statistics.find("\nsite.rwl,16,1802,2020,"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find(",16,8,8,120,8,112,"), std::string::npos) << statistics;
    // The first year kept: std, res, depth, SSS and ars.
    EXPECT_EQ(firstLine(readFile(s.path("out/site-chron.csv")).substr(32)),
              "1815,0.9878671180383543,0.9766278266906738,5,0.8639354066985647,0.9852219141511849");
    const std::string running = readFile(s.path("out/site-running.csv"));
    EXPECT_NE(running.find("\nsite.rwl,1846,1870,1895,16,8,8,120,8,112,"), std::string::npos) << running;
    // A table of trees naming two series: the others are trees of their own.
    s.write("ids.csv", "series,tree,core\nHR01A,t1,a\nHR01B,t1,b\n");
    const Outcome table = batch(s, {"-c", "32", "--ids", "ids.csv", "--stats=-", "site.rwl"});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find(",16,15,15,120,1,119,"), std::string::npos) << table.out;
    EXPECT_NE(table.err.find("site.rwl: 14 of 16 series are not in the table of trees"), std::string::npos);
    // Saved by a spreadsheet, with a byte order mark: the same table.
    s.write("marked.csv", "\xEF\xBB\xBFseries,tree,core\nHR01A,t1,a\nHR01B,t1,b\n");
    const Outcome marked = batch(s, {"-c", "32", "--ids", "marked.csv", "--stats=-", "site.rwl"});
    EXPECT_EQ(marked.status, 0) << marked.err;
    EXPECT_EQ(marked.out, table.out);
    // A Heidelberg file's TreeNo: four cores of two trees, whatever the names.
    std::string heidelberg;
    for (int tree = 1; tree <= 2; ++tree)
        for (int core = 1; core <= 2; ++core) {
            heidelberg += "HEADER:\nKeyCode=S" + std::to_string(tree) + std::to_string(core) +
                          "\nDateBegin=1900\nLength=35\nSiteCode=ABC\nTreeNo=" + std::to_string(tree) +
                          "\nCoreNo=" + std::to_string(core) + "\nDATA:Tree\n";
            for (int i = 0; i < 35; ++i)
                heidelberg += std::to_string(100 + (i * 37 + tree * 11 + core * 5) % 41 + i) + "\n";
        }
    s.write("trees.fh", heidelberg);
    const Outcome fromFile = batch(s, {"-q", "-c", "10", "--stats=-", "trees.fh"});
    EXPECT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_NE(fromFile.out.find("\ntrees.fh,4,1900,1934,"), std::string::npos) << fromFile.out;
    EXPECT_NE(fromFile.out.find(",4,2,2,6,2,4,"), std::string::npos) << fromFile.out;
    s.write("bad.csv", "series,tree\n");
    const Outcome bad = batch(s, {"-c", "32", "--ids", "bad.csv", "--stats=-", "site.rwl"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "detrend: bad.csv:1:1: expected the header series,tree,core\n");
}

// Each method names in the fits table what each series got; a series whose
// curve is not positive falls back, and a line on standard error counts it.
TEST(Chronology, MethodsAndTheirFits) {
    Scenario s;
    s.write("site.rwl", readFile(std::string(DETREND_SOURCE_DIR) + "/examples/site.rwl"));
    const struct {
        std::vector<std::string> arguments;
        std::string row;  // the start of HR01A's row after its years
    } cases[] = {
        {{"-c", "32"}, "burg-spline,burg-spline,,32,32,NA,"},
        {{"-c", "32", "--filter-length", "8"}, "burg-spline,burg-spline,,32,8,NA,"},
        {{"-c", "32", "--filter-length", "50%"}, "burg-spline,burg-spline,,32,32,NA,"},  // cut to the cutoff
        {{"--method", "spline"}, "spline,spline,,141,NA,"},  // two thirds of 211 years
        {{"--method", "negexp"}, "negexp,negexp,,NA,NA,NA,2.07"},
        {{"--method", "mean"}, "mean,mean,,NA,NA,NA,NA,NA,NA,NA,NA,NA,NA,0.79962"},
        {{"--method", "age-spline"}, "age-spline,age-spline,,NA,NA,50,"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-q", "-o", "/dev/null", "--fits=-", "site.rwl"});
        const Outcome o = batch(s, arguments);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.out.find("\nsite.rwl,HR01A,1810,2020," + c.row), std::string::npos) << o.out.substr(0, 400);
    }
    EXPECT_EQ(batch(s, {"-c", "32", "--filter-length", "300", "-o", "/dev/null", "site.rwl"}).err,
              "detrend: site.rwl: 16 series' prediction filters are cut to the cutoff, the longest a filter may be\n"
              "detrend: site.rwl: 16 series detrended, 0 skipped\n");
    // A young tree's steep decline: its Burg spline dips below zero.
    std::string decline = "Year A\n";
    const double widths[] = {4.515, 3.720, 2.888, 2.525, 2.044, 1.781, 1.459, 1.218, 0.770, 0.783, 0.697, 0.256,
                             0.374, 0.270, 0.202, 0.231, 0.135, 0.010, 0.279, 0.010, 0.238, 0.143, 0.010, 0.163,
                             0.120, 0.031, 0.075, 0.010, 0.072, 0.024, 0.010, 0.010, 0.038, 0.010, 0.010, 0.025,
                             0.047, 0.010, 0.010, 0.079, 0.078, 0.090, 0.010, 0.024, 0.010, 0.010, 0.051, 0.010,
                             0.184, 0.010, 0.010, 0.030, 0.018, 0.010, 0.010, 0.010, 0.028, 0.090, 0.072, 0.119,
                             0.148, 0.244, 0.010, 0.136, 0.010, 0.010, 0.010, 0.010};
    int year = 1900;
    for (double w : widths) decline += std::to_string(year++) + " " + std::to_string(w) + "\n";
    s.write("decline.txt", decline);
    const Outcome fell = batch(s, {"-c", "32", "--csv", "d.csv", "--fits=-", "decline.txt"});
    EXPECT_EQ(fell.status, 0) << fell.err;
    EXPECT_NE(fell.out.find("decline.txt,A,1900,1967,burg-spline,mean,"), std::string::npos) << fell.out;
    EXPECT_NE(fell.err.find("detrend: decline.txt: 1 of 1 series fell back: 1 to mean\n"), std::string::npos)
        << fell.err;
    EXPECT_EQ(readFile(s.path("d.csv")).find("NA"), std::string::npos);
}

// A .crn a chronology kind each, with the archive's header lines; two
// inputs of one site code are not written into one directory.
TEST(Chronology, CrnFilesAsTheArchiveKeepsThem) {
    Scenario s;
    const std::string site = readFile(std::string(DETREND_SOURCE_DIR) + "/examples/site.rwl");
    s.write("site.rwl", site);
    const Outcome o = batch(s, {"-q", "-c", "32", "-d", "out", "--chron", "--chron-format", "crn", "--site", "HRG",
                                "--site-name", "High Ridge", "--species", "PCAB", "site.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    for (const char* file : {"out/site.crn", "out/site-res.crn"}) {
        const std::string crn = readFile(s.path(file));
        EXPECT_EQ(crn.substr(0, crn.find('\n')), "HRG    1 High Ridge" + std::string(42, ' ') + "PCAB") << file;
        EXPECT_NE(crn.find("\nHRG    2" + std::string(59, ' ') + "1802 2020\nHRG    3\nHRG   1802"), std::string::npos)
            << file;
    }
    EXPECT_NE(readFile(s.path("out/site.crn")), readFile(s.path("out/site-res.crn")));
    s.write("other.rwl", site);
    const Outcome two = batch(s, {"-q", "-c", "32", "-d", "out", "--chron", "--chron-format", "crn", "--site", "HRG",
                                  "site.rwl", "other.rwl"});
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.err,
              "detrend: other.rwl: the chronology of site code \"HRG\" was already written into this directory for "
              "input \"site.rwl\": give each input its own code (--site) or directory\n");
}

// The chronology's picture is drawn whatever the site gives it: years cut
// or not, running windows of the run's or of its own, a single series
// (whose EPS is not defined), every year cut.
TEST(Chronology, ItsPictureInEveryRun) {
    Scenario s;
    s.write("site.rwl", readFile(std::string(DETREND_SOURCE_DIR) + "/examples/site.rwl"));
    s.write("one.csv", "year,A\n1900,1.1\n1901,0.9\n1902,1.3\n1903,1.0\n1904,0.8\n1905,1.2\n1906,1.1\n");
    const struct {
        std::vector<std::string> arguments;
        const char* picture;
    } cases[] = {
        {{"-c", "32", "--chron", "--chron-cut", "depth=5", "site.rwl"}, "p/site-chron.png"},
        {{"-c", "32", "--chron", "--running", "--window", "30", "--window-overlap", "10", "site.rwl"},
         "p/site-chron.png"},
        {{"-c", "32", "--chron", "--chron-cut", "eps=1", "--plot-format", "svg", "site.rwl"}, "p/site-chron.svg"},
        {{"-c", "32", "--chron", "--index", "difference", "--plot-format", "pdf", "site.rwl"}, "p/site-chron.pdf"},
        {{"-c", "3", "--chron", "one.csv"}, "p/one-chron.png"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"-q", "-d", "out", "--plot", "p"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome o = batch(s, arguments);
        EXPECT_EQ(o.status, 0) << c.picture << ": " << o.err;
        EXPECT_EQ(o.err.find("cannot draw"), std::string::npos) << o.err;
        EXPECT_GT(readFile(s.path(c.picture)).size(), 10000u) << c.picture;
        std::filesystem::remove_all(s.path("p"));
    }
}

TEST(Chronology, WhatCannotBeWrittenIsRefused) {
    Scenario s;
    // Year 99999 needs five columns; so does a depth over 999.
    s.write("late.csv", "Year,A,B\n99990,1,2\n99991,1.5,2.5\n99992,2,1.5\n99993,1.2,2\n99994,1.8,2.2\n");
    Outcome o = batch(s, {"-q", "-c", "2", "--chron=late.crn", "late.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: late.csv: the chronology does not fit the .crn layout: year 99990: outside -999 .. 9999\n");
    EXPECT_FALSE(std::filesystem::exists(s.path("late.crn")));
    // Every series skipped: no chronology, and an earlier one stays.
    s.write("short.csv", "Year,A\n1900,1\n1901,2\n");
    s.write("short.csv.chron", "earlier");
    o = batch(s, {"-c", "5", "--chron=short.csv.chron", "short.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: short.csv: series \"A\" skipped: the cutoff 5 is not below its length of 2 years\n"
              "detrend: short.csv: 0 series detrended, 1 skipped; its earlier output files are left as they were\n");
    EXPECT_EQ(readFile(s.path("short.csv.chron")), "earlier");
}

}  // namespace
}  // namespace detrend::e2e
