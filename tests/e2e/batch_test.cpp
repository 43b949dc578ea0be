// The batch command line, end to end: the listing bytes against the dialogue,
// the options, the exit statuses, skipped series, several inputs and the CSV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness.hpp"

namespace detrend::e2e {
namespace {

using namespace std::string_literals;

std::string golden(const std::string& name) { return readFile(std::string(DETREND_GOLDEN_DIR) + "/" + name); }

const std::string usageHint = "Try 'detrend --help' for more information.\n";

// Six series: A and B whole, C with a gap, D without values, E of 4 years
// (too short for cutoff 5), F whole.
const std::string mixedTable =
    "Year A B C D E F\n"
    "1900 1.10 0.90 1.00 -999 -999 2.0\n"
    "1901 1.30 0.80 1.20 -999 -999 2.2\n"
    "1902 0.95 1.10 -999 -999 -999 1.9\n"
    "1903 1.05 1.20 0.90 -999 1.0 2.4\n"
    "1904 0.85 0.95 1.10 -999 1.1 2.1\n"
    "1905 1.20 1.05 1.00 -999 0.9 2.0\n"
    "1906 1.00 0.90 0.95 -999 1.2 1.8\n"
    "1907 0.90 1.15 1.05 -999 -999 2.3\n"
    "1908 1.15 1.00 0.98 -999 -999 2.2\n"
    "1909 0.99 0.97 1.02 -999 -999 1.9\n";

const std::string mixedSkips =
    "detrend: t.txt: series \"C\" skipped: it has no value for 1902, inside the series\n"
    "detrend: t.txt: series \"D\" skipped: it has no values\n"
    "detrend: t.txt: series \"E\" skipped: the cutoff 5 is not below its length of 4 years\n";

TEST(Batch, ListingIsTheDialoguesListing) {
    Scenario s;
    s.write("two.txt", golden("two_series.txt"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-c", "5", "two.txt", "-o", "l.out"},
                                                 {"--cutoff=5", "--output", "l.out", "--", "two.txt"},
                                                 {"-c5", "-ol.out", "-j", "1", "two.txt"}}) {
        const Outcome o = batch(s, args);
        EXPECT_EQ(o.status, 0) << args[0];
        EXPECT_EQ(o.err, "detrend: two.txt: 2 series detrended, 0 skipped\n");
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.files.at("l.out"), golden("two_series_cutoff5.listing"));
    }
    // One input and no output named: the listing on standard output.
    const Outcome o = batch(s, {"-q", "-c", "5", "two.txt"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out, golden("two_series_cutoff5.listing"));
    // Standard input as the input.
    const Outcome fromStdin = batch(s, {"-q", "-c", "5", "-"}, {}, golden("two_series.txt"));
    EXPECT_EQ(fromStdin.out, golden("two_series_cutoff5.listing"));
}

// A usage error, end to end: status 2, the message and the hint, nothing
// written. Every refusal's text is in the command line's own tests.
TEST(Batch, UsageErrors) {
    Scenario s;
    s.write("t.txt", mixedTable);
    const Outcome o = batch(s, {"-c", "0", "t.txt"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err,
              "detrend: --cutoff 0: expected a whole number of years >= 2, or a share such as 67%\n" + usageHint);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.fileNames(), std::vector<std::string>{"t.txt"});
}

TEST(Batch, SkippedSeriesAreNamedAndLeftOut) {
    Scenario s;
    s.write("t.txt", mixedTable);
    const Outcome o = batch(s, {"-c", "5", "t.txt", "-o", "t.out", "--csv", "t.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, mixedSkips + "detrend: t.txt: 3 series detrended, 3 skipped\n");
    const std::string listing = o.files.at("t.out");
    for (const char* name : {"A   ", "B   ", "F   "})
        EXPECT_NE(listing.find(std::string(" Input series is: ") + name), std::string::npos) << name;
    for (const char* name : {"C   ", "D   ", "E   "})
        EXPECT_EQ(listing.find(std::string(" Input series is: ") + name), std::string::npos) << name;
    EXPECT_EQ(o.files.at("t.csv").substr(0, 11), "year,A,B,F\n");
    // -q keeps the errors only.
    EXPECT_EQ(batch(s, {"-q", "-c", "5", "t.txt", "-o", "t.out"}).err, mixedSkips);
    // A share that comes to 1 year would make a straight line of the spline.
    EXPECT_EQ(batch(s, {"-q", "-c", "30%", "t.txt", "-o", "t.out"}).err,
              "detrend: t.txt: series \"C\" skipped: it has no value for 1902, inside the series\n"
              "detrend: t.txt: series \"D\" skipped: it has no values\n"
              "detrend: t.txt: series \"E\" skipped: its cutoff of 1 year is below 2 years, the shortest period "
              "annual values have\n");
    // Names a table's 20 characters make alike are noted once per name.
    s.write("n.txt",
            "Year ABCDEFGHIJKLMNOPQRSTU1 X ABCDEFGHIJKLMNOPQRSTU2 X\n1900 1 2 1 1\n1901 2 1 1 2\n1902 3 3 2 "
            "1\n1903 1 2 1 3\n");
    EXPECT_EQ(batch(s, {"-c", "2", "n.txt", "-o", "n.out"}).err,
              "detrend: n.txt: the name \"ABCDEFGHIJKLMNOPQRST\" is given to 2 series (numbers 1 and 3 in the file); "
              "the outputs name them alike\n"
              "detrend: n.txt: the name \"X\" is given to 2 series (numbers 2 and 4 in the file); the outputs name "
              "them alike\n"
              "detrend: n.txt: 4 series detrended, 0 skipped\n");
    // A constant series has no filter, so no spline: named, and left out.
    s.write("k.txt", "Year A K\n1900 1.1 1\n1901 1.3 1\n1902 0.9 1\n1903 1.0 1\n1904 1.2 1\n1905 0.8 1\n");
    const Outcome k = batch(s, {"-q", "-c", "3", "k.txt", "-o", "k.out"});
    EXPECT_EQ(k.status, 1);
    EXPECT_EQ(k.err,
              "detrend: k.txt: series \"K\" skipped: no spline: the prediction-error filter of length 3 is "
              "undefined: the series is constant or repeats an exact pattern\n");
    EXPECT_EQ(k.files.at("k.out").find("Input series is: K "), std::string::npos);
}

// Parses the listing's year lines into year -> {unfilt, spline, resids}.
std::vector<std::vector<double>> yearLines(const std::string& listing) {
    std::vector<std::vector<double>> lines;
    std::istringstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() != 30 || line[4] < '0' || line[4] > '9') continue;
        lines.push_back({std::stod(line.substr(0, 5)), std::stod(line.substr(5, 8)), std::stod(line.substr(13, 8)),
                         std::stod(line.substr(21, 8))});
    }
    return lines;
}

TEST(Batch, CsvHoldsTheIndexOfEverySeriesByYear) {
    Scenario s;
    s.write("t.txt", golden("two_series.txt"));
    for (const char* index : {"difference", "ratio"}) {
        const Outcome o = batch(s, {"-q", "-c", "5", "--index", index, "--csv", "t.csv", "-o", "t.out", "t.txt"});
        ASSERT_EQ(o.status, 0) << o.err;
        std::istringstream csv(o.files.at("t.csv"));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "year,Site A,SiteB");
        const auto listed = yearLines(o.files.at("t.out"));  // Site A's 12 lines, then SiteB's 9
        ASSERT_EQ(listed.size(), 21u);
        for (int year = 1850; year <= 1861; ++year) {
            ASSERT_TRUE(std::getline(csv, line));
            std::istringstream cells(line);
            std::string cell;
            std::vector<std::string> row;
            while (std::getline(cells, cell, ',')) row.push_back(cell);
            ASSERT_EQ(row.size(), 3u) << line;
            EXPECT_EQ(row[0], std::to_string(year));
            for (int series = 0; series < 2; ++series) {
                const std::string& value = row[static_cast<std::size_t>(series + 1)];
                const int first = series == 0 ? 0 : 12 - 3;  // SiteB starts in 1853
                const int i = series == 0 ? year - 1850 : year - 1853;
                if (series == 1 && year < 1853) {
                    EXPECT_EQ(value, "NA");
                    continue;
                }
                const auto& l = listed[static_cast<std::size_t>(series == 0 ? i : 12 + i)];
                (void)first;
                const double expected = std::string(index) == "difference" ? l[3] : l[1] / l[2];
                EXPECT_NEAR(std::stod(value), expected, std::string(index) == "difference" ? 0.0005 : 0.002)
                    << index << " " << year;
            }
        }
        EXPECT_FALSE(std::getline(csv, line));
    }
}

TEST(Batch, SeveralInputsIntoADirectory) {
    Scenario s;
    s.write("two.txt", golden("two_series.txt"));
    s.write("t.txt", mixedTable);
    s.write("bad.txt", "Year A\n1900 1.0\n1901 x\n");
    std::filesystem::create_directory(s.path("out"));
    const Outcome o = batch(s, {"-c", "5", "-d", "out", "two.txt", "missing.txt", "bad.txt", "t.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: two.txt: 2 series detrended, 0 skipped\n"
              "detrend: missing.txt: cannot read: No such file or directory\n"
              "detrend: bad.txt:3:6: Illegal character in numeric input (item 2: \"x\") [read as a free-layout table; "
              "if it is not one, give --format]\n" +
                  mixedSkips + "detrend: t.txt: 3 series detrended, 3 skipped\n");
    EXPECT_EQ(readFile(s.path("out/two.out")), golden("two_series_cutoff5.listing"));
    EXPECT_EQ(readFile(s.path("out/two.csv")).substr(0, 17), "year,Site A,SiteB");
    EXPECT_FALSE(readFile(s.path("out/t.out")).empty());
    EXPECT_FALSE(std::ifstream(s.path("out/bad.out")).good());
    EXPECT_FALSE(std::ifstream(s.path("out/missing.out")).good());
}

TEST(Batch, OutputsAreNeverInputsAndSurviveUnreadableInputs) {
    Scenario s;
    s.write("t.txt", golden("two_series.txt"));
    s.write("bad.txt", "Year A\n1900 1.0\n1902 1.0\n");
    s.write("old.out", "previous results\n");
    Outcome o = batch(s, {"-c", "5", "-o", "t.txt", "t.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "detrend: t.txt: output file \"t.txt\" is the input file \"t.txt\": writing it would destroy the "
              "input\n");
    EXPECT_EQ(o.files.at("t.txt"), golden("two_series.txt"));
    o = batch(s, {"-c", "5", "-o", "old.out", "bad.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(
        o.err,
        "detrend: bad.txt:3:1: years do not rise by one: 1902 follows 1900 [read as a free-layout table; if it is "
        "not one, give --format]\n");
    EXPECT_EQ(o.files.at("old.out"), "previous results\n");
}

// The same bytes with one worker and with several, skipped series included.
TEST(Batch, ResultsDoNotDependOnJobs) {
    Scenario s;
    std::string table = "Year";
    for (int k = 0; k < 30; ++k) table += " S" + std::to_string(k);
    table += "\n";
    for (int y = 0; y < 300; ++y) {
        table += std::to_string(1700 + y);
        for (int k = 0; k < 30; ++k) {
            const bool present = y >= 5 * k && !(k % 7 == 3 && y == 150);
            table += present ? " " + std::to_string(1.0 + 0.001 * ((y * 37 + k * 11) % 541)) : " -999";
        }
        table += "\n";
    }
    s.write("t.txt", table);
    Outcome runs[2];
    for (const int jobs : {1, 4}) {
        const std::string j = std::to_string(jobs);
        runs[jobs / 4] = batch(s, {"-q", "-c", "40%", "-j", j, "-o", j + ".out", "--csv", j + ".csv",
                                   "--chron=" + j + ".chron", "--stats=" + j + ".stats", "--plot", j, "t.txt"});
    }
    const Outcome& one = runs[0];
    const Outcome& four = runs[1];
    EXPECT_EQ(one.status, 1);  // the series with a gap
    EXPECT_EQ(four.status, 1);
    EXPECT_EQ(one.err, four.err);
    for (const char* file : {".out", ".csv", ".chron", ".stats"})
        EXPECT_EQ(one.files.at(std::string("1") + file), four.files.at(std::string("4") + file)) << file;
    for (const char* picture : {"t-S0.png", "t-chron.png"})
        EXPECT_EQ(readFile(s.path(std::string("1/") + picture)), readFile(s.path(std::string("4/") + picture)));
    EXPECT_GT(one.files.at("1.out").size(), 100000u);
}

// The dialogue's capacities do not bind batch runs: 800 series.
TEST(Batch, MoreSeriesThanTheDialogueTakes) {
    Scenario s;
    std::string table = "Year";
    for (int k = 0; k < 800; ++k) table += " S" + std::to_string(k);
    table += "\n";
    for (int y = 0; y < 12; ++y) {
        table += std::to_string(1900 + y);
        for (int k = 0; k < 800; ++k) table += " " + std::to_string(1.0 + 0.01 * ((y * 7 + k) % 13));
        table += "\n";
    }
    s.write("wide.txt", table);
    const Outcome o = batch(s, {"-c", "5", "-o", "wide.out", "wide.txt"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "detrend: wide.txt: 800 series detrended, 0 skipped\n");
    const std::string& listing = o.files.at("wide.out");
    std::size_t blocks = 0;
    for (std::size_t at = listing.find("Input series is:"); at != std::string::npos;
         at = listing.find("Input series is:", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, 800u);
}

// The example Tucson file and the example CSV hold the same rings: the same
// listing whichever is read, and a Tucson fault is reported where it is.
TEST(Batch, TucsonAndCsvExamplesGiveTheSameListing) {
    const std::string examples = std::string(DETREND_SOURCE_DIR) + "/examples/";
    Scenario s;
    s.write("oaks.rwl", readFile(examples + "oaks.rwl"));
    s.write("oaks.csv", readFile(examples + "oaks.csv"));
    const Outcome rwl = batch(s, {"-q", "-c", "20", "oaks.rwl"});
    const Outcome csv = batch(s, {"-q", "-c", "20", "oaks.csv"});
    EXPECT_EQ(rwl.status, 0) << rwl.err;
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(rwl.out, csv.out);
    EXPECT_EQ(rwl.out.substr(0, 42), "\r\n Input series is: OAK01               \r\n");

    s.write("bad.rwl", "OAK01   1921   228   204   228\nOAK01   1930   146   x82   999\n");
    const Outcome bad = batch(s, {"-c", "20", "bad.rwl", "--format", "tucson"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err.substr(0, 19), "detrend: bad.rwl:2:");
}

// What standard error says of a file read in the end: the format assumed,
// the notes of the readers, a chronology refused.
TEST(Batch, ReadersSayWhatTheyAssumedAndRead) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> options;
        int status;
        std::string err;
    };
    const std::string ring = "A       1850   100   110   120   130   140   150   160   170   180   190\n";
    const Case cases[] = {
        {"t.rwl",
         "A       1850   100   110   120\nA       1853   1x0   999\n",
         {},
         1,
         "t.rwl:2:16: expected an integer in columns 13-18, found \"1x0\" [read as a Tucson file; if it is not one, "
         "give --format]\n"},
        {"t.rwl",
         "A  1850 1 2 3 4 5 6 7 8 9\n",
         {"--format", "tucson"},
         0,
         "t.rwl: series A has no stop marker; its values are read as hundredths of a millimetre\n"
         "t.rwl: 1 series detrended, 0 skipped\n"},
        {"s.crn",
         ring,
         {},
         1,
         "s.crn: a .crn file holds a chronology, not ring widths (if it holds ring widths after all, --format tucson "
         "reads them)\n"},
        {"t.rwl",
         ring + "A       1860     .   -99   120   999   B       1850   100   110   120   130   140  -9999\n",
         {},
         0,
         "t.rwl: line 2 holds two records that lost their line break; each is read as a line of its own\n"
         "t.rwl: series \"A\": 2 absent rings read as 0, first in 1860\n"
         "t.rwl: 2 series detrended, 0 skipped\n"},
        {"t.txt",
         "Year A\n1900 1 9\n1901 2 9\n1902 1 9\n1903 3 9\n",
         {"--columns", "2"},
         0,
         "t.txt: line 2: 3 items found, 2 columns given (--columns); the extra ones are ignored, on this line and 3 "
         "more\nt.txt: 1 series detrended, 0 skipped\n"},
        {"r.csv",
         "A,B\n1900,1.1,2.3\n1901,2.2,1.4\n1902,1.3,3.5\n1903,3.4,2.1\n1904,1.2,2.9\n",
         {},
         0,
         "r.csv: line 1, the header, names 2 series for rows of 3 cells: the first column is read as the years, as R "
         "writes row names\nr.csv: 2 series detrended, 0 skipped\n"},
        {"w.csv",
         "\"\",\"year\",\"A\"\n\"1\",1900,1.1\n\"2\",1901,2.2\n\"3\",1902,1.3\n\"4\",1903,3.4\n\"5\",1904,1.2\n",
         {},
         0,
         "w.csv: the first column, without a name, counts the rows (as R's write.csv or pandas' to_csv writes them); "
         "the years are read from column 2, \"year\"\nw.csv: 1 series detrended, 0 skipped\n"},
        // A fractional year in a CSV file read as a table: refused, as in CSV.
        {"f.csv",
         "year,A,B\n1900.5,1,2\n1901.5,2,3\n",
         {},
         1,
         "f.csv:2:1: expected a year, found \"1900.5\" [read as a free-layout table; if it is not one, give "
         "--format]\n"},
        // Not text: refused before any reader looks at a line.
        {"p.rwl", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, {}, 1, "p.rwl: not a text file: it looks like a PNG image\n"},
        {"x.csv",
         "PK\x03\x04\x14\0\x06\0"s,
         {"--format", "csv"},
         1,
         "x.csv: not a text file: it looks like a ZIP archive (an .xlsx or .ods spreadsheet is one)\n"},
        {"n.rwl",
         "A       1850   100\0 999\n"s,
         {},
         1,
         "n.rwl: not a text file: it holds NUL bytes in its first kilobytes\n"},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write(c.name, c.bytes);
        std::vector<std::string> arguments = {"-c", "3", "-o", "l.out", c.name};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Outcome o = batch(s, arguments);
        EXPECT_EQ(o.status, c.status) << c.bytes;
        std::string expected;
        for (std::size_t at = 0; at < c.err.size(); at = c.err.find('\n', at) + 1)
            expected += "detrend: " + c.err.substr(at, c.err.find('\n', at) + 1 - at);
        EXPECT_EQ(o.err, expected) << c.bytes;
    }
}

// A Tucson file of two series, 1850-1899: A without lines for 1870-1879.
std::string gappedTucson() {
    std::string text;
    for (const char* id : {"A", "B"}) {
        for (int decade = 1850; decade < 1900; decade += 10) {
            if (id == std::string("A") && decade == 1870) continue;
            char line[80];
            std::snprintf(line, sizeof line, "%-8s%4d", id, decade);
            text += line;
            for (int k = 0; k < 10; ++k) {
                std::snprintf(line, sizeof line, "%6d", 100 + (decade / 10 + k * (id[0] - 'A' + 3)) % 37 * 5);
                text += line;
            }
            text += "\n";
        }
        text += std::string(id) + "       1900   999\n";
    }
    return text;
}

// The CSV's cells of `year`, split at commas.
std::vector<std::string> csvRow(const std::string& csv, const std::string& year) {
    const std::size_t at = csv.find("\n" + year + ",");
    std::vector<std::string> cells;
    std::istringstream row(csv.substr(at + 1, csv.find('\n', at + 1) - at - 1));
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    return cells;
}

TEST(Batch, GapsSkippedSplitOrFilled) {
    Scenario s;
    s.write("g.rwl", gappedTucson());
    const std::vector<std::string> common = {"-c", "8", "-d", "out", "--chron", "g.rwl"};
    // The rule, and more arguments after it on lines of their own.
    auto run = [&](const std::string& rule) {
        std::vector<std::string> arguments = common;
        arguments.push_back("--gaps");
        std::istringstream words(rule);
        for (std::string word; std::getline(words, word);) arguments.push_back(word);
        return batch(s, arguments);
    };
    const Outcome skip = run("skip");
    EXPECT_EQ(skip.status, 1);
    EXPECT_EQ(skip.err,
              "detrend: made the output directory \"out\"\n"
              "detrend: g.rwl: series \"A\" skipped: it has no values for 1870 to 1879, between lines 2 and 3\n"
              "detrend: g.rwl: 1 series detrended, 1 skipped\n");

    const Outcome split = run("split");
    EXPECT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.err,
              "detrend: g.rwl: series \"A\" is split at its gaps into \"A.1\" (1850 to 1869) and \"A.2\" (1880 to "
              "1899)\ndetrend: g.rwl: 3 series detrended, 0 skipped\n");
    const std::string splitCsv = readFile(s.path("out/g.csv"));
    EXPECT_EQ(splitCsv.substr(0, splitCsv.find('\n')), "year,A.1,A.2,B");
    EXPECT_EQ(csvRow(splitCsv, "1875")[1], "NA");
    EXPECT_NE(readFile(s.path("out/g.out")).find(" Input series is: A.2 "), std::string::npos);

    const Outcome fill = run("fill\n--plot\nplots");
    EXPECT_EQ(fill.status, 0) << fill.err;
    EXPECT_TRUE(std::filesystem::exists(s.path("plots/g-A.png")));
    EXPECT_EQ(fill.err,
              "detrend: made the plot directory \"plots\"\n"
              "detrend: g.rwl: series \"A\": 10 years without a value inside it, first 1870, filled by linear "
              "interpolation to detrend it; NA there in every output\n"
              "detrend: g.rwl: series \"A\": its index has no value inside it (a spline not positive there, or "
              "years filled by --gaps fill); it is left out of the residual chronology\n"
              "detrend: g.rwl: 2 series detrended, 0 skipped\n");
    const std::string csv = readFile(s.path("out/g.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "year,A,B");
    for (const char* year : {"1870", "1879"}) EXPECT_EQ(csvRow(csv, year)[1], "NA") << year;
    EXPECT_NE(csvRow(csv, "1869")[1], "NA");
    EXPECT_NE(csvRow(csv, "1880")[1], "NA");
    // The listing keeps a line for every year, NaN in the filled ones.
    const std::string listing = readFile(s.path("out/g.out"));
    EXPECT_NE(listing.find(" 1870     NaN     NaN     NaN\r\n"), std::string::npos);
    EXPECT_NE(listing.find(" 1880 "), std::string::npos);
    // The chronology's depth counts the series present, not the years filled.
    const std::string chronology = readFile(s.path("out/g-chron.csv"));
    EXPECT_EQ(csvRow(chronology, "1875")[3], "1");
    EXPECT_EQ(csvRow(chronology, "1885")[3], "2");

    const Outcome wrong = batch(s, {"-c", "8", "--gaps", "merge", "g.rwl"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, "detrend: --gaps merge: expected skip, split or fill\n" + usageHint);
}

TEST(Batch, PlotFilesForEverySeriesDetrended) {
    Scenario s;
    s.write("t.txt", mixedTable);
    std::filesystem::create_directory(s.path("plots"));
    for (const char* format : {"png", "svg"}) {
        const Outcome o =
            batch(s, {"-q", "-c", "5", "--plot", "plots", "--plot-format", format, "-o", "t.out", "t.txt"});
        EXPECT_EQ(o.status, 1);  // three series skipped
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(s.path("plots")))
            if (entry.path().extension() == std::string(".") + format)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        const std::string ext = std::string(".") + format;
        EXPECT_EQ(names, (std::vector<std::string>{"t-A" + ext, "t-B" + ext, "t-F" + ext})) << format;
        for (const std::string& name : names) EXPECT_GT(readFile(s.path("plots/" + name)).size(), 1000u) << name;
    }
}

}  // namespace
}  // namespace detrend::e2e
