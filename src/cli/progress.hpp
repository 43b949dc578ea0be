// The progress line of a long batch run: files and series done so far, shown
// on a terminal after the first second and rewritten at most ten times a
// second.
#pragma once

#include <chrono>

#include "output/messages.hpp"

namespace detrend::cli {

class Progress {
public:
    Progress(output::Messages& messages, int files) : messages_(messages), files_(files) {}

    void seriesDone() {
        ++series_;
        show();
    }
    void fileDone() {
        ++filesDone_;
        show();
    }
    // Removes the line at the end of the run.
    void end() { messages_.endStatus(); }

private:
    void show();

    using Clock = std::chrono::steady_clock;
    output::Messages& messages_;
    const int files_;
    int filesDone_ = 0;
    long long series_ = 0;
    Clock::time_point start_ = Clock::now(), shown_{};
};

}  // namespace detrend::cli
