// detrend: detrends annual series with a cubic smoothing spline.
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "console.hpp"
#include "failure.hpp"
#include "lines.hpp"
#include "run.hpp"

#ifndef DETREND_PLPLOT_LIB
#error "DETREND_PLPLOT_LIB must name PLplot's font directory"
#endif

int main() {
    // PLplot finds its font files through PLPLOT_LIB; an inherited value
    // could point at fonts of another version.
    ::setenv("PLPLOT_LIB", DETREND_PLPLOT_LIB, 1);
    std::fesetround(FE_TONEAREST);

    detrend::LineReader consoleInput(STDIN_FILENO, "standard input");
    detrend::Console console(consoleInput, stdout);
    int status;
    try {
        detrend::Workspace workspace;
        status = detrend::run(console, workspace);
    } catch (const detrend::RunEnd& end) {
        console.flush();
        if (!end.report.empty()) {
            // After a prompt, start the report on a line of its own when both
            // streams go to the same terminal.
            if (console.midLine() && ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO)) std::fputc('\n', stderr);
            std::fprintf(stderr, "detrend: %s\n", end.report.c_str());
        }
        status = end.status;
    }
    // Console text that could not be written is a failed run too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "detrend: cannot write standard output\n");
        if (status == 0) status = 1;
    }
    return status;
}
