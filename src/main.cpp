// detrend: detrends annual series with a cubic smoothing spline. Without
// arguments it runs the dialogue, with arguments the batch command line.
#include <cfenv>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "cli/batch_run.hpp"
#include "dialogue/dialogue.hpp"
#include "output/messages.hpp"

#ifndef DETREND_PLPLOT_LIB
#error "DETREND_PLPLOT_LIB must name PLplot's font directory"
#endif

int main(int argc, char** argv) {
    // PLplot finds its font files through PLPLOT_LIB; an inherited value
    // could point at fonts of another version.
    ::setenv("PLPLOT_LIB", DETREND_PLPLOT_LIB, 1);
    std::fesetround(FE_TONEAREST);
    detrend::output::Messages messages;
    if (argc == 1) return detrend::dialogue::runConsoleDialogue(messages);
    try {
        return detrend::cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), messages);
    } catch (const std::bad_alloc&) {
        messages.error("not enough memory to go on");
        return 1;
    }
}
