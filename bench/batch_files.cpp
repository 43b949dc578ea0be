// Many Tucson files in one batch run; plot files of a typical collection of
// sites (16 files, about 1300 series of about 300 years) on one worker and
// on all (the aim: under 10 s); and the largest table through the batch
// command line and through the dialogue side by side.
//
//   bench_batch_files path/to/detrend [files] [runs]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "run_command.hpp"
#include "table_text.hpp"

using detrend::bench::bestOf;
using detrend::bench::Measured;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_batch_files path/to/detrend [files] [runs]\n");
        return 2;
    }
    const int files = argc > 2 ? std::atoi(argv[2]) : 200;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    char* program = ::realpath(argv[1], nullptr);
    char dir[] = "/tmp/detrend-batch-XXXXXX";
    if (program == nullptr || ::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;

    std::vector<std::string> command = {program, "-q", "-c", "30", "-d", "out"};
    for (int f = 0; f < files; ++f) command.push_back("site" + std::to_string(f) + ".rwl");
    // The files are made by a child process: a command's peak memory counts
    // from the highest resident size of this process.
    detrend::bench::inChild([&] {
        for (int f = 0; f < files; ++f)
            std::ofstream(d + "/site" + std::to_string(f) + ".rwl")
                << detrend::bench::tucsonFile(40, static_cast<unsigned>(f + 1));
        for (int f = 0; f < 16; ++f)
            std::ofstream(d + "/plots" + std::to_string(f) + ".rwl")
                << detrend::bench::tucsonFile(81, static_cast<unsigned>(1000 + f));
        std::ofstream(d + "/table.txt") << detrend::bench::ringWidthTable(699, 9940);
    });
    std::size_t bytes = 0;
    for (int f = 0; f < files; ++f)
        bytes +=
            static_cast<std::size_t>(std::ifstream(d + "/site" + std::to_string(f) + ".rwl", std::ios::ate).tellg());
    std::system(("mkdir -p " + d + "/out").c_str());
    std::printf("%d Tucson files of 40 series each, %.1f MB in all; best of %d runs\n", files,
                static_cast<double>(bytes) / 1e6, runs);
    const Measured many = bestOf(runs, command, d);
    std::printf("one detrend -d run: %.3f s, %.2f ms per file, peak %.1f MB, status %d\n", many.seconds,
                1000.0 * many.seconds / files, many.peakMB, many.status);

    // The plot files: 16 x 81 = 1296 series, 150 to 450 years each.
    std::vector<std::string> sites = {program, "-q", "-c", "30", "-d", "sites"};
    for (int f = 0; f < 16; ++f) sites.push_back("plots" + std::to_string(f) + ".rwl");
    const Measured noPlots = bestOf(runs, sites, d);
    std::vector<std::string> withPlots = sites;
    withPlots.insert(withPlots.end(), {"--plot", "plots"});
    const Measured plots = bestOf(runs, withPlots, d);
    withPlots.insert(withPlots.begin() + 1, {"-j", "1"});
    const Measured plotsOneJob = bestOf(runs, withPlots, d);
    std::printf(
        "16 Tucson files, 1296 series: without plots %.3f s; with PNG plots %.3f s, %.2f ms per picture "
        "(-j 1: %.3f s); peak %.1f MB, status %d\n",
        noPlots.seconds, plots.seconds, 1000.0 * (plots.seconds - noPlots.seconds) / 1296, plotsOneJob.seconds,
        plots.peakMB, plots.status);

    std::ofstream(d + "/replies.txt") << "table.txt\nlisting.txt\n700\n-999\n30\n";
    const Measured csv = bestOf(runs, {program, "-q", "-c", "30", "--csv", "table.csv", "table.txt"}, d);
    const Measured dialogue = bestOf(runs, {program}, d, d + "/replies.txt");
    std::printf(
        "699 series x 9940 years: batch --csv %.3f s (peak %.1f MB, status %d), dialogue %.3f s (peak %.1f "
        "MB, status %d)\n",
        csv.seconds, csv.peakMB, csv.status, dialogue.seconds, dialogue.peakMB, dialogue.status);
    std::system(("rm -rf " + d).c_str());
    std::free(program);
    return 0;
}
