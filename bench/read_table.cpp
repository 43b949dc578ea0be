// Reads the largest table the program accepts (700 columns by 10000 rows)
// through the program's own reader, from a file, and reports time and MB/s.
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

#include "driver/console.hpp"
#include "driver/run.hpp"
#include "driver/table.hpp"
#include "table_text.hpp"

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::stoi(argv[1]) : 5;
    const std::string text = detrend::bench::ringWidthTable(699, 10000);
    char path[] = "/tmp/detrend-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return 1;
    ::close(fd);

    std::FILE* devnull = std::fopen("/dev/null", "w");
    detrend::SeriesTable table;
    double best = 1e9;
    for (int r = 0; r < repeats; ++r) {
        const std::string replies = "700\n-999\n";
        detrend::LineReader consoleLines(replies, "console");
        detrend::Console console(consoleLines, devnull);
        const auto start = std::chrono::steady_clock::now();
        const int in = ::open(path, O_RDONLY);
        {
            detrend::LineReader lines(in, "input file");
            detrend::FreeReader file(lines);
            int columns = 0;
            float flag = 0.0f;
            detrend::askTableLayout(console, columns, flag);
            detrend::readtable(file, columns, flag, console, table);
        }
        ::close(in);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        std::printf("run %d: %.3f s\n", r + 1, seconds);
    }
    ::unlink(path);
    const double mb = static_cast<double>(text.size()) / 1e6;
    std::printf("table: 700 columns x 10000 rows, %.1f MB; best %.3f s, %.0f MB/s\n", mb, best, mb / best);
    return table.columnCount == 699 ? 0 : 1;
}
