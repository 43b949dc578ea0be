#include "formats/read_tridas.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "formats/series_checks.hpp"

namespace detrend::formats {
namespace {

struct Expected {
    std::string name;
    long long firstYear;
    std::vector<double> values;
    std::vector<double> depths = {};
    std::string site = "", tree = "", core = "";
};

struct Case {
    const char* what;
    std::string text;
    std::vector<Expected> series;
    std::vector<std::string> warnings = {};
};

// A measurement series of ring widths in TRiDaS, without a prefix.
std::string measured(const std::string& title, const std::string& firstYear, const std::string& unit,
                     const std::string& values) {
    return "<measurementSeries><title>" + title + "</title><interpretation>" + firstYear +
           "</interpretation><values><variable normalTridas=\"ring width\"/>" + unit + values +
           "</values></measurementSeries>";
}

std::vector<Case> readCases() {
    const std::string hundredths = "<unit normalTridas=\"1/100th millimetres\"/>";
    return {
        {"a prefix and namespace; the site, tree and core; a derived series with its counts",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand -->\n"
         "<t:tridas xmlns:t=\"http://www.tridas.org/1.2.2\"><t:project><t:title>P</t:title>\n"
         "<t:object><t:title>Cat Mountain</t:title><t:identifier domain=\"x\">CAT</t:identifier>\n"
         "<t:element><t:title>Tree 3</t:title><t:sample><t:title>A</t:title><t:radius><t:title>1</t:title>\n"
         "<t:measurementSeries><t:title>CAT03A</t:title><t:interpretation><t:firstYear suffix=\"AD\">1901"
         "</t:firstYear></t:interpretation><t:values><t:unit normalTridas=\"1/100th millimetres\"/>\n"
         "<t:value value=\"123\"/><t:value value=\"0\"/><t:value value=\" 45 \"/></t:values></t:measurementSeries>\n"
         "</t:radius></t:sample></t:element></t:object>\n"
         "<t:derivedSeries><t:title>CAT-chron</t:title><t:interpretation><t:firstYear>1902</t:firstYear>"
         "</t:interpretation><t:values><t:unitless/><t:value value=\"1.05\" count=\"3\"/>"
         "<t:value value=\"0.95\" count=\"4\"/></t:values></t:derivedSeries></t:project></t:tridas>\n",
         {{"CAT03A", 1901, {1.23, 0.0, 0.45}, {}, "CAT", "Tree 3", "A/1"}, {"CAT-chron", 1902, {1.05, 0.95}, {3, 4}}}},
        {"BC years; micrometres; missing and negative values are missing",
         "<tridas><project>" +
             measured("M", "<firstYear suffix=\"BC\">25</firstYear>", "<unit normalTridas=\"micrometres\"/>",
                      "<value/><value value=\"1500\"/><value value=\"\"/><value value=\"-1\"/>"
                      "<value value=\"2500\"/><value value=\"-1\"/>") +
             "</project></tridas>",
         {{"M", -23, {1.5, nan, nan, 2.5}}}},
        {"BP years; units by their text or another name; 1/20th and 1/50th",
         "<tridas xmlns=\"http://www.tridas.org/1.2\"><project>" +
             measured("B &amp; <![CDATA[b]]>", "<firstYear suffix=\"BP\">100</firstYear>", "<unit>mm</unit>",
                      "<value value=\"1.5\"/>") +
             measured("C", "<firstYear>1</firstYear>", "<unit normalTridas=\"centimetres\"/>", "<value value=\"2\"/>") +
             measured("T", "<firstYear>1</firstYear>", "<unit normalTridas=\"1/20th millimetres\"/>",
                      "<value value=\"3\"/>") +
             measured("F", "<firstYear>1</firstYear>", "<unit normal=\"1/50 mm\"/>", "<value value=\"3\"/>") +
             "</project></tridas>",
         {{"B & b", 1850, {1.5}}, {"C", 1, {20.0}}, {"T", 1, {3.0 / 20.0}}, {"F", 1, {3.0 / 50.0}}}},
        {"several groups of values: one series each, named by their variable",
         "<tridas><project><measurementSeries><title>EW</title><interpretation><firstYear>2000</firstYear>"
         "</interpretation><values><variable normalTridas=\"earlywood width\"/>" +
             hundredths + "<value value=\"10\"/></values><values><variable>latewood</variable>" + hundredths +
             "<value value=\"20\"/></values></measurementSeries></project></tridas>",
         {{"EW (earlywood width)", 2000, {0.1}}, {"EW (latewood)", 2000, {0.2}}}},
        {"no first year, no unit, no title",
         "<tridas><project><measurementSeries><identifier>ID7</identifier><values><value value=\"4\"/>"
         "</values></measurementSeries><derivedSeries><values><unitless/><value value=\"5\"/></values>"
         "</derivedSeries></project></tridas>",
         {{"ID7", 1, {4.0}}, {"series 2", 1, {5.0}}},
         {"2 series have no <firstYear>; their years are counted from 1",
          "1 series has no <unit>; their values are read as they are"}},
        {"a document type without entities; an external DTD is not fetched",
         "<!DOCTYPE tridas SYSTEM \"http://127.0.0.1:9/tridas.dtd\">\n<tridas><project>" +
             measured("D", "<firstYear>1</firstYear>", hundredths, "<value value=\"1\"/>") + "</project></tridas>",
         {{"D", 1, {0.01}}}},
    };
}

TEST(ReadTridas, Cases) {
    for (const Case& c : readCases()) {
        SCOPED_TRACE(c.what);
        const Outcome r = readTridas(c.text);
        ASSERT_TRUE(r.ok) << r.error.line << ":" << r.error.column << ": " << r.error.what;
        ASSERT_EQ(r.set.series.size(), c.series.size());
        for (std::size_t i = 0; i < c.series.size(); ++i) {
            const Series& got = r.set.series[i];
            EXPECT_EQ(got.name, c.series[i].name);
            expectValues(got, c.series[i].firstYear, c.series[i].values);
            EXPECT_EQ(got.depths, c.series[i].depths);
            EXPECT_EQ(got.site, c.series[i].site);
            EXPECT_EQ(got.tree, c.series[i].tree);
            EXPECT_EQ(got.core, c.series[i].core);
        }
        EXPECT_EQ(r.set.warnings, c.warnings);
    }
}

TEST(ReadTridas, ErrorsAtTheirLineAndColumn) {
    const auto series = [](const std::string& firstYear, const std::string& unit, const std::string& values) {
        return "<tridas><project>\n" + measured("S", firstYear, unit, values) + "\n</project></tridas>\n";
    };
    const std::string year = "<firstYear>1</firstYear>";
    expectReadErrors(
        {
            {"<rwl/>\n", 1, 1, "the root element is <rwl>, not <tridas>: not a TRiDaS file"},
            {series(year, "", "<value value=\"1,5\"/>"), 2, 152, "expected a number in <value>, found \"1,5\""},
            {series(year, "<unit>inches</unit>", ""), 2, 144,
             "unknown unit \"inches\": expected micrometres, 1/100th (1/50th, 1/20th, 1/10th) millimetres, "
             "millimetres, centimetres or metres"},
            {series("<firstYear suffix=\"CE\">5</firstYear>", "", ""), 2, 71,
             "unknown year suffix \"CE\": expected AD, BC or BP"},
            {series("<firstYear suffix=\"BC\">0</firstYear>", "", ""), 2, 53,
             "year 0 BC does not exist: AD and BC count from 1"},
            {series("<firstYear>x</firstYear>", "", ""), 2, 53, "expected a whole year in <firstYear>, found \"x\""},
            {series("<firstYear suffix=\"BP\">-9223372036854775807</firstYear>", "", ""), 2, 1,
             "year -9223372036854775807 is out of range (-1000000 to 1000000)"},
        },
        [](const std::string& text) { return readTridas(text); });
}

TEST(ReadTridas, MalformedXmlNamesItsPlace) {
    const Outcome r = readTridas("<tridas>\n<project>\n</tridas>\n");
    ASSERT_FALSE(r.ok);
    EXPECT_GE(r.error.line, 3) << r.error.what;
    EXPECT_GT(r.error.column, 0);
    EXPECT_EQ(r.error.what.rfind("not well-formed XML: ", 0), 0u) << r.error.what;
    EXPECT_FALSE(readTridas("").ok());
}

// Entities are never expanded into the series: an external entity naming a
// local file and nested entities that would grow to gigabytes are both
// refused, at once, whatever libxml2 makes of them.
TEST(ReadTridas, EntityAttacksAreRefusedQuickly) {
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE tridas [\n<!ENTITY l0 \"lol\">\n";
    for (int k = 1; k <= 10; ++k)
        laughs += "<!ENTITY l" + std::to_string(k) + " \"" + [&] {
            std::string ten;
            for (int j = 0; j < 10; ++j) ten += "&l" + std::to_string(k - 1) + ";";
            return ten;
        }() + "\">\n";
    laughs += "]>\n<tridas><project><measurementSeries><title>&l10;</title></measurementSeries></project></tridas>\n";
    const std::string external =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE tridas [ <!ENTITY x SYSTEM \"file:///etc/passwd\"> ]>\n"
        "<tridas><project><measurementSeries><title>&x;</title><values><value value=\"1\"/></values>"
        "</measurementSeries></project></tridas>\n";
    // Entities libxml2 itself would accept are refused all the same.
    const std::string harmless =
        "<!DOCTYPE tridas [ <!ENTITY a \"x\"> <!ENTITY b \"&a;&a;\"> ]>\n<tridas><project><measurementSeries>"
        "<title>&b;</title></measurementSeries></project></tridas>\n";
    for (const std::string* text : std::vector<const std::string*>{&external, &harmless}) {
        const Outcome r = readTridas(*text);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.what, "the file declares entities (<!ENTITY>), which TRiDaS does not use; it is not read");
        EXPECT_EQ(r.error.line, text == &external ? 2 : 1);
    }
    for (const std::string* text : std::vector<const std::string*>{&laughs, &external}) {
        SCOPED_TRACE(text->substr(0, 80));
        const auto start = std::chrono::steady_clock::now();
        const Outcome r = readTridas(*text);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0);
        ASSERT_FALSE(r.ok);
        EXPECT_GT(r.error.line, 0) << r.error.what;
        EXPECT_EQ(r.error.what.find("lol"), std::string::npos);
        EXPECT_EQ(r.error.what.find("root:"), std::string::npos);
    }
}

}  // namespace
}  // namespace detrend::formats
