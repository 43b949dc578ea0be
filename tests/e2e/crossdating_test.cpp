// Crossdating from the command line: a site with one core that misses two
// rings, the files, the summary line and the report; what cannot be
// crossdated; the README's report against the program's.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "harness.hpp"

namespace detrend::e2e {
namespace {

const std::string source = DETREND_SOURCE_DIR;

// The Tucson decade lines of series `id` with `values` from `first` on, in
// hundredths, ending in the stop marker.
std::string tucsonLines(const std::string& id, int first, const std::vector<int>& values) {
    std::string out;
    char field[16];
    std::size_t i = 0;
    for (int year = first; i <= values.size(); year = (year / 10 + 1) * 10) {
        std::snprintf(field, sizeof field, "%-8s%4d", id.c_str(), year);
        out += field;
        for (int y = year; y < (year / 10 + 1) * 10 && i <= values.size(); ++y, ++i) {
            std::snprintf(field, sizeof field, "%6d", i < values.size() ? values[i] : 999);
            out += field;
        }
        out += "\n";
    }
    return out;
}

// examples/site.rwl with the rings of `year` and the next year of series
// `id` left out, as a measurement that missed them: the later rings are
// dated two years too early.
std::string withTwoRingsMissing(const std::string& id, int year) {
    std::istringstream in(readFile(source + "/examples/site.rwl"));
    std::string out, lines;
    std::vector<int> values;
    int first = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.size() <= 12 || line.substr(0, 8).find_last_not_of(' ') + 1 != id.size() ||
            line.compare(0, id.size(), id) != 0) {
            out += line + "\n";
            continue;
        }
        if (values.empty()) first = std::stoi(line.substr(8, 4));
        for (std::size_t at = 12; at + 6 <= line.size(); at += 6)
            if (const int v = std::stoi(line.substr(at, 6)); v != 999) values.push_back(v);
        if (line.ends_with("   999")) out += "@";  // where the series goes
    }
    values.erase(values.begin() + (year - first), values.begin() + (year - first) + 2);
    return out.replace(out.find('@'), 1, tucsonLines(id, first, values));
}

std::vector<std::string> rowsStartingWith(const std::string& table, const std::string& start) {
    std::vector<std::string> rows;
    std::istringstream in(table);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(start)) rows.push_back(line);
    return rows;
}

TEST(Crossdating, TheCoreThatMissesTwoRingsIsFlaggedInItsLateSegments) {
    Scenario s;
    s.write("site-missing.rwl", withTwoRingsMissing("HR03A", 1924));
    const Outcome o = batch(s, {"-d", "out", "--xdate", "site-missing.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");  // nothing detrended: no listing
    EXPECT_EQ(o.err,
              "detrend: made the output directory \"out\"\n"
              "detrend: site-missing.rwl: crossdating of 16 series: intercorrelation 0.541, 2 segments flagged in "
              "1 series\n");
    const std::vector<std::string> files{"out/",
                                         "out/site-missing-series.csv",
                                         "out/site-missing-xdate-lags.csv",
                                         "out/site-missing-xdate-overall.csv",
                                         "out/site-missing-xdate-segments.csv",
                                         "out/site-missing-xdate.png",
                                         "out/site-missing-xdate.txt",
                                         "site-missing.rwl"};
    EXPECT_EQ(o.fileNames(), files);
    // Exactly the segments after the missing rings, each best at lag +2.
    const std::string segments = readFile(s.path("out/site-missing-xdate-segments.csv"));
    EXPECT_TRUE(segments.starts_with("series,first,last,r,p,flagged\n")) << segments;
    EXPECT_EQ(rowsStartingWith(segments, "HR").size(), 48u);
    const std::vector<std::string> flagged = rowsStartingWith(segments, "HR03A,");
    ASSERT_EQ(flagged.size(), 3u);
    EXPECT_TRUE(flagged[0].starts_with("HR03A,1900,1949,") && flagged[0].ends_with(",FALSE")) << flagged[0];
    EXPECT_TRUE(flagged[1].starts_with("HR03A,1925,1974,") && flagged[1].ends_with(",TRUE")) << flagged[1];
    EXPECT_TRUE(flagged[2].starts_with("HR03A,1950,1999,") && flagged[2].ends_with(",TRUE")) << flagged[2];
    EXPECT_EQ(segments.find(",TRUE\n"), segments.find("HR03A,1925,1974,") + flagged[1].size() - 5);
    const std::string lags = readFile(s.path("out/site-missing-xdate-lags.csv"));
    EXPECT_EQ(rowsStartingWith(lags, "HR03A,1925,").size(), 11u);
    EXPECT_EQ(rowsStartingWith(lags, "HR").size(), 22u);
    const std::string report = readFile(s.path("out/site-missing-xdate.txt"));
    EXPECT_NE(report.find("\n  HR03A   1925-1974    -0.113   0.783    +2   0.544  -0.108\n"), std::string::npos)
        << report;
    const std::string series = readFile(s.path("out/site-missing-series.csv"));
    EXPECT_TRUE(series.starts_with("series,first,last,year,mean,median,stdev,skew,gini,ar1,sens1,sens2,zeros\n"));
    EXPECT_NE(series.find("\nHR03A,1824,2018,195,"), std::string::npos) << series;
}

TEST(Crossdating, NamedFilesPicturesAndTheDetrendingBeside) {
    Scenario s;
    s.write("site.rwl", readFile(source + "/examples/site.rwl"));
    // With FILE the tables are named after it; --plot takes the picture, and
    // the series' pictures beside it when a cutoff asks for the detrending.
    Outcome o = batch(s, {"-q", "--xdate=x/report.txt", "--plot", "p", "--plot-format", "svg", "site.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.files.count("p/site-xdate.svg"), 1u);
    EXPECT_EQ(o.files.count("p/site-HR01A.svg"), 0u);
    o = batch(s, {"-q", "-c", "32", "--xdate=x/report.txt", "--plot", "p", "--plot-format", "svg", "site.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    for (const char* file : {"x/report.txt", "x/report-series.csv", "x/report-overall.csv", "x/report-segments.csv",
                             "x/report-lags.csv", "p/site-xdate.svg", "p/site-HR01A.svg"})
        EXPECT_EQ(o.files.count(file), 1u) << file;
    EXPECT_EQ(o.files.count("x/report.svg"), 0u);
    // The series statistics alone, on standard output.
    o = batch(s, {"--series-stats=-", "site.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("series,first,last,year,")) << o.out;
    EXPECT_EQ(rowsStartingWith(o.out, "HR").size(), 16u);
    EXPECT_EQ(o.err, "detrend: site.rwl: series statistics of 16 series\n");
}

TEST(Crossdating, WhatCannotBeCrossdatedIsSaid) {
    Scenario s;
    // Two series: too few. The report says so; nothing is a number that is not.
    s.write("two.csv", "Year,A,B\n1900,1,2\n1901,1.5,2.5\n1902,2,1.5\n1903,1.2,2\n1904,1.8,2.2\n");
    Outcome o = batch(s, {"--xdate=two.txt", "two.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: two.csv: crossdating of 2 series: too few to crossdate (at least 3 are needed)\n");
    const std::string report = readFile(s.path("two.txt"));
    EXPECT_NE(report.find("not crossdated    at least 3 series are needed"), std::string::npos) << report;
    EXPECT_EQ(report.find("nan"), std::string::npos) << report;
    EXPECT_EQ(readFile(s.path("two-overall.csv")), "series,r,p\nA,NA,NA\nB,NA,NA\n");
    EXPECT_EQ(o.files.count("two.png"), 1u);
    // A gap: the series is left out, named; the others are too short for a
    // segment, so only the overall correlations are given.
    s.write("gap.csv",
            "Year,A,B,C,D\n1900,1,2,1,1\n1901,1.5,-999,2,1.5\n1902,2,1.5,1.5,2\n1903,1.2,2,1,1.2\n"
            "1904,1.8,2.2,2.1,1.7\n");
    o = batch(s, {"--xdate=gap.txt", "gap.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: gap.csv: series \"B\" left out of the crossdating: it has no value for 1901, inside the "
              "series\n"
              "detrend: gap.csv: crossdating of 3 series: intercorrelation 0.822, no 50-year segment fits their "
              "years\n");
    EXPECT_NE(readFile(s.path("gap.txt")).find("Left out\n  B: it has no value for 1901, inside the series\n"),
              std::string::npos);
    // A series too short for a segment: its overall correlation only.
    std::string table = "Year,A,B,C,D\n";
    for (int year = 1900; year <= 2000; ++year) {
        const double common = std::sin(year * 1.3) + std::cos(year * 0.7);
        table += std::to_string(year);
        for (int k = 1; k <= 4; ++k)
            table += k == 4 && year < 1990 ? ",NA" : "," + std::to_string(3 + common + 0.5 * std::sin(year * k * 2.1));
        table += "\n";
    }
    s.write("short.csv", table);
    o = batch(s, {"--xdate=short.txt", "short.csv"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(
        o.err.starts_with("detrend: short.csv: series \"D\" covers no 50-year segment with a master; only its "
                          "overall correlation is given\ndetrend: short.csv: crossdating of 4 series: "))
        << o.err;
    EXPECT_NE(readFile(s.path("short.txt")).find("\n  D        1990   2000     11 "), std::string::npos);
    EXPECT_EQ(rowsStartingWith(readFile(s.path("short-segments.csv")), "D,").size(), 0u);
    // As long as a segment, but the prewhitening takes its first years.
    std::string sixty = "Year,A,B,C,D\n";
    for (int year = 1900; year <= 2000; ++year) {
        const double common = std::sin(year * 1.3) + std::cos(year * 0.7);
        sixty += std::to_string(year);
        for (int k = 1; k <= 4; ++k)
            sixty += k == 4 && year > 1949 ? ",NA" : "," + std::to_string(3 + common + 0.5 * std::sin(year * k * 2.1));
        sixty += "\n";
    }
    s.write("sixty.csv", sixty);
    o = batch(s, {"--xdate=sixty.txt", "sixty.csv"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(
        o.err.starts_with("detrend: sixty.csv: series \"D\" covers no 50-year segment with a master once its "
                          "prewhitening has taken its first "))
        << o.err;
    // Two outputs of one name, an output over the input: nothing written.
    o = batch(s, {"-c", "2", "-o", "./gap.txt", "--xdate=gap.txt", "gap.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: gap.csv: output file \"./gap.txt\" is named for two outputs of this input\n");
    o = batch(s, {"--xdate=gap.csv", "gap.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: gap.csv: output file \"gap.csv\" is the input file \"gap.csv\": writing it would destroy the "
              "input\n");
}

TEST(Readme, TheCrossdatingReportIsWhatTheProgramWrites) {
    const std::string block = readmeBlock("<!-- xdate report: site-missing.rwl -->");
    ASSERT_FALSE(block.empty());
    Scenario s;
    s.write("site-missing.rwl", withTwoRingsMissing("HR03A", 1924));
    const Outcome o = batch(s, {"-q", "--xdate=site-missing.txt", "site-missing.rwl"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(block, readFile(s.path("site-missing.txt")));
    // And the example before it, on the site as it is.
    std::filesystem::create_directory(s.path("examples"));
    s.write("examples/site.rwl", readFile(source + "/examples/site.rwl"));
    const Outcome site = batch(s, {"-d", "results", "--xdate", "examples/site.rwl"});
    EXPECT_EQ(site.status, 0) << site.err;
    EXPECT_EQ("detrend: made the output directory \"results\"\n" + readmeBlock("<!-- xdate summary -->"), site.err);
}

}  // namespace
}  // namespace detrend::e2e
