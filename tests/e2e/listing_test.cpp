// Runs that treat series: the filter lines on the console and the results
// listing, byte for byte. The golden listings were checked against an
// independent re-computation of the whole pipeline.
#include <gtest/gtest.h>

#include <string>

#include "console_text.hpp"
#include "harness.hpp"

#ifndef DETREND_GOLDEN_DIR
#error "DETREND_GOLDEN_DIR must name the directory of the expected files"
#endif

namespace detrend::e2e {
namespace {

std::string golden(const std::string& name) { return readFile(std::string(DETREND_GOLDEN_DIR) + "/" + name); }

std::string announcement(const std::string& length) {
    return "\n *** Computing prediction error filter (length " + length + ") for extrapolation\n\n";
}

const std::string tooLongLines =
    "\n"
    " *** series too long for spline subroutine ***\n"
    "  *** enlarge mxy parameter in subroutine ***\n"
    "\n";

// The console of a run on `table` with one series line per entry of `series`.
std::string opening(const std::string& seriesLines) {
    return openingPrompts + seriesReadHeading + seriesLines + cutoffPrompt;
}

struct Golden {
    const char* table;
    const char* columns;
    const char* cutoff;
    std::string seriesLines;
    std::string filterLines;
    const char* listing;
};

TEST(Listing, GoldenRuns) {
    const Golden cases[] = {
        // one line of 3 coefficients, 20 year lines from 1901
        {"twenty.txt", "2", "3", " Ring01                  1901    1920\n",
         announcement("  3") + " ip:   3\n   -0.122  -0.534   0.128\n", "twenty_cutoff3.listing"},
        // 12 coefficients: 10 on the first line, 2 on the second
        {"twenty.txt", "2", "12", " Ring01                  1901    1920\n",
         announcement(" 12") + " ip:  12\n"
                               "    0.244  -0.722   0.207  -0.384   0.123  -0.105  -0.305  -0.016  -0.507   0.263\n"
                               "   -0.725   0.271\n",
         "twenty_cutoff12.listing"},
        // two series with different first years; a quoted name with a blank
        {"two_series.txt", "3", "5", " Site A                  1850    1861\n SiteB                   1853    1861\n",
         announcement("  5") + " ip:   5\n   -0.055  -0.008  -0.302  -0.127   0.679\n" + announcement("  5") +
             " ip:   5\n    0.352   0.808   0.029  -0.890   0.109\n",
         "two_series_cutoff5.listing"},
        // values too wide for their fields print as asterisks
        {"too_wide.txt", "2", "2", " Big                        1    1906\n", "", "too_wide_cutoff2.listing"},
    };
    for (const Golden& c : cases) {
        Scenario s;
        s.write("table.txt", golden(c.table));
        const Outcome o = s.run(std::string("table.txt\nlisting.txt\n") + c.columns + "\n-999\n" + c.cutoff + "\n");
        EXPECT_EQ(o.status, 0) << c.listing;
        EXPECT_EQ(o.err, noDisplayNote) << c.listing;
        if (!c.filterLines.empty()) {
            EXPECT_EQ(o.out, opening(c.seriesLines) + c.filterLines + closingLines) << c.listing;
        }
        EXPECT_EQ(o.files.at("listing.txt"), golden(c.listing)) << c.listing;
    }
}

TEST(Listing, BlocksHaveTheirOwnLayout) {
    const std::string listing = golden("twenty_cutoff3.listing");
    // First line empty, then the series heading of 38 characters and the
    // column heading of 29; every line ends in CR LF, the last one too.
    EXPECT_EQ(listing.substr(0, 2), "\r\n");
    EXPECT_EQ(listing.substr(2, 40), " Input series is: Ring01              \r\n");
    EXPECT_EQ(listing.substr(42, 31), " year  unfilt  spline  resids\r\n");
    EXPECT_EQ(listing.size(), 2 + 40 + 31 + 20 * 31u);
    EXPECT_EQ(listing.substr(listing.size() - 31, 5), " 1920");
}

// Five values with no spline: the failure of the filter gives the sign-bit
// NaN of 0/0, the spline's failure the positive NaN put in its place.
const std::string fiveValues = "Year S\n1 1.5\n2 0.5\n3 2.5\n4 1.0\n5 2.0\n";
std::string fiveValueListing(const std::string& nan) {
    std::string listing = "\r\n Input series is: S                   \r\n year  unfilt  spline  resids\r\n";
    const char* rows[] = {"    1   1.500", "    2   0.500", "    3   2.500", "    4   1.000", "    5   2.000"};
    for (const char* row : rows) listing += row + nan + nan + "\r\n";
    return listing;
}

TEST(Listing, AFilterAsLongAsTheSeriesGivesNotANumber) {
    Scenario s;
    s.write("t.txt", fiveValues);
    const Outcome o = s.run("t.txt\nl.txt\n2\n-999\n5\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, opening(" S                          1       5\n") + announcement("  5") +
                         " ip:   5\n     -NaN    -NaN    -NaN    -NaN    -NaN\n" + closingLines);
    EXPECT_EQ(o.files.at("l.txt"), fiveValueListing("    -NaN"));
}

TEST(Listing, CutoffZeroWaitsForALineAndFailsTheSpline) {
    Scenario s;
    s.write("t.txt", fiveValues);
    const Outcome o = s.run("t.txt\nl.txt\n2\n-999\n0\nanything at all\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, opening(" S                          1       5\n") + announcement("  0") +
                         " never get here\n ip:   0\n>> sbr spline: matrix not positive definite\n" + closingLines);
    EXPECT_EQ(o.files.at("l.txt"), fiveValueListing("     NaN"));

    // The wait needs a line: the end of the console input ends the run, which
    // leaves the listing of the run before as it was.
    const Outcome eof = s.run("t.txt\nl.txt\n2\n-999\n0\n");
    EXPECT_EQ(eof.status, 1);
    EXPECT_EQ(eof.err, "detrend: Attempt to read past end of file (the line awaited after \"never get here\")\n");
    EXPECT_EQ(eof.files.at("l.txt"), fiveValueListing("     NaN"));
}

TEST(Listing, AFailedSplineShowsNotANumberNotAnEarlierSeries) {
    // Series B has one value: with cutoff 1 its extended series has 3 values,
    // too short for the spline.
    Scenario s;
    s.write("t.txt", "Year A B\n1 1.1 -999\n2 0.9 -999\n3 1.3 -999\n4 0.7 -999\n5 1.2 -999\n6 0.8 -999\n7 1.0 2.5\n");
    const Outcome o = s.run("t.txt\nl.txt\n3\n-999\n1\n");
    EXPECT_EQ(o.status, 1);
    const std::string& listing = o.files.at("l.txt");
    EXPECT_EQ(listing.substr(listing.find("\r\n\r\n") + 2),
              "\r\n Input series is: B                   \r\n year  unfilt  spline  resids\r\n"
              "    7   2.500     NaN     NaN\r\n");
}

TEST(Listing, EverySeriesWithoutASplineIsNamedAndFailsTheRun) {
    // The listing shows NaN for such a series; standard error says which
    // series and why, in series order, and the completed run ends with 1.
    const std::string sevenValues =
        "Year A B\n1 1.1 -999\n2 0.9 -999\n3 1.3 -999\n4 0.7 2\n5 1.2 1\n6 0.8 3\n7 1.0 2.5\n";
    struct Case {
        const char* what;
        std::string table;
        std::string replies;  // from the number of columns on
        std::string err;
    };
    const Case cases[] = {
        {"a cutoff as long as the series", fiveValues, "2\n-999\n5\n",
         "detrend: series S: no spline: the cutoff 5 is not below the series' length 5\n" + noDisplayNote},
        {"a cutoff of 0", fiveValues, "2\n-999\n0\n\n",
         "detrend: series S: no spline: the cutoff 0 is not a period\n" + noDisplayNote},
        {"only the second series", sevenValues, "3\n-999\n5\n",
         noDisplayNote + "detrend: series B: no spline: the cutoff 5 is not below the series' length 4\n"},
        {"both series, in order", sevenValues, "3\n-999\n0\n\n\n",
         "detrend: series A: no spline: the cutoff 0 is not a period\n" + noDisplayNote +
             "detrend: series B: no spline: the cutoff 0 is not a period\n"},
        {"a constant series", "Year C\n1 2\n2 2\n3 2\n4 2\n5 2\n", "2\n-999\n2\n",
         "detrend: series C: no spline: the prediction-error filter of length 2 is undefined: the series is "
         "constant or repeats an exact pattern\n" +
             noDisplayNote},
        {"a value beyond single precision", "Year H\n1 1e39\n2 1\n3 2\n4 1\n5 3\n", "2\n-999\n1\n",
         "detrend: series H: no spline: a value is too large for single precision\n" + noDisplayNote},
        {"values whose sum overflows single precision", "Year H\n1 1e38\n2 3e38\n3 2e38\n4 3e38\n5 1e38\n",
         "2\n-999\n2\n",
         "detrend: series H: no spline: the sum of its values is too large for single precision\n" + noDisplayNote},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.write("t.txt", c.table);
        const Outcome o = s.run("t.txt\nl.txt\n" + c.replies);
        EXPECT_EQ(o.err, c.err) << c.what;
        EXPECT_EQ(o.status, 1) << c.what;
        EXPECT_EQ(o.out.substr(o.out.size() - closingLines.size()), closingLines) << c.what;
        EXPECT_NE(o.files.at("l.txt").find("NaN\r\n"), std::string::npos) << c.what;
    }
}

// A table whose series A has 9940 values (n + 2 x 30 = 10000) and B 9941.
std::string capacityTable() {
    std::string table = "Year A B\n";
    for (int i = 1; i <= 9941; ++i)
        table += std::to_string(i) + (i == 1 ? " -999 " : " 1.25 ") + (i % 2 ? "1.5\n" : "0.5\n");
    return table;
}

TEST(Listing, TenThousandExtendedValuesFitAndOneMoreEndsTheRun) {
    Scenario s;
    s.write("t.txt", capacityTable());
    const Outcome o = s.run("t.txt\nl.txt\n3\n-999\n30\n");
    EXPECT_EQ(o.status, 1);
    // The constant series A has no filter; the note on plots comes after its
    // block; nothing about the stop.
    EXPECT_EQ(o.err,
              "detrend: series A: no spline: the prediction-error filter of length 30 is undefined: the series is "
              "constant or repeats an exact pattern\n" +
                  noDisplayNote);
    // B's filter lines, then the message, and nothing after it.
    const std::string tail = announcement(" 30") + " ip:  30\n";
    const std::size_t at = o.out.rfind(tail);
    ASSERT_NE(at, std::string::npos);
    const std::string afterFilter = o.out.substr(at + tail.size());
    EXPECT_EQ(afterFilter.substr(afterFilter.size() - tooLongLines.size()), tooLongLines);
    EXPECT_EQ(afterFilter.size(), 3 * 82 + tooLongLines.size());  // three full lines of coefficients
    // The listing keeps A's complete block and nothing of B.
    const std::string& listing = o.files.at("l.txt");
    EXPECT_EQ(listing.size(), 2 + 40 + 31 + 9940 * 31u);
    EXPECT_EQ(listing.substr(listing.size() - 31, 5), " 9941");
    EXPECT_EQ(listing.find("Input series is: B"), std::string::npos);
}

TEST(Listing, ACutoffAboveTheCapacityEndsTheRunAfterTheAnnouncement) {
    Scenario s;
    s.write("t.txt", fiveValues);
    for (const char* cutoff : {"10001", "2147483647"}) {
        const Outcome o = s.run(std::string("t.txt\nl.txt\n2\n-999\n") + cutoff + "\n");
        EXPECT_EQ(o.status, 1) << cutoff;
        EXPECT_EQ(o.out, opening(" S                          1       5\n") + announcement("***") + tooLongLines);
        EXPECT_EQ(o.files.at("l.txt"), "");
    }
}

TEST(Listing, TheLargestAcceptedCutoffReachesTheSplinesCheck) {
    // cutoff 10000 fits the coefficients; n + 2 x 10000 does not fit the spline.
    Scenario s;
    s.write("t.txt", "Year S\n1 1.5\n2 0.5\n3 2.5\n");
    const Outcome o = s.run("t.txt\nl.txt\n2\n-999\n10000\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out.substr(o.out.size() - tooLongLines.size()), tooLongLines);
    // 10000 coefficients, NaN from the third stage on: 1000 lines.
    const std::size_t list = o.out.find(" ip: ***\n");
    ASSERT_NE(list, std::string::npos);
    EXPECT_EQ(o.out.size() - list - 9 - tooLongLines.size(), 1000 * 82u);
    EXPECT_EQ(o.out.substr(list + 9, 9), "     -NaN");
}

}  // namespace
}  // namespace detrend::e2e
