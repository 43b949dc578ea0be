// The ordered pipeline gives the same bytes whatever the number of workers:
// through the pipeline alone, and through the whole dialogue.
#include "driver/series_pipeline.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/console.hpp"
#include "driver/failure.hpp"
#include "driver/run.hpp"

namespace detrend {
namespace {

std::string bits(const numeric::SeriesFit& fit) {
    std::ostringstream out;
    out << static_cast<int>(fit.outcome) << fit.filterComputed << fit.mean << '|';
    for (double d : fit.coefficients) out << d << ' ';
    for (std::size_t i = 0; i < fit.series.size(); ++i)
        out << fit.series[i] << ',' << fit.spline[i] << ',' << fit.residual[i] << ';';
    return out.str();
}

// Delivers 60 series of varied lengths and cutoffs, some failing, and stops
// by throwing at series 50 as an ending in the middle of a run would.
std::string deliveredWith(int workers) {
    std::vector<std::vector<double>> series;
    for (int s = 0; s < 60; ++s) {
        std::vector<double> v(static_cast<std::size_t>(5 + (s * 37) % 300));
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = 1.0 + 0.001 * static_cast<double>((i * 7919 + s) % 997);
        series.push_back(v);
    }
    std::string delivered;
    int expected = 0;
    try {
        detrendInOrder(
            60, workers, 10000, [](int index) { return index % 7 == 3 ? 0 : 1 + index % 40; },
            [&](int index) { return std::span<const double>(series[static_cast<std::size_t>(index)]); },
            [&](int index, const numeric::SeriesFit& fit, const std::string& prepared) {
                if (index != expected++) delivered += "out of order ";
                if (index == 50) throw RunEnd{1, "stop"};
                // What the workers prepared belongs to this very series.
                if (prepared != std::to_string(index) + ":" + bits(fit)) delivered += "prepared for another ";
                delivered += bits(fit) + '\n';
            },
            [&](int index, const numeric::SeriesFit& fit, std::string& text) {
                text = std::to_string(index) + ":" + bits(fit);
            });
    } catch (const RunEnd& end) {
        delivered += end.report;
    }
    return delivered;
}

TEST(Pipeline, SameDeliveriesForAnyNumberOfWorkers) {
    const std::string one = deliveredWith(1);
    EXPECT_NE(one.find("stop"), std::string::npos);
    for (int workers : {2, 4, 0}) EXPECT_EQ(deliveredWith(workers), one) << workers;
}

// The dialogue on a table whose third series needs the " never get here"
// wait (cutoff 0) and whose sixth is too long for the spline: the console
// text, the listing and the ending are the same with 1 worker and with 3.
struct DialogueRun {
    std::string console, listing, report;
    int status = 0;
};

DialogueRun dialogueWith(int workers, const std::string& replies) {
    DialogueRun result;
    LineReader input(replies, "standard input");
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
        Console console(input, out, out);
        Workspace workspace;
        workspace.workers = workers;
        try {
            result.status = run(console, workspace);
        } catch (const RunEnd& end) {
            result.status = end.status;
            result.report = end.report;
        }
    }
    std::fclose(out);
    result.console.assign(buffer, size);
    std::free(buffer);
    std::ifstream listing("listing.txt", std::ios::binary);
    result.listing.assign(std::istreambuf_iterator<char>(listing), {});
    std::remove("listing.txt");
    return result;
}

TEST(Pipeline, DialogueBytesDoNotDependOnWorkers) {
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
}  // namespace detrend
