// detrend: detrends annual series with a cubic smoothing spline.
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>
#include <unistd.h>

#include "driver/console.hpp"
#include "driver/failure.hpp"
#include "driver/lines.hpp"
#include "driver/batch.hpp"
#include "driver/run.hpp"

#ifndef DETREND_PLPLOT_LIB
#error "DETREND_PLPLOT_LIB must name PLplot's font directory"
#endif

namespace {

constexpr const char* notEnoughMemory = "not enough memory to go on";

// Writes the report of a run that ended early (none when empty) and returns
// its status. Allocates nothing: it also reports running out of memory.
int endReport(detrend::Console& console, int status, const char* report) {
    console.flush();
    if (*report != '\0') {
        // After a prompt, start the report on a line of its own when both
        // streams go to the same terminal.
        if (console.midLine() && ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO)) std::fputc('\n', stderr);
        std::fprintf(stderr, "detrend: %s\n", report);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // PLplot finds its font files through PLPLOT_LIB; an inherited value
    // could point at fonts of another version.
    ::setenv("PLPLOT_LIB", DETREND_PLPLOT_LIB, 1);
    std::fesetround(FE_TONEAREST);

    // With arguments: the batch command line; without: the dialogue.
    if (argc > 1) {
        try {
            return detrend::runBatch(std::vector<std::string>(argv + 1, argv + argc));
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "detrend: %s\n", notEnoughMemory);
            return 1;
        }
    }

    int status;
    try {
        detrend::LineReader consoleInput(STDIN_FILENO, "standard input");
        detrend::Console console(consoleInput, stdout);
        try {
            detrend::Workspace workspace;
            status = detrend::run(console, workspace);
        } catch (const detrend::RunEnd& end) {
            status = endReport(console, end.status, end.report.c_str());
        } catch (const std::bad_alloc&) {
            status = endReport(console, 1, notEnoughMemory);
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "detrend: %s\n", notEnoughMemory);
        status = 1;
    }
    // Console text that could not be written is a failed run too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "detrend: cannot write standard output\n");
        if (status == 0) status = 1;
    }
    return status;
}
