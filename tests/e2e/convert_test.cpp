// Conversions end to end: --write-series reads and writes, without a
// cutoff and without a listing; with -c the run also detrends as usual; the
// series file is refused like any output that would destroy an input or
// another output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"

namespace detrend::e2e {
namespace {

const std::string heidelberg =
    "HEADER:\nKeyCode=OAK01\nDateBegin=1991\nLength=12\nDATA:Tree\n"
    "   100   101   102   103   104   105   106   107   108   109\n   110   111\n"
    "HEADER:\nKeyCode=OAK02\nDateBegin=1995\nLength=8\nDATA:Tree\n"
    "   200   201   202   203   204   205   206   207\n";

const std::string tucson =
    "OAK01   1991   100   101   102   103   104   105   106   107   108\n"
    "OAK01   2000   109   110   111   999\n"
    "OAK02   1995   200   201   202   203   204\n"
    "OAK02   2000   205   206   207   999\n";

TEST(Convert, HeidelbergToTucsonWithoutACutoffOrListing) {
    Scenario s;
    s.write("in.fh", heidelberg);
    const Outcome o = batch(s, {"--write-series", "out.rwl", "in.fh"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "detrend: in.fh: 2 series written to \"out.rwl\"\n");
    EXPECT_EQ(o.files.at("out.rwl"), tucson);
    EXPECT_EQ(o.fileNames(), (std::vector<std::string>{"in.fh", "out.rwl"}));
}

// Years filled to detrend a series are not rings: a conversion writes them
// missing, or leaves out the series where the format has no mark for it.
TEST(Convert, FilledYearsAreNeverWrittenAsRings) {
    Scenario s;
    s.write("gf.csv", "year,A,B\n1900,1,2\n1901,NA,2\n1902,3,2\n1903,1,2\n");
    const Outcome csv = batch(s, {"-q", "--gaps", "fill", "--write-series", "out.csv", "gf.csv"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.files.at("out.csv"), "year,A,B\n1900,1,2\n1901,NA,2\n1902,3,2\n1903,1,2\n");
    const Outcome rwl = batch(s, {"-q", "--gaps", "fill", "--write-series", "out.rwl", "gf.csv"});
    EXPECT_EQ(rwl.status, 1);
    EXPECT_EQ(rwl.files.at("out.rwl"), "B       1900   200   200   200   200   999\n");
}

// Each format into a directory; the names cannot meet the detrending's
// own outputs; the series of every reader come back in the format asked.
TEST(Convert, EveryInputIntoADirectory) {
    Scenario s;
    s.write("a.fh", heidelberg);
    s.write("b.txt", "Cores of a made-up site\nN=3 I=1850 B01 (-2F8.0)~\n     150     160     170\n");
    s.write("c.xml",
            "<tridas><project><measurementSeries><title>C1</title><interpretation><firstYear>1700</firstYear>"
            "</interpretation><values><unit normalTridas=\"millimetres\"/><value value=\"1.5\"/>"
            "<value value=\"2.25\"/></values></measurementSeries></project></tridas>\n");
    const Outcome o = batch(s, {"-d", "out", "--write-series", "--series-format", "csv", "a.fh", "b.txt", "c.xml"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(readFile(s.path("out/b-series.csv")), "year,B01\n1850,1.5\n1851,1.6\n1852,1.7\n");
    EXPECT_EQ(readFile(s.path("out/c-series.csv")), "year,C1\n1700,1.5\n1701,2.25\n");
    EXPECT_EQ(o.files.count("out/a-series.csv"), 1u);
    EXPECT_EQ(o.files.count("out/a.out") + o.files.count("out/a.csv"), 0u);
}

TEST(Convert, WithACutoffTheRunDetrendsToo) {
    Scenario s;
    s.write("in.fh", heidelberg);
    const Outcome o = batch(s, {"-c", "5", "-d", "o", "--write-series", "in.fh"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readFile(s.path("o/in.rwl")), tucson);
    EXPECT_EQ(o.files.count("o/in.out"), 1u);
    EXPECT_EQ(o.files.count("o/in.csv"), 1u);
}

// A series the format cannot hold is left out, named, and the run ends with
// status 1; the others are written.
TEST(Convert, SeriesLeftOutAreNamed) {
    Scenario s;
    s.write("gap.csv", "year,A,B\n1900,1.5,2\n1901,,2.5\n1902,1.25,3\n");
    const Outcome o = batch(s, {"--write-series", "out.fh", "gap.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: gap.csv: not written: series \"A\", year 1901: no value inside the series, and the file has "
              "no mark for a missing year\n"
              "detrend: gap.csv: 1 series written to \"out.fh\", 1 left out\n");
    EXPECT_EQ(o.files.at("out.fh"),
              "HEADER:\nKeyCode=B\nDateBegin=1900\nDateEnd=1902\nLength=3\nUnit=1/100 mm\nDATA:Tree\n"
              "   200   250   300\n");
}

TEST(Convert, RefusedOverAnInputOrAnotherOutput) {
    Scenario s;
    s.write("in.fh", heidelberg);
    Outcome o = batch(s, {"--write-series", "in.fh", "in.fh"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: in.fh: output file \"in.fh\" is the input file \"in.fh\": writing it would destroy the "
              "input\n");
    EXPECT_EQ(o.files.at("in.fh"), heidelberg);
    o = batch(s, {"-c", "5", "-o", "./x.rwl", "--write-series", "x.rwl", "in.fh"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "detrend: in.fh: output file \"x.rwl\" is named for two outputs of this input\n");
    EXPECT_EQ(o.fileNames(), (std::vector<std::string>{"in.fh"}));
}

}  // namespace
}  // namespace detrend::e2e
