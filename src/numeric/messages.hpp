// The console as the numerical routines see it: they show a few fixed lines
// and, in one case, wait for the user to press Enter.
#pragma once

#include <string_view>

namespace detrend::numeric {

class MessageConsole {
public:
    // Shows one complete line.
    virtual void showLine(std::string_view text) = 0;
    // Reads one line typed by the user and discards it.
    virtual void awaitEnter() = 0;

protected:
    ~MessageConsole() = default;
};

}  // namespace detrend::numeric
