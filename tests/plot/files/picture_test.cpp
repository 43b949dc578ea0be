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

// A 300-year series with an age trend, a running-mean spline and its ratio.
struct Data {
    std::vector<float> series, spline, index;
    std::vector<double> chronology;
    std::vector<int> depths;
    Data() {
        for (int i = 0; i < 300; ++i) {
            spline.push_back(0.5f + 2 * std::exp(-static_cast<float>(i) / 90));
            index.push_back(1 + 0.3f * std::sin(static_cast<float>(i) * 0.7f));
            series.push_back(spline.back() * index.back());
            chronology.push_back(static_cast<double>(index.back()));
            depths.push_back(1 + i / 20);
        }
    }
    SeriesPicture picture() const { return {1700, series, spline, index, "OAK01 - spline", "ring width"}; }
    ChronologyPicture chronologyPicture() const { return {1700, chronology, depths, "site"}; }
};

constexpr unsigned white = 0xFFFFFF, black = 0, red = 0xFF0000, blue = 0x0000FF, grid = 0xD3D3D3, reference = 0x808080,
                   ink = 0x030303;

// Boxes of the 1200 x 700 picture, in pixels, kept clear of frames and ticks.
struct Box {
    int x0, y0, x1, y1;
};
constexpr Box whole{0, 0, 1200, 700}, aboveAll{0, 0, 1200, 12}, title{0, 0, 1200, 50}, upper{122, 62, 972, 365},
    lower{122, 395, 972, 610}, legend{990, 50, 1200, 250}, chronologyUpper{122, 62, 972, 408},
    chronologyLower{122, 438, 972, 610};

TEST(PictureTest, PngHasItsSizeAndColoursWhereExpected) {
    const Data data;
    const Picture series = renderSeriesPicture(data.picture(), PlotFormat::png);
    const Picture chronology = renderChronologyPicture(data.chronologyPicture(), PlotFormat::png);
    ASSERT_EQ(errorOf(series), "");
    ASSERT_EQ(errorOf(chronology), "");
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
        {"chronology above", chronology, chronologyUpper, black, 1000, INT_MAX},
        {"reference line above", chronology, chronologyUpper, reference, 100, INT_MAX},
        {"no depth above", chronology, chronologyUpper, blue, 0, 0},
        {"depth below", chronology, chronologyLower, blue, 300, INT_MAX},
        {"no chronology below", chronology, chronologyLower, black, 0, 0},
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
                                : bytesOf(renderChronologyPicture(data.chronologyPicture(), format)));
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
    const std::vector<double> values{1, 2};
    const std::vector<int> one{3}, odd{-4, INT_MAX};
    EXPECT_EQ(errorOf(renderChronologyPicture({1900, values, one, "c"}, PlotFormat::png)),
              "chronology and sample depth differ in length (2, 1 values)");
    EXPECT_EQ(errorOf(renderChronologyPicture({1900, {}, {}, "c"}, PlotFormat::png)), "no values to plot");
    EXPECT_EQ(errorOf(renderChronologyPicture({1900, values, odd, "c"}, PlotFormat::png)), "");
    // Values a double's precision apart: ticks too fine to count.
    const std::vector<double> close{1, std::nextafter(1.0, 2.0), 1};
    const std::vector<int> three{1, 2, 3};
    for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf})
        EXPECT_EQ(errorOf(renderChronologyPicture({1900, close, three, "c"}, format)), "");
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
