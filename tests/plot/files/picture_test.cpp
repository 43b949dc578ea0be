#include "plot/files/picture.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

namespace detrend::plot {
namespace {

using Picture = base::Result<std::string>;

// A picture's bytes, and why there are none; empty when there is nothing to say.
std::string bytesOf(const Picture& picture) { return picture.ok() ? *picture : std::string(); }
std::string errorOf(const Picture& picture) { return picture.ok() ? std::string() : picture.why(); }

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

// A decoded PNG, 8-bit RGB.
struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    // Pixels of colour 0xRRGGBB in the box [x0, x1) x [y0, y1).
    int count(unsigned colour, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const unsigned char* p = &rgb[3 * (static_cast<std::size_t>(y) * width + x)];
                n += (p[0] << 16 | p[1] << 8 | p[2]) == static_cast<int>(colour);
            }
        return n;
    }
};

Image decode(const std::string& bytes) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return image;
    png.format = PNG_FORMAT_RGB;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) return image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    return image;
}

// A 300-year series with an age trend, a running-mean spline and its ratio;
// a chronology of it with a residual, a smoothing, its first 30 years cut
// and a running EPS.
struct Data {
    std::vector<float> series, spline, index;
    std::vector<double> chronology, residual, smooth;
    std::vector<int> depths;
    std::vector<char> cut;
    std::vector<WindowValue> eps;
    Data() {
        for (int i = 0; i < 300; ++i) {
            spline.push_back(0.5f + 2 * std::exp(-static_cast<float>(i) / 90));
            index.push_back(1 + 0.3f * std::sin(static_cast<float>(i) * 0.7f));
            series.push_back(spline.back() * index.back());
            chronology.push_back(static_cast<double>(index.back()));
            residual.push_back(1 + 0.3 * std::cos(i * 0.9));
            smooth.push_back(1 + 0.1 * std::sin(i * 0.1));
            depths.push_back(1 + i / 20);
            cut.push_back(i < 30);
        }
        for (int mid = 1725; mid < 2000; mid += 25)
            eps.push_back({mid, mid == 1825 ? std::nan("") : 0.8 + (mid % 100) / 1000.0});
    }
    SeriesPicture picture() const { return {1700, series, spline, index, "OAK01 - spline", "ring width"}; }
    // Two panels: the chronology and its depth alone.
    ChronologyPicture chronologyPicture() const { return {1700, chronology, depths, "site"}; }
    // Three panels, everything drawn.
    ChronologyPicture fullChronology() const {
        ChronologyPicture c = chronologyPicture();
        c.residual = residual;
        c.smooth = smooth;
        c.cut = cut;
        c.cutLabel = "cut: EPS < 0.85";
        c.eps = eps;
        return c;
    }
};

constexpr unsigned white = 0xFFFFFF, black = 0, red = 0xFF0000, blue = 0x0000FF, grid = 0xD3D3D3, reference = 0x808080,
                   ink = 0x030303;

// Boxes of the 1200 x 700 picture, in pixels, kept clear of frames and ticks.
struct Box {
    int x0, y0, x1, y1;
    int area() const { return (x1 - x0) * (y1 - y0); }
};
constexpr Box whole{0, 0, 1200, 700}, aboveAll{0, 0, 1200, 12}, title{0, 0, 1200, 50}, upper{122, 62, 972, 365},
    lower{122, 395, 972, 610}, legend{990, 50, 1200, 250}, chronologyUpper{122, 62, 972, 408},
    chronologyLower{122, 438, 972, 610};
// The three panels of a chronology with a running EPS, and the years cut
// (the first 30 of 300, some 85 pixels) at their left.
constexpr Box values3{122, 62, 972, 348}, depth3{122, 374, 972, 480}, eps3{122, 506, 972, 612},
    cutYears{122, 62, 190, 612}, keptYears{215, 62, 972, 612};

TEST(PictureTest, PngHasItsSizeAndColoursWhereExpected) {
    const Data data;
    const Picture series = renderSeriesPicture(data.picture(), PlotFormat::png);
    const Picture chronology = renderChronologyPicture(data.chronologyPicture(), PlotFormat::png);
    const Picture full = renderChronologyPicture(data.fullChronology(), PlotFormat::png);
    ASSERT_EQ(errorOf(series), "");
    ASSERT_EQ(errorOf(chronology), "");
    ASSERT_EQ(errorOf(full), "");
    // IHDR: width and height, big-endian, from byte 16.
    EXPECT_EQ(series->substr(12, 12), std::string("IHDR\0\0\x04\xb0\0\0\x02\xbc", 12));
    const struct {
        const char* what;
        const Picture& picture;
        Box box;
        unsigned colour;
        int least, most;
    } cases[] = {
        {"white background", series, whole, white, 700000, INT_MAX},
        {"nothing above the title", series, aboveAll, white, 1200 * 12, INT_MAX},
        {"title", series, title, ink, 30, INT_MAX},
        {"grid", series, whole, grid, 3000, INT_MAX},
        {"series above", series, upper, red, 1000, INT_MAX},
        {"spline above", series, upper, blue, 1500, INT_MAX},
        {"no index above", series, upper, black, 0, 0},
        {"index below", series, lower, black, 1000, INT_MAX},
        {"reference line below", series, lower, reference, 100, INT_MAX},
        {"no series below", series, lower, red, 0, 0},
        {"no spline below", series, lower, blue, 0, 0},
        {"series in the legend", series, legend, red, 20, INT_MAX},
        {"spline in the legend", series, legend, blue, 40, INT_MAX},
        {"legend text", series, legend, ink, 20, INT_MAX},
        {"chronology above", chronology, chronologyUpper, standardColour, 1000, INT_MAX},
        {"reference line above", chronology, chronologyUpper, reference, 100, INT_MAX},
        {"no depth above", chronology, chronologyUpper, blue, 0, 0},
        {"depth below", chronology, chronologyLower, blue, 300, INT_MAX},
        {"no chronology below", chronology, chronologyLower, standardColour, 0, 0},
        {"no residual without one", chronology, whole, residualColour, 0, 0},
        {"no EPS without one", chronology, whole, epsColour, 0, 0},
        {"nothing shaded without a cut", chronology, whole, cutColour, 0, 0},
        {"standard above", full, values3, standardColour, 1000, INT_MAX},
        {"residual above", full, values3, residualColour, 300, INT_MAX},
        {"smoothing above", full, values3, smoothColour, 2000, INT_MAX},
        {"no chronology in the depth", full, depth3, standardColour, 0, 0},
        {"no smoothing in the depth", full, depth3, smoothColour, 0, 0},
        {"depth in its panel", full, depth3, blue, 300, INT_MAX},
        {"no depth elsewhere", full, values3, blue, 0, 0},
        {"no depth with the EPS", full, eps3, blue, 0, 0},
        {"EPS in its panel", full, eps3, epsColour, 300, INT_MAX},
        {"no EPS above", full, values3, epsColour, 0, 0},
        {"no EPS in the depth", full, depth3, epsColour, 0, 0},
        {"threshold with the EPS", full, eps3, thresholdColour, 200, INT_MAX},
        {"no threshold above", full, values3, thresholdColour, 0, 0},
        {"years cut shaded", full, cutYears, cutColour, 20000, INT_MAX},
        {"years kept not shaded", full, keptYears, cutColour, 0, 0},
        {"legend: standard", full, legend, standardColour, 20, INT_MAX},
        {"legend: residual", full, legend, residualColour, 20, INT_MAX},
        {"legend: smoothing", full, legend, smoothColour, 60, INT_MAX},
        {"legend: depth", full, legend, blue, 20, INT_MAX},
        {"legend: EPS", full, legend, epsColour, 40, INT_MAX},
        {"legend: threshold", full, legend, thresholdColour, 10, INT_MAX},
        {"legend: years cut", full, legend, cutColour, 300, INT_MAX},
    };
    for (const auto& c : cases) {
        const Image image = decode(*c.picture);
        ASSERT_EQ(image.width, pngWidth);
        ASSERT_EQ(image.height, pngHeight);
        const int n = image.count(c.colour, c.box.x0, c.box.y0, c.box.x1, c.box.y1);
        EXPECT_GE(n, c.least) << c.what;
        EXPECT_LE(n, c.most) << c.what;
    }
}

TEST(PictureTest, SvgAndPdfAreCompleteFilesOfTheirPageSize) {
    Data data;
    SeriesPicture picture = data.picture();
    picture.title = "<a & \"b\">";
    const Picture svg = renderSeriesPicture(picture, PlotFormat::svg);
    ASSERT_EQ(errorOf(svg), "");
    EXPECT_NE(svg->find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(svg->find("width=\"840pt\" height=\"490pt\""), std::string::npos);
    if (std::FILE* lint = ::popen("xmllint --noout - 2>&1", "w")) {
        std::fwrite(svg->data(), 1, svg->size(), lint);
        EXPECT_EQ(::pclose(lint), 0) << "not well-formed XML";
    }
    const Picture pdf = renderSeriesPicture(picture, PlotFormat::pdf);
    ASSERT_EQ(errorOf(pdf), "");
    EXPECT_EQ(pdf->substr(0, 5), "%PDF-");
    EXPECT_EQ(pdf->substr(pdf->size() - 6), "%%EOF\n");
    EXPECT_NE(pdf->find("/MediaBox [ 0 0 840 490 ]"), std::string::npos);
    EXPECT_EQ(pdf->find("CreationDate"), std::string::npos);
}

// Every kind and format, drawn on one thread and then on two at once in
// opposite orders, gives the same bytes.
TEST(PictureTest, SameBytesOnAnyThread) {
    const Data data;
    const auto all = [&](bool reversed) {
        std::vector<std::string> out;
        for (int k = 0; k < 6; ++k) {
            const int i = reversed ? 5 - k : k;
            const auto format = static_cast<PlotFormat>(i % 3);
            out.push_back(i < 3 ? bytesOf(renderSeriesPicture(data.picture(), format))
                                : bytesOf(renderChronologyPicture(data.fullChronology(), format)));
        }
        if (reversed) std::reverse(out.begin(), out.end());
        return out;
    };
    const std::vector<std::string> serial = all(false);
    std::vector<std::string> first, second;
    std::thread a([&] { first = all(false); }), b([&] { second = all(true); });
    a.join();
    b.join();
    for (std::size_t i = 0; i < serial.size(); ++i) {
        EXPECT_FALSE(serial[i].empty()) << i;
        EXPECT_TRUE(first[i] == serial[i]) << i;
        EXPECT_TRUE(second[i] == serial[i]) << i;
    }
}

TEST(PictureTest, BadTextIsShownWithQuestionMarks) {
    const Data data;
    const struct {
        const char *given, *shown;
    } cases[] = {
        {"a\xff"
         "b",
         "a?b"},
        {"\x01tab\t\x7f", "?tab??"},
        {"\xe0\x80\x80", "???"},
        {"\xed\xa0\x80", "???"},
        {"\xf4\x90\x80\x80", "????"},
        {"\xc2\x85", "??"},
        {"x\xe2\x82", "x??"},
        {"\xc3\xa4\xe2\x82\xac", "\xc3\xa4\xe2\x82\xac"},
    };
    for (const auto& c : cases) {
        SeriesPicture given = data.picture(), shown = data.picture();
        given.title = given.valueLabel = c.given;
        shown.title = shown.valueLabel = c.shown;
        const Picture a = renderSeriesPicture(given, PlotFormat::png);
        EXPECT_EQ(errorOf(a), "") << c.shown;
        EXPECT_TRUE(bytesOf(a) == bytesOf(renderSeriesPicture(shown, PlotFormat::png))) << c.shown;
    }
}

TEST(PictureTest, OddValuesGiveAFramedPictureOrAnError) {
    using Floats = std::vector<float>;
    const struct {
        const char* what;
        int firstYear;
        Floats series, spline, index;
        const char* error;  // nullptr: a picture
        int linesLeast;  // series and spline pixels
    } cases[] = {
        {"no values", 1900, {}, {}, {}, "no values to plot", 0},
        {"short spline", 1900, {1, 2}, {1}, {1, 1}, "series, spline and index differ in length (2, 1, 2 values)", 0},
        {"long index", 1900, {1}, {1}, {1, 1}, "series, spline and index differ in length (1, 1, 2 values)", 0},
        {"one year", 1900, {1.5f}, {1.5f}, {1}, nullptr, 10},
        {"all equal", 1900, {2, 2, 2}, {2, 2, 2}, {1, 1, 1}, nullptr, 100},
        {"all zero", -50, {0, 0}, {0, 0}, {0, 0}, nullptr, 100},
        {"nothing finite", 1900, {nan, inf, -inf}, {nan, nan, nan}, {nan, nan, nan}, nullptr, 0},
        {"lone points", 1900, {1, nan, 2, nan, 3}, {nan, nan, nan, nan, nan}, {1, 1, 1, 1, 1}, nullptr, 20},
        {"extreme values", 1900, {3e38f, -3e38f, 1e-38f, 0}, {0, 0, 0, 0}, {1, 1, 1, 1}, nullptr, 100},
        {"tiny spread", 1900, {1e6f, 1e6f + 0.0625f, 1e6f}, {1e6f, 1e6f, 1e6f}, {1, 1, 1}, nullptr, 100},
        {"last years of int", INT_MAX - 2, {1, 2, 3}, {1, 2, 3}, {1, 1, 1}, nullptr, 100},
    };
    for (const auto& c : cases) {
        for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf}) {
            const Picture p = renderSeriesPicture({c.firstYear, c.series, c.spline, c.index, "T", "value"}, format);
            EXPECT_EQ(errorOf(p), c.error ? c.error : "") << c.what;
            EXPECT_EQ(bytesOf(p).empty(), c.error != nullptr) << c.what;
            if (format != PlotFormat::png || c.error) continue;
            const Image image = decode(*p);
            EXPECT_GE(image.count(black, whole.x0, whole.y0, whole.x1, whole.y1), 3000) << c.what << ": frames";
            EXPECT_GE(image.count(red, upper.x0, upper.y0, upper.x1, upper.y1) +
                          image.count(blue, upper.x0, upper.y0, upper.x1, upper.y1),
                      c.linesLeast)
                << c.what;
        }
    }
}

TEST(PictureTest, ChronologyLinesOfAnotherLengthAreRefused) {
    using Doubles = std::vector<double>;
    const double none = std::nan("");
    const struct {
        const char* what;
        Doubles values;
        std::vector<int> depths;
        Doubles residual, smooth;
        std::vector<char> cut;
        std::vector<WindowValue> eps;
        const char* error;  // nullptr: a picture
    } cases[] = {
        {"short depth", {1, 2}, {3}, {}, {}, {}, {}, "chronology and sample depth differ in length (2, 1 values)"},
        {"no values", {}, {}, {}, {}, {}, {}, "no values to plot"},
        {"long residual",
         {1, 2},
         {1, 1},
         {1, 2, 3},
         {},
         {},
         {},
         "chronology and residual chronology differ in length (2, 3 values)"},
        {"short smoothing", {1, 2}, {1, 1}, {}, {1}, {}, {}, "chronology and smoothing differ in length (2, 1 values)"},
        {"short cut", {1, 2}, {1, 1}, {}, {}, {1}, {}, "chronology and years cut differ in length (2, 1 values)"},
        {"odd depths", {1, 2}, {-4, INT_MAX}, {}, {}, {}, {}, nullptr},
        // Ticks too fine to count.
        {"values a double's precision apart", {1, std::nextafter(1.0, 2.0), 1}, {1, 2, 3}, {}, {}, {}, {}, nullptr},
        {"one year, all of it cut", {1}, {1}, {none}, {none}, {1}, {{1900, 0.9}}, nullptr},
        {"no EPS finite, windows outside the years", {1, 2}, {1, 1}, {}, {}, {}, {{1800, none}, {2500, 0.5}}, nullptr},
    };
    for (const auto& c : cases) {
        ChronologyPicture picture{1900, c.values, c.depths, "c"};
        picture.residual = c.residual;
        picture.smooth = c.smooth;
        picture.cut = c.cut;
        picture.eps = c.eps;
        for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf}) {
            const Picture p = renderChronologyPicture(picture, format);
            EXPECT_EQ(errorOf(p), c.error ? c.error : "") << c.what;
            EXPECT_EQ(bytesOf(p).empty(), c.error != nullptr) << c.what;
        }
    }
}

// Eight centuries of a site whose years differ much from each other: the
// thin standard line leaves most of its panel clear, the smoothing over it
// shows, and a long legend stays on the page.
TEST(PictureTest, ALongChronologyStaysReadable) {
    std::vector<double> values, residual, smooth;
    std::vector<int> depths;
    std::vector<WindowValue> eps;
    unsigned seed = 12345;
    for (int i = 0; i < 800; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / (1 << 24) - 0.5;  // uniform in [-0.5, 0.5)
        smooth.push_back(1 + 0.1 * std::sin(i / 15.0));
        values.push_back(smooth.back() + 0.6 * noise);
        residual.push_back(1 + 0.5 * noise);
        depths.push_back(std::min(40, 1 + i / 5));
    }
    for (int mid = 1225; mid < 2000; mid += 25) eps.push_back({mid, 0.8 + 0.15 * std::sin(mid / 100.0)});
    ChronologyPicture picture{1200, values, depths, "site.rwl: chronology of 40 series"};
    picture.residual = residual;
    picture.smooth = smooth;
    picture.eps = eps;
    std::vector<char> cut(values.size(), 0);
    std::fill(cut.begin(), cut.begin() + 60, 1);
    picture.cut = cut;
    picture.cutLabel = "cut: sample depth < 12345";
    const Picture png = renderChronologyPicture(picture, PlotFormat::png);
    ASSERT_EQ(errorOf(png), "");
    const Image image = decode(*png);
    const int standard = image.count(standardColour, values3.x0, values3.y0, values3.x1, values3.y1);
    // A line two pixels wide covers a third of the panel.
    EXPECT_LT(standard, values3.area() * 30 / 100);
    EXPECT_GT(image.count(smoothColour, values3.x0, values3.y0, values3.x1, values3.y1), 2 * 800);
    EXPECT_GT(image.count(residualColour, values3.x0, values3.y0, values3.x1, values3.y1), 2000);
    EXPECT_EQ(image.count(ink, 1196, 0, 1200, 700), 0) << "legend text beyond the page";
    EXPECT_TRUE(bytesOf(renderChronologyPicture(picture, PlotFormat::png)) == *png);
}

// The page of a crossdating grows with its rows; the flagged segment's
// colour shows in its row and nowhere else.
TEST(PictureTest, CrossdatingPageGrowsWithTheSeries) {
    std::vector<std::string> names;
    std::vector<CrossdatingRow> rows;
    for (int i = 0; i < 100; ++i) names.push_back("CORE" + std::to_string(i));
    for (int i = 0; i < 100; ++i)
        rows.push_back(
            {names[static_cast<std::size_t>(i)], 1890 + i % 7, 2000, {{1900, false}, {1925, i == 37}, {1950, false}}});
    const Picture png = renderCrossdatingPicture({rows, 50, "site - 100 series"}, PlotFormat::png);
    ASSERT_EQ(errorOf(png), "");
    const Image image = decode(*png);
    // 70 points above the rows, 12 a row, 48 below; 1200 / 840 pixels a point.
    ASSERT_EQ(image.width, pngWidth);
    ASSERT_EQ(image.height, 1883);
    const int rowTop = static_cast<int>((70 + 37 * 12) * 1200.0 / 840), rowBottom = rowTop + 18;
    const int flagged = image.count(flaggedColour, 0, 0, image.width, image.height);
    EXPECT_GT(flagged, 500);
    // The legend's sample, and the flagged row.
    EXPECT_EQ(image.count(flaggedColour, 0, 40, image.width, rowTop) +
                  image.count(flaggedColour, 0, rowTop, image.width, rowBottom),
              flagged);
    EXPECT_GT(image.count(flaggedColour, 0, rowTop, image.width, rowBottom), 400);
    EXPECT_GT(image.count(segmentColour, 0, 100, image.width, image.height), 100 * 2 * 400);
    EXPECT_GT(image.count(ink, 0, 100, 150, image.height), 100 * 20);  // the names
    const Picture svg = renderCrossdatingPicture({rows, 50, "site"}, PlotFormat::svg);
    ASSERT_EQ(errorOf(svg), "");
    EXPECT_NE(svg->find("width=\"840pt\" height=\"1318pt\""), std::string::npos);
    // A few rows get a short page; none, a page that says so; too many, an error.
    const std::span<const CrossdatingRow> three(rows.data(), 3);
    EXPECT_EQ(decode(*renderCrossdatingPicture({three, 50, "t"}, PlotFormat::png)).height, 271);
    EXPECT_EQ(errorOf(renderCrossdatingPicture({{}, 50, "t"}, PlotFormat::pdf)), "");
    const std::vector<CrossdatingRow> many(2000, rows[0]);
    EXPECT_EQ(errorOf(renderCrossdatingPicture({many, 50, "t"}, PlotFormat::png)),
              "2000 series are more than one picture can show");
}

}  // namespace
}  // namespace detrend::plot
