#include "plot/plotfile.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace detrend::plot {
namespace {

namespace fs = std::filesystem;

// A directory of its own for each test, removed afterwards.
class PlotFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "plotfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // A small series of values 1 + 0.1 * (i mod 3) from 1900, a straight
    // spline and the residuals.
    PlotData small(int n) {
        series.assign(n, 0);
        spline.assign(n, 0);
        residual.assign(n, 0);
        for (int i = 0; i < n; ++i) {
            series[i] = 1.0f + 0.1f * static_cast<float>(i % 3);
            spline[i] = 1.1f;
            residual[i] = series[i] - spline[i];
        }
        PlotData data(n);
        buildPlotData(series, spline, residual, n, 1900, 0, data);
        return data;
    }

    static std::string head(const fs::path& file, std::size_t bytes) {
        std::ifstream in(file, std::ios::binary);
        std::string text(bytes, '\0');
        in.read(text.data(), static_cast<std::streamsize>(bytes));
        text.resize(static_cast<std::size_t>(in.gcount()));
        return text;
    }

    fs::path dir;
    std::vector<float> series, spline, residual;
};

TEST(PlotFormatTest, ParsesTheThreeFormatsOnly) {
    const struct {
        const char* text;
        std::optional<PlotFormat> format;
    } cases[] = {
        {"png", PlotFormat::png}, {"svg", PlotFormat::svg},   {"pdf", PlotFormat::pdf}, {"PNG", PlotFormat::png},
        {"Pdf", PlotFormat::pdf}, {"", std::nullopt},         {"jpg", std::nullopt},    {".png", std::nullopt},
        {"png ", std::nullopt},   {"pngcairo", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parsePlotFormat(c.text), c.format) << '"' << c.text << '"';
    for (PlotFormat format : {PlotFormat::png, PlotFormat::svg, PlotFormat::pdf})
        EXPECT_EQ(parsePlotFormat(plotFormatExtension(format)), format);
}

TEST(PlotFileNamesTest, SanitizesAndKeepsNamesApart) {
    using Names = std::vector<std::string>;
    const struct {
        const char* what;
        const char* base;
        Names series;
        const char* extension;
        Names files;
    } cases[] = {
        {"plain and trailing blanks", "out", {"Oak1", "Oak2     "}, "png", {"out-Oak1.png", "out-Oak2.png"}},
        {"other characters",
         "out",
         {"Oak 1/a", "x*y?z", "a-b_c.d", "\xc3\x84r"},
         "svg",
         {"out-Oak_1_a.svg", "out-x_y_z.svg", "out-a-b_c.d.svg", "out-__r.svg"}},
        {"empty and blank names", "out", {"", "   "}, "pdf", {"out-_.pdf", "out-_-2.pdf"}},
        {"repeated names", "out", {"A", "A", "A"}, "png", {"out-A.png", "out-A-2.png", "out-A-3.png"}},
        {"same after sanitizing",
         "out",
         {"a b", "a_b", "a/b"},
         "png",
         {"out-a_b.png", "out-a_b-2.png", "out-a_b-3.png"}},
        {"literal -2 after", "out", {"A", "A", "A-2"}, "png", {"out-A.png", "out-A-3.png", "out-A-2.png"}},
        {"literal -2 before", "out", {"A-2", "A", "A"}, "png", {"out-A-2.png", "out-A.png", "out-A-3.png"}},
        {"literal -2 repeated",
         "out",
         {"A", "A", "A-2", "A-2"},
         "png",
         {"out-A.png", "out-A-3.png", "out-A-2.png", "out-A-2-2.png"}},
        {"directory in base", "plots/run", {"S"}, "png", {"plots/run-S.png"}},
        {"empty base", "", {"S"}, "png", {"S.png"}},
        {"extension with dot", "out", {"S"}, ".svg", {"out-S.svg"}},
        {"no series", "out", {}, "png", {}},
    };
    for (const auto& c : cases) {
        const Names files = plotFileNames(c.base, c.series, c.extension);
        EXPECT_EQ(files, c.files) << c.what;
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size()) << c.what;
    }
}

TEST_F(PlotFileTest, ReplacesAnExistingFile) {
    const fs::path path = dir / "old.png";
    std::ofstream(path) << std::string(1 << 20, 'x');
    const PlotData data = small(12);
    EXPECT_EQ(writePlotFile(path.string(), PlotFormat::png, data, residual, "S", 5), "");
    EXPECT_EQ(head(path, 4), "\x89PNG");
    EXPECT_LT(fs::file_size(path), 1u << 20);
}

TEST_F(PlotFileTest, ReportsWhatFailed) {
    fs::create_directory(dir / "sub");
    fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PlotData data = small(3);
    const struct {
        std::string path;
        int n;
        std::string message;
    } cases[] = {
        {(dir / "missing" / "a.png").string(), 3, "No such file or directory"},
        {(dir / "sub").string(), 3, "Is a directory"},
        {fifo.string(), 3, "not a regular file"},
        {"", 3, "empty file name"},
        {(dir / "empty.png").string(), 0, "no values to plot"},
    };
    for (const auto& c : cases) {
        data.n = c.n;
        EXPECT_EQ(writePlotFile(c.path, PlotFormat::png, data, residual, "S", 5),
                  "cannot write plot file \"" + c.path + "\": " + c.message);
    }
    EXPECT_FALSE(fs::exists(dir / "empty.png"));
}

TEST_F(PlotFileTest, UnwritableFileIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not apply to root";
    const fs::path path = dir / "locked.png";
    std::ofstream(path) << "x";
    fs::permissions(path, fs::perms::owner_write);  // PLplot needs to read it too
    const PlotData data = small(3);
    EXPECT_EQ(writePlotFile(path.string(), PlotFormat::png, data, residual, "S", 5),
              "cannot write plot file \"" + path.string() + "\": Permission denied");
}

// Hundreds of files in one process: each one a PLplot stream that is ended
// again (PLplot has 100), and no file left open.
TEST_F(PlotFileTest, ManyFilesInOneProcess) {
    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
    };
    const PlotData data = small(30);
    const auto before = openFiles();
    for (int i = 0; i < 150; ++i) {
        const PlotFormat format = i % 3 == 0 ? PlotFormat::png : i % 3 == 1 ? PlotFormat::svg : PlotFormat::pdf;
        const fs::path path = dir / ("p" + std::to_string(i % 6) + "." + std::string(plotFormatExtension(format)));
        ASSERT_EQ(writePlotFile(path.string(), format, data, residual, "S", 5), "") << i;
    }
    EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace detrend::plot
