// The dialogue gives the same console text, listing and ending whatever the
// number of workers.
#include "dialogue/dialogue.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "dialogue/run_end.hpp"

namespace detrend::dialogue {
namespace {

// The dialogue on a table whose third series needs the " never get here"
// wait (cutoff 0) and whose sixth is too long for the spline: the console
// text, the listing and the ending are the same with 1 worker and with 3.
struct DialogueRun {
    std::string console, listing, report;
    int status = 0;
};

DialogueRun dialogueWith(int workers, const std::string& replies) {
    DialogueRun result;
    formats::LineReader input(replies, "standard input");
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
        output::Messages messages(out, out);
        Console console(input, out, messages);
        Workspace workspace;
        workspace.workers = workers;
        const base::Result<int> ran = runDialogue(console, workspace);
        result.status = ran.ok() ? *ran : 1;
        if (!ran.ok()) result.report = ran.why();
    }
    std::fclose(out);
    result.console.assign(buffer, size);
    std::free(buffer);
    std::ifstream listing("listing.txt", std::ios::binary);
    result.listing.assign(std::istreambuf_iterator<char>(listing), {});
    std::remove("listing.txt");
    return result;
}

TEST(Dialogue, BytesDoNotDependOnWorkers) {
    char dir[] = "/tmp/detrend-pipeline-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    char* home = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir), 0);
    unsetenv("DISPLAY");
    {
        std::ofstream table("table.txt");
        table << "Year A B C D E\n";
        for (int y = 0; y < 9990; ++y) {
            table << 1000 + y;
            for (int s = 0; s < 5; ++s) {
                const bool present = y >= 50 * s && (s == 4 || y < 400 + 30 * s);
                if (present)
                    table << ' ' << 1.0 + 0.001 * ((y * 31 + s * 17) % 523);
                else
                    table << " -999";
            }
            table << '\n';
        }
    }
    // Cutoff 3: every series is fitted but E (9790 values) fits, then a
    // second run with cutoff 200 where E is too long for the spline.
    for (const char* cutoff : {"3", "200", "0"}) {
        const std::string replies = std::string("table.txt\nlisting.txt\n6\n-999\n") + cutoff + "\n\n\n\n\n\n";
        const DialogueRun one = dialogueWith(1, replies);
        const DialogueRun three = dialogueWith(3, replies);
        EXPECT_EQ(three.console, one.console) << cutoff;
        EXPECT_EQ(three.listing, one.listing) << cutoff;
        EXPECT_EQ(three.status, one.status) << cutoff;
        EXPECT_EQ(three.report, one.report) << cutoff;
        EXPECT_GT(one.listing.size(), 1000u) << cutoff;
    }
    EXPECT_EQ(chdir(home), 0);
    std::free(home);
    std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
}  // namespace detrend::dialogue
