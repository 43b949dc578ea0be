// A console for the numerical routines that records what they show.
#pragma once

#include <string>
#include <vector>

#include "numeric/messages.hpp"

namespace detrend::numeric {

struct RecordingConsole final : MessageConsole {
    std::vector<std::string> lines;
    int waits = 0;
    void showLine(std::string_view text) override { lines.emplace_back(text); }
    void awaitEnter() override { ++waits; }
};

}  // namespace detrend::numeric
