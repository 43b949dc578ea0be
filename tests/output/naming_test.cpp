// The names of a batch run's outputs and the refusals of an output that
// would destroy an input or another output.
#include "output/naming.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace detrend::output {
namespace {

TEST(Naming, BaseNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"site.rwl", "site"},   {"a/b/site.rwl", "site"}, {"site", "site"}, {"site.tar.gz", "site.tar"},
        {".hidden", ".hidden"}, {"dir/.rwl", ".rwl"},     {"-", "stdin"},   {"a.b/c", "c"},
    };
    for (const auto& [input, base] : cases) EXPECT_EQ(baseName(input), base) << input;
    EXPECT_EQ(inputLabel("-"), "standard input");
    EXPECT_EQ(inputLabel("a.rwl"), "a.rwl");
}

// The tables and picture beside a crossdating report are named after it.
TEST(Naming, BesideACrossdatingReport) {
    const std::pair<const char*, const char*> stems[] = {
        {"x.txt", "x"}, {"out/x.txt", "out/x"}, {"x", "x"}, {"a.b/x", "a.b/x"}, {"d/.txt", "d/.txt"}, {"x.y.z", "x.y"},
    };
    for (const auto& [path, stem] : stems) EXPECT_EQ(withoutExtension(path), stem) << path;
    const CrossdatingNames names = crossdatingNames("out/site-xdate.txt", "svg");
    EXPECT_EQ(names.series, "out/site-xdate-series.csv");
    EXPECT_EQ(names.overall, "out/site-xdate-overall.csv");
    EXPECT_EQ(names.segments, "out/site-xdate-segments.csv");
    EXPECT_EQ(names.lags, "out/site-xdate-lags.csv");
    EXPECT_EQ(names.picture, "out/site-xdate.svg");
}

TEST(Naming, SeriesStemsAreSafeAndDistinct) {
    using Names = std::vector<std::string>;
    const struct {
        const char* what;
        Names series, stems;
    } cases[] = {
        {"plain and trailing blanks", {"Oak1", "Oak2     "}, {"Oak1", "Oak2"}},
        {"other characters", {"Oak 1/a", "x*y?z", "a-b_c.d", "\xc3\x84r"}, {"Oak_1_a", "x_y_z", "a-b_c.d", "__r"}},
        {"empty and blank names", {"", "   "}, {"_", "_-2"}},
        {"repeated names", {"A", "A", "A"}, {"A", "A-2", "A-3"}},
        {"same after sanitizing", {"a b", "a_b", "a/b"}, {"a_b", "a_b-2", "a_b-3"}},
        {"literal -2 after", {"A", "A", "A-2"}, {"A", "A-3", "A-2"}},
        {"literal -2 before", {"A-2", "A", "A"}, {"A-2", "A", "A-3"}},
        {"literal -2 repeated", {"A", "A", "A-2", "A-2"}, {"A", "A-3", "A-2", "A-2-2"}},
        {"long names cut",
         {std::string(300, 'A'), std::string(100, 'A') + "B"},
         {std::string(100, 'A'), std::string(100, 'A') + "-2"}},
        {"no series", {}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(seriesStems(c.series), c.stems) << c.what;
}

TEST(Naming, OutputNamesOfAnInput) {
    EXPECT_EQ(outputPath("out", "site", outputSuffix(OutputKind::listing, ChronologyFormat::csv)), "out/site.out");
    EXPECT_EQ(outputPath("out", "site", outputSuffix(OutputKind::indices, ChronologyFormat::csv)), "out/site.csv");
    EXPECT_EQ(outputPath("o", "s", outputSuffix(OutputKind::chronology, ChronologyFormat::csv)), "o/s-chron.csv");
    EXPECT_EQ(outputPath("o", "s", outputSuffix(OutputKind::chronology, ChronologyFormat::crn)), "o/s.crn");
    EXPECT_EQ(outputPath("o", "s", outputSuffix(OutputKind::residualChronology, ChronologyFormat::crn)), "o/s-res.crn");
    EXPECT_EQ(residualCrnPath("a/site.CRN"), "a/site-res.CRN");
    EXPECT_EQ(residualCrnPath("chron"), "chron-res.crn");
    EXPECT_EQ(outputPath("o", "s", outputSuffix(OutputKind::statistics, ChronologyFormat::csv)), "o/s-stats.csv");
    // The chronology's picture beside its table, and a series' picture.
    EXPECT_EQ(outputPath("p", "s", chronologyPictureSuffix("png")), "p/s-chron.png");
    EXPECT_EQ(outputPath("p", "s", seriesPictureSuffix("OAK1", "svg")), "p/s-OAK1.svg");
}

// Each refusal names the output and what it would destroy.
TEST(Naming, ClaimsRefuseWhatWouldDestroyData) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "detrend-naming-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sub");
    const std::string in = (dir / "in.rwl").string();
    std::ofstream(in) << "x";
    OutputClaims claims;
    claims.addInputs({in, "-"});
    const std::string out = (dir / "out.txt").string();
    const std::string otherSpelling = (dir / "sub" / ".." / "out.txt").string();
    EXPECT_TRUE(claims.check(out, in).ok());
    EXPECT_TRUE(claims.check("-", in).ok());
    EXPECT_EQ(claims.check(in, in).why(),
              "output file \"" + in + "\" is the input file \"" + in + "\": writing it would destroy the input");
    claims.claim(out, in);
    EXPECT_EQ(claims.check(otherSpelling, in).why(),
              "output file \"" + otherSpelling + "\" is named for two outputs of this input");
    EXPECT_EQ(claims.check(out, "b.rwl").why(),
              "output file \"" + out + "\" was already written for input \"" + in + "\"");
    std::filesystem::remove_all(dir);
}

TEST(Naming, DirectoriesAreMadeWithTheirParents) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "detrend-naming-dirs";
    std::filesystem::remove_all(dir);
    const base::Result<bool> made = makeDirectory((dir / "a" / "b").string());
    ASSERT_TRUE(made.ok()) << made.why();
    EXPECT_TRUE(*made);
    const base::Result<bool> again = makeDirectory((dir / "a" / "b").string());
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(*again);
    std::ofstream((dir / "file").string()) << "x";
    EXPECT_EQ(makeDirectory((dir / "file").string()).why(), "Not a directory");
    EXPECT_EQ(makeDirectory((dir / "file" / "d").string()).why(), "Not a directory");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace detrend::output
