#include "output/output_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace detrend::output {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "outputfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
    fs::path dir;
};

// Replaced when complete: nothing of the new file shows until close(), and
// a file given up leaves the old one and no temporary.
TEST_F(OutputFileTest, ARegularFileIsReplacedOnlyWhenComplete) {
    std::ofstream(path("out")) << "old";
    ::chmod(path("out").c_str(), 0640);
    {
        OutputFile file(path("out"), Replace::whenComplete);
        ASSERT_TRUE(file.opened().ok());
        ASSERT_TRUE(file.write("new").ok());
        EXPECT_EQ(read("out"), "old");
        EXPECT_EQ(entries(), 2u);
    }  // given up
    EXPECT_EQ(read("out"), "old");
    EXPECT_EQ(entries(), 1u);
    OutputFile file(path("out"), Replace::whenComplete);
    ASSERT_TRUE(file.write("new").ok());
    ASSERT_TRUE(file.close().ok());
    EXPECT_EQ(read("out"), "new");
    EXPECT_EQ(entries(), 1u);
    struct stat status;
    ASSERT_EQ(::stat(path("out").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// A symbolic link, a device or a pipe is written in place.
TEST_F(OutputFileTest, OtherTargetsAreWrittenInPlace) {
    std::ofstream(path("target")) << "old contents";
    fs::create_symlink(path("target"), path("link"));
    OutputFile link(path("link"), Replace::whenComplete);
    ASSERT_TRUE(link.write("new").ok());
    ASSERT_TRUE(link.close().ok());
    EXPECT_TRUE(fs::is_symlink(path("link")));
    EXPECT_EQ(read("target"), "new");
    OutputFile null("/dev/null", Replace::whenComplete);
    EXPECT_TRUE(null.write("x").ok());
    EXPECT_TRUE(null.close().ok());
}

// A target that cannot be replaced is refused before anything is written,
// naming what refuses it; a name as long as the system allows still works.
TEST_F(OutputFileTest, RefusalsNameWhatRefuses) {
    std::ofstream(path("locked")) << "kept";
    fs::permissions(path("locked"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string longName(255, 'n');
    const struct {
        std::string target, why;
    } cases[] = {
        {path("no/such/dir"), "cannot create output file \"" + path("no/such/dir") + "\" in directory \"" +
                                  path("no/such") + "\": No such file or directory"},
        {path("locked"), "output file \"" + path("locked") + "\" is write-protected: it is not replaced"},
        {path(longName), ""},
    };
    for (const auto& c : cases) {
        OutputFile file(c.target, Replace::whenComplete);
        EXPECT_EQ(file.opened().why(), c.why) << c.target;
        if (file.opened().ok()) {
            EXPECT_TRUE(file.close().ok());
        }
    }
    EXPECT_EQ(read("locked"), "kept");
    EXPECT_TRUE(fs::exists(path(longName)));
}

}  // namespace
}  // namespace detrend::output
