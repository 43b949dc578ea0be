// Every detrending method on the largest table: 699 series x 9000 years as
// CSV in, the indices as CSV out, each method beside the Burg spline (the
// default), in seconds and peak memory, runs of the methods interleaved.
//
//   bench_methods path/to/detrend [runs]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "run_command.hpp"
#include "table_text.hpp"

using detrend::bench::Measured;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_methods path/to/detrend [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    char* program = ::realpath(argv[1], nullptr);
    char dir[] = "/tmp/detrend-methods-XXXXXX";
    if (program == nullptr || ::mkdtemp(dir) == nullptr) return 1;
    const std::string d = dir;
    detrend::bench::inChild(
        [&] { std::ofstream(d + "/table.csv") << detrend::bench::ringWidthTable(699, 9000, 1000, ','); });
    const std::vector<std::vector<std::string>> methods = {{"-c", "32"},
                                                           {"-c", "32", "--filter-length", "auto"},
                                                           {"--method", "spline"},
                                                           {"--method", "negexp"},
                                                           {"--method", "hugershoff"},
                                                           {"--method", "mean"},
                                                           {"--method", "ar"},
                                                           {"--method", "friedman"},
                                                           {"--method", "age-spline"}};
    std::vector<std::vector<double>> seconds(methods.size());
    std::vector<double> peak(methods.size(), 0.0);
    for (int run = 0; run < runs; ++run)
        for (std::size_t m = 0; m < methods.size(); ++m) {
            std::vector<std::string> command = {program, "-q", "--csv", "out.csv"};
            command.insert(command.end(), methods[m].begin(), methods[m].end());
            command.push_back("table.csv");
            const Measured r = detrend::bench::runCommand(command, d);
            if (r.status != 0) std::fprintf(stderr, "status %d for method %zu\n", r.status, m);
            seconds[m].push_back(r.seconds);
            peak[m] = std::max(peak[m], r.peakMB);
        }
    std::printf("699 series x 9000 years, CSV in, --csv out; median of %d interleaved runs\n", runs);
    std::printf("%-40s %9s %9s %9s\n", "method", "seconds", "x burg", "peak MB");
    double baseline = 0;
    for (std::size_t m = 0; m < methods.size(); ++m) {
        std::sort(seconds[m].begin(), seconds[m].end());
        const double median = seconds[m][seconds[m].size() / 2];
        if (m == 0) baseline = median;
        std::string name;
        for (const std::string& a : methods[m]) name += a + " ";
        std::printf("%-40s %9.3f %9.2f %9.1f\n", name.c_str(), median, median / baseline, peak[m]);
    }
    std::system(("rm -rf " + d).c_str());
    std::free(program);
    return 0;
}
