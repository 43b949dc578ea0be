// The series read, written again in each format, read back through
// detrend's own reader of that format: the same series, names, years and
// values to the bit, and the ids a Heidelberg file holds.
#include "output/series_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "formats/read_compact.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_heidelberg.hpp"
#include "formats/read_series.hpp"
#include "formats/read_tridas.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::output {
namespace {

using formats::Series;
using formats::SeriesSet;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using Reader = std::function<base::Result<SeriesSet>(const std::string&)>;

Reader readerOf(SeriesFormat format) {
    switch (format) {
        case SeriesFormat::tucson: return [](const std::string& t) { return formats::readTucson(t); };
        case SeriesFormat::heidelberg: return [](const std::string& t) { return formats::readHeidelberg(t); };
        case SeriesFormat::csv: return [](const std::string& t) { return formats::readCsv(t, {}); };
    }
    return {};
}

bool sameValues(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}

SeriesSet readOrFail(const Reader& read, const std::string& text) {
    base::Result<SeriesSet> got = read(text);
    EXPECT_TRUE(got.ok()) << got.error().line << ":" << got.error().column << ": " << got.why() << "\n" << text;
    return got.ok() ? std::move(got).value() : SeriesSet{};
}

void expectSameSeries(const std::vector<Series>& got, const std::vector<Series>& want, bool ids) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].firstYear, want[i].firstYear) << want[i].name;
        EXPECT_TRUE(sameValues(got[i].values, want[i].values))
            << want[i].name << ": " << testing::PrintToString(got[i].values);
        if (!ids) continue;
        EXPECT_EQ(got[i].site, want[i].site);
        EXPECT_EQ(got[i].tree, want[i].tree);
        EXPECT_EQ(got[i].core, want[i].core);
    }
}

// Hand-made files of the three new readers, each of values every writer can
// hold (hundredths and thousandths of a millimetre, years -999..9998).
struct Source {
    const char* what;
    std::string text;
    Reader read;
};

std::vector<Source> sources() {
    return {
        {"heidelberg",
         "HEADER:\nKeyCode=OAK01\nDateBegin=1996\nLength=12\nSiteCode=CAT\nTreeNo=1\nCoreNo=A\nDATA:Tree\n"
         "   100   101   102   103   104   105     0   107   108   109\n   110   111\n"
         "HEADER:\nKeyCode=PINE2\nDateEnd=-2\nLength=3\nUnit=1/1000 mm\nTreeNo=2\nDATA:Tree\n  1234   500     1\n",
         [](const std::string& t) { return formats::readHeidelberg(t); }},
        {"compact",
         "N=4 I=1850 ABC01A (-2F8.0)~\n     123     234     345     456\nN=2 I=-5 ABC02 (-3F6.0)~\n  1001     7\n",
         [](const std::string& t) { return formats::readCompact(t); }},
        {"tridas",
         "<tridas><project><object><title>S</title><element><title>T1</title><sample><title>A</title>"
         "<radius><title>1</title><measurementSeries><title>T1A</title><interpretation>"
         "<firstYear suffix=\"BC\">3</firstYear></interpretation><values><unit normalTridas=\"1/100th "
         "millimetres\"/><value value=\"10\"/><value value=\"0\"/><value value=\"250\"/></values>"
         "</measurementSeries></radius></sample></element></object></project></tridas>",
         [](const std::string& t) { return formats::readTridas(t); }},
    };
}

TEST(SeriesFile, EachReaderThroughEachWriterAndBack) {
    for (const Source& source : sources()) {
        const SeriesSet read = readOrFail(source.read, source.text);
        ASSERT_FALSE(read.series.empty()) << source.what;
        for (SeriesFormat format : {SeriesFormat::tucson, SeriesFormat::heidelberg, SeriesFormat::csv}) {
            SCOPED_TRACE(std::string(source.what) + " as " + std::string(seriesSuffix(format)));
            const base::Result<SeriesFile> file = seriesFile(read, format);
            ASSERT_TRUE(file.ok()) << file.why();
            EXPECT_EQ(file->series, read.series.size());
            EXPECT_EQ(file->leftOut, 0u);
            EXPECT_TRUE(file->written.notes.empty()) << file->written.notes.front();
            const SeriesSet back = readOrFail(readerOf(format), file->written.text);
            EXPECT_TRUE(back.warnings.empty()) << back.warnings.front();
            expectSameSeries(back.series, read.series, format == SeriesFormat::heidelberg);
            // And detected as written, from the content alone.
            const formats::Read<SeriesSet> detected = formats::readSeries(file->written.text, {});
            ASSERT_TRUE(detected.result.ok()) << detected.result.why();
            expectSameSeries(detected.result->series, read.series, false);
        }
    }
}

// Values no whole number of 0.001 mm are rounded in Tucson and Heidelberg
// files (with a note), kept exactly in CSV.
TEST(SeriesFile, RoundingNotedCsvExact) {
    SeriesSet set;
    set.series = {{"R", 2000, {0.0625, 1.5}, {}}};
    const base::Result<SeriesFile> tucson = seriesFile(set, SeriesFormat::tucson);
    ASSERT_TRUE(tucson.ok());
    EXPECT_EQ(tucson->written.notes,
              std::vector<std::string>{"series \"R\": 1 value rounded to 0.001 mm, first in 2000"});
    const base::Result<SeriesFile> csv = seriesFile(set, SeriesFormat::csv);
    ASSERT_TRUE(csv.ok());
    expectSameSeries(readOrFail(readerOf(SeriesFormat::csv), csv->written.text).series, set.series, false);
}

// What can be written is; a series with a problem, or one the format cannot
// hold, is left out with a note saying why.
TEST(SeriesFile, LeftOutWithTheirReasons) {
    SeriesSet set;
    set.series = {{"OK", 1900, {1.0, 2.0}, {}},
                  {"TWICE", 1900, {1.0}, "year 1900 is given twice (lines 3 and 4)"},
                  {"GAP", 1900, {1.0, NaN, 1.0}, {}},
                  {"OLD", -2000, {1.0}, {}}};
    const struct {
        SeriesFormat format;
        std::vector<std::string> notes;
        std::vector<Series> written;
    } cases[] = {
        {SeriesFormat::tucson,
         {"series \"TWICE\" is not written: year 1900 is given twice (lines 3 and 4)",
          "not written: series \"GAP\", year 1901: no value inside the series, and the file has no mark for a missing "
          "year",
          "not written: series \"OLD\", year -2000 does not fit the four columns of a Tucson year (-999 to 9999)"},
         {set.series[0]}},
        {SeriesFormat::heidelberg,
         {"series \"TWICE\" is not written: year 1900 is given twice (lines 3 and 4)",
          "not written: series \"GAP\", year 1901: no value inside the series, and the file has no mark for a missing "
          "year"},
         {set.series[0], set.series[3]}},
        {SeriesFormat::csv,
         {"series \"TWICE\" is not written: year 1900 is given twice (lines 3 and 4)"},
         {set.series[0], set.series[2], set.series[3]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(seriesSuffix(c.format)));
        const base::Result<SeriesFile> file = seriesFile(set, c.format);
        ASSERT_TRUE(file.ok()) << file.why();
        EXPECT_EQ(file->written.notes, c.notes);
        EXPECT_EQ(file->series, c.written.size());
        EXPECT_EQ(file->leftOut, 4 - c.written.size());
        expectSameSeries(readOrFail(readerOf(c.format), file->written.text).series, c.written, false);
    }
}

// The file's own site header goes into a Tucson file, and reads back; one
// whose fields do not fit is left out with a note, the series written.
TEST(SeriesFile, TheSiteHeaderGoesWithItsSeries) {
    SeriesSet set;
    set.series = {{"HR01A", 1900, {1.0, 2.0}, {}}};
    set.siteCode = "HRG";
    set.siteName = "High Ridge";
    set.species = "PCAB";
    base::Result<SeriesFile> file = seriesFile(set, SeriesFormat::tucson);
    ASSERT_TRUE(file.ok()) << file.why();
    EXPECT_TRUE(file->written.text.starts_with("HRG    1 High Ridge")) << file->written.text;
    const SeriesSet back = readOrFail(readerOf(SeriesFormat::tucson), file->written.text);
    EXPECT_EQ(back.siteCode, "HRG");
    EXPECT_EQ(back.species, "PCAB");
    expectSameSeries(back.series, set.series, false);
    set.siteName = std::string(60, 'n');
    file = seriesFile(set, SeriesFormat::tucson);
    ASSERT_TRUE(file.ok()) << file.why();
    EXPECT_TRUE(file->written.text.starts_with("HR01A")) << file->written.text;
    ASSERT_EQ(file->written.notes.size(), 1u);
    EXPECT_TRUE(file->written.notes[0].starts_with("the site header is not written: the site name"))
        << file->written.notes[0];
}

}  // namespace
}  // namespace detrend::output
