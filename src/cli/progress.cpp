#include "cli/progress.hpp"

#include <string>

namespace detrend::cli {

void Progress::show() {
    if (!messages_.toTerminal()) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    messages_.status(std::to_string(filesDone_) + " of " + std::to_string(files_) + " files, " +
                     std::to_string(series_) + " series done");
}

}  // namespace detrend::cli
