#include "output/write_heidelberg.hpp"
#include "output/write_series_csv.hpp"
#include "output/write_tucson.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "formats/read_csv.hpp"
#include "formats/read_heidelberg.hpp"
#include "formats/read_series.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::output {
namespace {

using formats::Series;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A series of whole hundredths or thousandths, as a reader of them makes it.
Series rings(std::string name, long long first, std::vector<long long> units, double per = 100.0) {
    Series s{std::move(name), first, {}, {}};
    for (long long u : units) s.values.push_back(static_cast<double>(u) / per);
    return s;
}

// The series of `text` as detrend's Tucson reader gives them; the reader
// must take the file without a warning.
std::vector<Series> readByDetrend(const std::string& text) {
    const base::Result<formats::SeriesSet> read = formats::readTucson(text);
    EXPECT_TRUE(read.ok()) << read.error().line << ":" << read.error().column << ": " << read.why();
    if (!read.ok()) return {};
    EXPECT_TRUE(read->warnings.empty()) << read->warnings.front();
    return read->series;
}

// The same values, NaN standing for NaN.
bool sameValues(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}

void expectSame(const std::vector<Series>& got, const std::vector<Series>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].firstYear, want[i].firstYear) << want[i].name;
        EXPECT_TRUE(sameValues(got[i].values, want[i].values))
            << want[i].name << ": " << testing::PrintToString(got[i].values);
        EXPECT_FALSE(got[i].problem) << want[i].name;
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find('\n', pos);
        EXPECT_NE(end, std::string::npos) << "the last line has no line end";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// An integer right-aligned in a fixed field: blanks, then digits with an
// optional sign.
bool fieldInteger(std::string_view field, long long& value) {
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    const char* end = field.data() + field.size();
    const auto [stop, status] = std::from_chars(field.data() + first, end, value);
    return status == std::errc() && stop == end;
}

std::string_view idOf(std::string_view line) {
    std::string_view id = line.substr(0, 8);
    while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
    return id;
}

// A decade file read by the archive's definition alone: the series id in
// columns 1-8, the year in 9-12, values in six-column fields from column
// 13, at most ten, a first line ending with its decade and every further
// line starting one; 999 (ending a series' last line) or -9999 end a series
// and give its unit. Lines before the first data line are the header.
struct DecadeFile {
    int headerLines = 0;
    std::vector<Series> series;
};

DecadeFile readDecadeFile(const std::string& text) {
    DecadeFile file;
    const std::vector<std::string> lines = linesOf(text);
    std::vector<long long> raw;
    bool open = false;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        long long year = 0;
        std::vector<long long> fields(line.size() > 12 ? (line.size() - 12 + 5) / 6 : 0);
        bool data = line.size() <= 72 && !fields.empty() && (line.size() - 12) % 6 == 0 &&
                    fieldInteger(std::string_view(line).substr(8, 4), year);
        for (std::size_t k = 0; data && k < fields.size(); ++k)
            data = fieldInteger(std::string_view(line).substr(12 + 6 * k, 6), fields[k]);
        if (!data) {
            EXPECT_TRUE(file.series.empty() && !open) << "not a data line: " << line;
            ++file.headerLines;
            continue;
        }
        if (!open) {
            file.series.push_back({std::string(idOf(line)), year, {}, {}});
            raw.clear();
            open = true;
        } else {
            EXPECT_EQ(idOf(line), file.series.back().name) << line;
            EXPECT_EQ(year, file.series.back().firstYear + static_cast<long long>(raw.size())) << line;
            EXPECT_EQ(((year % 10) + 10) % 10, 0) << "a further line begins a decade: " << line;
        }
        const long long decadeEnd = year - ((year % 10) + 10) % 10 + 9;
        EXPECT_LE(year + static_cast<long long>(fields.size()) - 1, decadeEnd) << line;
        const bool lastOfSeries = n + 1 == lines.size() || idOf(lines[n + 1]) != idOf(line);
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const bool marker = fields[k] == -9999 || (fields[k] == 999 && lastOfSeries && k + 1 == fields.size());
            if (!marker) {
                raw.push_back(fields[k]);
                continue;
            }
            EXPECT_EQ(k + 1, fields.size()) << "values after the stop marker: " << line;
            for (long long r : raw)
                file.series.back().values.push_back(static_cast<double>(r) / (fields[k] == 999 ? 100.0 : 1000.0));
            open = false;
        }
    }
    EXPECT_FALSE(open) << "a series without a stop marker";
    return file;
}

// A series with the ids it is expected under in a Tucson file.
struct Named {
    Series series;
    std::string id;
};

struct TucsonCase {
    const char* what;
    std::vector<Named> series;
    std::string text;
};

std::vector<TucsonCase> tucsonCases() {
    return {
        {"plain, an absent ring",
         {{rings("OAK01", 1995, {123, 55, 231, 0, 100, 50}), "OAK01"}},
         "OAK01   1995   123    55   231     0   100\n"
         "OAK01   2000    50   999\n"},
        // 999 would read as the stop marker of hundredths.
        {"a value of 9.99 mm: thousandths",
         {{rings("OAK01", 1995, {123, 55, 999}), "OAK01"}},
         "OAK01   1995  1230   550  9990 -9999\n"},
        {"absent rings first, a value filling its six columns",
         {{rings("ABS", 1850, {0, 0, 12, 999999}), "ABS"}},
         "ABS     1850     0     0    12999999   999\n"},
        {"a third decimal: thousandths with -9999",
         {{rings("PINE2", 2001, {1234, 500, 1}, 1000.0), "PINE2"}},
         "PINE2   2001  1234   500     1 -9999\n"},
        {"mid-decade to a decade's last year: the marker on a line of its own",
         {{rings("MID", 1996, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113}), "MID"}},
         "MID     1996   100   101   102   103\n"
         "MID     2000   104   105   106   107   108   109   110   111   112   113\n"
         "MID     2010   999\n"},
        {"negative years: decades from -10 to -1 and from 0; -999 fits",
         {{rings("NEG", -12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), "NEG"},
          {rings("E999", -999, {50}), "E999"}},
         "NEG      -12     1     2\n"
         "NEG      -10     3     4     5     6     7     8     9    10    11    12\n"
         "NEG        0    13    14    15   999\n"
         "E999    -999    50   999\n"},
        {"names cut, clashing, unreadable in column 8, empty, twice, with a tab",
         {{rings("LONGNAME01", 1990, {1}), "LONGNA01"},
          {rings("LONGNAME02", 1990, {2}), "LONGNA02"},
          {rings("ABCDEF01", 1990, {3}), "ABCDEF01"},
          {rings("ABCDEFGHIJ", 1990, {4}), "ABCDEF02"},
          {rings("ABCDEFG-", 1990, {5}), "ABCDEF03"},
          {rings("ABCDEF 1", 1990, {6}), "ABCDEF04"},
          {rings("", 1990, {7}), "series01"},
          {rings("X", 1990, {8}), "X"},
          {rings("X", 1990, {9}), "X01"},
          {rings("A\tB", 1990, {10}), "A_B"},
          {rings("a\xC3\x84\xC3\x84\xC3\x84\xC3\x84", 1990, {11}),
           "a\xC3\x84\xC3\x84"
           "01"}},
         "LONGNA011990     1   999\n"
         "LONGNA021990     2   999\n"
         "ABCDEF011990     3   999\n"
         "ABCDEF021990     4   999\n"
         "ABCDEF031990     5   999\n"
         "ABCDEF041990     6   999\n"
         "series011990     7   999\n"
         "X       1990     8   999\n"
         "X01     1990     9   999\n"
         "A_B     1990    10   999\n"
         "a\xC3\x84\xC3\x84"
         "01 1990    11   999\n"},
    };
}

std::vector<Series> underIds(const std::vector<Named>& named) {
    std::vector<Series> series;
    for (const Named& n : named) series.push_back({n.id, n.series.firstYear, n.series.values, {}});
    return series;
}

TEST(WriteTucson, ExactTextAndRoundTrips) {
    for (const TucsonCase& c : tucsonCases()) {
        SCOPED_TRACE(c.what);
        std::vector<Series> series;
        for (const Named& n : c.series) series.push_back(n.series);
        const base::Result<WrittenText> written = tucsonText(series);
        ASSERT_TRUE(written.ok()) << written.why();
        EXPECT_EQ(written->text, c.text);
        expectSame(readByDetrend(written->text), underIds(c.series));
        const DecadeFile file = readDecadeFile(written->text);
        EXPECT_EQ(file.headerLines, 0);
        expectSame(file.series, underIds(c.series));
    }
}

TEST(WriteTucson, NotesNameTheOldAndNewIds) {
    std::vector<std::string> notes;
    const std::vector<std::string> ids =
        tucsonIds({rings("QUPE-0012-A", 1900, {1}), rings("QUPE01", 1900, {1}), rings(" QUPE02 ", 1900, {1})}, notes);
    EXPECT_EQ(ids, (std::vector<std::string>{"QUPE-001", "QUPE01", "QUPE02"}));
    EXPECT_EQ(notes, (std::vector<std::string>{"series \"QUPE-0012-A\" is written with the id \"QUPE-001\"",
                                               "series \" QUPE02 \" is written with the id \"QUPE02\""}));
}

// NaN before the first and after the last value are no part of a series; a
// series without values is left out with a note; a value with more than
// three decimals is rounded half away from zero on its binary value.
TEST(WriteTucson, OuterMissingValuesRoundingAndEmptySeries) {
    Series lead = rings("LEAD", 1899, {0, 100, 200, 0});
    lead.values.front() = lead.values.back() = NaN;
    const std::vector<Series> series = {lead, {"NONE", 1900, {NaN, NaN}, {}}, {"R", 2000, {0.0625, 1.5, 1.0005}, {}}};
    const base::Result<WrittenText> written = tucsonText(series);
    ASSERT_TRUE(written.ok()) << written.why();
    EXPECT_EQ(written->text,
              "LEAD    1900   100   200   999\n"
              "R       2000    63  1500  1000 -9999\n");
    EXPECT_EQ(written->notes, (std::vector<std::string>{"series \"NONE\" has no values and is left out",
                                                        "series \"R\": 2 values rounded to 0.001 mm, first in 2000"}));
    expectSame(readByDetrend(written->text),
               {rings("LEAD", 1900, {100, 200}), rings("R", 2000, {63, 1500, 1000}, 1000.0)});
}

TEST(WriteTucson, HeaderLinesInTheArchiveColumns) {
    const std::vector<Series> series = {rings("CAT01A", 1950, {150, 160})};
    const base::Result<WrittenText> written = tucsonText(series, {"CAT", "Cat Mountain, north slope", "PIPO"});
    ASSERT_TRUE(written.ok()) << written.why();
    std::string first = "CAT    1 Cat Mountain, north slope";
    first.resize(61, ' ');
    EXPECT_EQ(written->text, first +
                                 "PIPO\n"
                                 "CAT    2\n"
                                 "CAT    3\n"
                                 "CAT01A  1950   150   160   999\n");
    expectSame(readByDetrend(written->text), series);
    const DecadeFile file = readDecadeFile(written->text);
    EXPECT_EQ(file.headerLines, 3);
    expectSame(file.series, series);
    // Also detected as a Tucson file from the content alone.
    const formats::Read<formats::SeriesSet> detected = formats::readSeries(written->text, {});
    ASSERT_TRUE(detected.result.ok()) << detected.result.why();
    expectSame(detected.result->series, series);
    // A six-character code, no species, a name starting with digits.
    const base::Result<WrittenText> other = tucsonText(series, {"ABCDEF", "1990 burn", ""});
    ASSERT_TRUE(other.ok()) << other.why();
    EXPECT_EQ(other->text.substr(0, 19), "ABCDEF 1 1990 burn\n");
    expectSame(readByDetrend(other->text), series);
}

TEST(WriteTucson, HeaderFieldsThatDoNotFitAreRefused) {
    const std::vector<TucsonHeader> headers = {
        {"", "A site", ""},       {"SEVENCH", "", ""},  {"A B", "", ""},       {"ABC", std::string(53, 'n'), ""},
        {"ABC", "line\nend", ""}, {"ABC", "", "PIPOX"}, {"ABC", "1990", "12"},
    };
    for (const TucsonHeader& h : headers) {
        const base::Result<WrittenText> written = tucsonText({rings("A", 1900, {1})}, h);
        EXPECT_FALSE(written.ok()) << h.siteCode << "|" << h.siteName << "|" << h.speciesCode;
    }
    EXPECT_TRUE(tucsonText({rings("A", 1900, {1})}, {"ABC", std::string(52, 'n'), "PIPO"}).ok());
}

struct Refusal {
    Series series;
    const char* why;  // the start of the message
};

// What the writers of both formats refuse, naming the series and the year.
std::vector<Refusal> widthRefusals() {
    return {
        {{"GAP", 1900, {1.0, NaN, 1.0}, {}}, "series \"GAP\", year 1901: no value inside the series"},
        {{"NEGV", 1900, {1.0, 1.0, -0.01}, {}}, "series \"NEGV\", year 1902: the value -0.01 is negative"},
        {{"INF", 1900, {std::numeric_limits<double>::infinity()}, {}}, "series \"INF\", year 1900: the value inf"},
        {{"WIDE", 1900, {1.0, 10000.0}, {}}, "series \"WIDE\", year 1901: the value 10000 mm does not fit"},
        {{"WIDE3", 1900, {1000.001}, {}}, "series \"WIDE3\", year 1900: the value 1000.001 mm does not fit"},
        {{"HUGE", 1900, {1e300}, {}}, "series \"HUGE\", year 1900: the value 1e+300 mm does not fit"},
    };
}

TEST(WriteTucson, RefusedValuesAndYears) {
    std::vector<Refusal> refusals = widthRefusals();
    refusals.push_back({rings("OLD", -1000, {1}), "series \"OLD\", year -1000 does not fit the four columns"});
    refusals.push_back({rings("LATE", 9995, {1, 2, 3, 4, 5, 6}), "series \"LATE\", year 10000 does not fit"});
    refusals.push_back({rings("END", 9998, {1, 2}), "series \"END\", year 9999: the stop marker after it"});
    for (const Refusal& r : refusals) {
        const base::Result<WrittenText> written = tucsonText({rings("FINE", 1900, {1}), r.series});
        ASSERT_FALSE(written.ok()) << r.why;
        EXPECT_EQ(written.why().rfind(r.why, 0), 0u) << written.why();
    }
    const base::Result<WrittenText> last = tucsonText({rings("END", 9997, {1, 2})});
    ASSERT_TRUE(last.ok()) << last.why();
    EXPECT_EQ(last->text, "END     9997     1     2   999\n");
}

// A Heidelberg file read by its definition: "HEADER:" opens a series' block
// of Key=Value lines, "DATA:Tree" its values, ten six-column fields to a
// line; Length values are read, in the unit Unit names.
struct HeidelbergSeries {
    std::map<std::string, std::string> keys;
    Series series;
};

std::vector<HeidelbergSeries> readHeidelberg(const std::string& text) {
    std::vector<HeidelbergSeries> all;
    const std::vector<std::string> lines = linesOf(text);
    for (std::size_t n = 0; n < lines.size();) {
        EXPECT_EQ(lines[n++], "HEADER:");
        HeidelbergSeries h;
        for (; n < lines.size() && lines[n] != "DATA:Tree"; ++n) {
            const std::size_t equals = lines[n].find('=');
            EXPECT_NE(equals, std::string::npos) << lines[n];
            EXPECT_TRUE(h.keys.emplace(lines[n].substr(0, equals), lines[n].substr(equals + 1)).second) << lines[n];
        }
        EXPECT_LT(n++, lines.size()) << "no DATA:Tree";
        const long long length = std::stoll(h.keys["Length"]);
        const std::string unit = h.keys["Unit"];
        EXPECT_TRUE(unit == "1/100 mm" || unit == "1/1000 mm") << unit;
        h.series = {h.keys["KeyCode"], std::stoll(h.keys["DateBegin"]), {}, {}};
        EXPECT_EQ(std::stoll(h.keys["DateEnd"]), h.series.firstYear + length - 1);
        while (static_cast<long long>(h.series.values.size()) < length && n < lines.size()) {
            const std::string& line = lines[n++];
            const auto rest = static_cast<std::size_t>(length) - h.series.values.size();
            EXPECT_EQ(line.size(), 6 * std::min<std::size_t>(10, rest)) << line;
            for (std::size_t k = 0; k + 6 <= line.size(); k += 6) {
                long long value = 0;
                EXPECT_TRUE(fieldInteger(std::string_view(line).substr(k, 6), value)) << line;
                h.series.values.push_back(static_cast<double>(value) / (unit == "1/100 mm" ? 100.0 : 1000.0));
            }
        }
        EXPECT_EQ(static_cast<long long>(h.series.values.size()), length);
        all.push_back(std::move(h));
    }
    return all;
}

TEST(WriteHeidelberg, ExactTextAndRoundTrip) {
    std::vector<long long> units;
    for (long long k = 0; k < 23; ++k) units.push_back(100 + k);
    const std::vector<Series> series = {rings("OAK01", 1996, units), rings("Pine 2=b", -1203, {1234, 0, 5}, 1000.0),
                                        rings("LATE", 12000, {999999})};
    const base::Result<WrittenText> written = heidelbergText(series, {{"CAT", "1", "A"}, {}, {"", "7", ""}});
    ASSERT_TRUE(written.ok()) << written.why();
    EXPECT_EQ(written->text,
              "HEADER:\nKeyCode=OAK01\nDateBegin=1996\nDateEnd=2018\nLength=23\nUnit=1/100 mm\n"
              "SiteCode=CAT\nTreeNo=1\nCoreNo=A\nDATA:Tree\n"
              "   100   101   102   103   104   105   106   107   108   109\n"
              "   110   111   112   113   114   115   116   117   118   119\n"
              "   120   121   122\n"
              "HEADER:\nKeyCode=Pine 2=b\nDateBegin=-1203\nDateEnd=-1201\nLength=3\nUnit=1/1000 mm\nDATA:Tree\n"
              "  1234     0     5\n"
              "HEADER:\nKeyCode=LATE\nDateBegin=12000\nDateEnd=12000\nLength=1\nUnit=1/100 mm\nTreeNo=7\nDATA:Tree\n"
              "999999\n");
    EXPECT_TRUE(written->notes.empty());
    const std::vector<HeidelbergSeries> read = readHeidelberg(written->text);
    ASSERT_EQ(read.size(), 3u);
    std::vector<Series> got;
    for (const HeidelbergSeries& h : read) got.push_back(h.series);
    expectSame(got, series);
    EXPECT_EQ(read[0].keys.at("SiteCode"), "CAT");
    EXPECT_EQ(read[2].keys.count("SiteCode"), 0u);
    // detrend's own reader gives back the same series, with their ids.
    const base::Result<formats::SeriesSet> own = formats::readHeidelberg(written->text);
    ASSERT_TRUE(own.ok()) << own.error().line << ":" << own.error().column << ": " << own.why();
    EXPECT_TRUE(own->warnings.empty());
    expectSame(own->series, series);
    EXPECT_EQ(own->series[0].site + "|" + own->series[0].tree + "|" + own->series[0].core, "CAT|1|A");
    EXPECT_EQ(own->series[2].tree, "7");
}

TEST(WriteHeidelberg, RefusalsNotesAndIds) {
    for (const Refusal& r : widthRefusals()) {
        const base::Result<WrittenText> written = heidelbergText({r.series});
        ASSERT_FALSE(written.ok()) << r.why;
        EXPECT_EQ(written.why().rfind(r.why, 0), 0u) << written.why();
    }
    EXPECT_FALSE(heidelbergText({rings("A", 1, {1}), rings("B", 1, {1})}, {{}}).ok());
    EXPECT_FALSE(heidelbergText({rings("A", 1, {1})}, {{"S\nT", "", ""}}).ok());
    const std::vector<long long> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // a full last line
    const base::Result<WrittenText> written =
        heidelbergText({{"NONE", 1, {NaN}, {}}, rings("line\nend", 1, ten), {"R", 5, {NaN, 0.0625}, {}}});
    ASSERT_TRUE(written.ok()) << written.why();
    EXPECT_EQ(written->notes,
              (std::vector<std::string>{"series \"NONE\" has no values and is left out",
                                        "series \"line\nend\" is written with the key code \"line_end\"",
                                        "series \"R\": 1 value rounded to 0.001 mm, first in 6"}));
    const std::vector<HeidelbergSeries> read = readHeidelberg(written->text);
    ASSERT_EQ(read.size(), 2u);
    expectSame({read[0].series, read[1].series}, {rings("line_end", 1, ten), rings("R", 6, {63}, 1000.0)});
}

TEST(WriteSeriesCsv, ShortestValuesNAAndQuotedNames) {
    const std::vector<Series> series = {{"A", 1900, {0.1, 1.0 / 3.0, NaN, 2.5e-7}, {}},
                                        {"needs, \"quotes\"", 1898, {NaN, 1.25, 3.0}, {}},
                                        {"empty", 2000, {NaN}, {}},
                                        {"inf", 1903, {std::numeric_limits<double>::infinity(), -0.0}, {}}};
    EXPECT_EQ(seriesCsv(series),
              "year,A,\"needs, \"\"quotes\"\"\",empty,inf\n"
              "1899,NA,1.25,NA,NA\n"
              "1900,0.1,3,NA,NA\n"
              "1901,0.3333333333333333,NA,NA,NA\n"
              "1902,NA,NA,NA,NA\n"
              "1903,2.5e-07,NA,NA,Inf\n"
              "1904,NA,NA,NA,-0\n");
    EXPECT_EQ(seriesCsv({{"none", 0, {}, {}}}), "year,none\n");
    EXPECT_EQ(seriesCsv({}), "year\n");
}

TEST(WriteSeriesCsv, RoundTripThroughTheCsvReader) {
    const std::vector<Series> series = {{"Oak 1", -5, {0.1 + 0.2, 1e-300, 12345.678901234567, NaN, 7.0}, {}},
                                        {"B,2", -3, {2.0 / 3.0, 0.0}, {}}};
    const base::Result<formats::SeriesSet> read = formats::readCsv(seriesCsv(series), {});
    ASSERT_TRUE(read.ok()) << read.error().line << ": " << read.why();
    expectSame(read->series, series);
}

}  // namespace
}  // namespace detrend::output
