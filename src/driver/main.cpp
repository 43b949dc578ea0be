// detrend: detrends annual series with a cubic smoothing spline.
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

#include "driver/console.hpp"
#include "driver/failure.hpp"
#include "driver/lines.hpp"
#include "driver/run.hpp"

#ifndef DETREND_PLPLOT_LIB
#error "DETREND_PLPLOT_LIB must name PLplot's font directory"
#endif
#ifndef DETREND_VERSION
#error "DETREND_VERSION must give the program's version"
#endif

namespace {

constexpr const char* usage = "usage: detrend [--help | --version]";

constexpr const char* help =
    "usage: detrend [--help | --version]\n"
    "\n"
    "Detrends annual series, such as tree-ring widths, with a cubic smoothing\n"
    "spline. detrend takes no other arguments: it asks on the console for\n"
    "  - the input table (reply / to leave),\n"
    "  - the results listing to write,\n"
    "  - the number of columns of the table, the year column included,\n"
    "  - the missing-value flag, e.g. -999,\n"
    "  - the cutoff: the period in years at which the spline keeps half the\n"
    "    amplitude of a variation.\n"
    "Each series is centred, extended at both ends with a Burg prediction-error\n"
    "filter, smoothed, written to the listing with its residuals, and plotted.\n"
    "Right-click a plot window (or close it) to go on to the next series.\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "See detrend(1) for the input format, the listing and the messages.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::string_view argument = argv[1];
        if (argc == 2 && argument == "--help") {
            std::fputs(help, stdout);
            return 0;
        }
        if (argc == 2 && argument == "--version") {
            std::printf("detrend %s\n", DETREND_VERSION);
            return 0;
        }
        // A known option can only stand alone: then the one after it is unexpected.
        const char* unexpected = argument == "--help" || argument == "--version" ? argv[2] : argv[1];
        std::fprintf(stderr, "detrend: unexpected argument \"%s\" (%s)\n", unexpected, usage);
        return 2;
    }

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
