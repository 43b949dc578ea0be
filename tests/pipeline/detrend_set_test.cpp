// The batch treatment of one input's series, where the program's face
// cannot show it: the listing sent to a terminal.
#include "pipeline/detrend_set.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace detrend::pipeline {
namespace {

// The listing of one series named `name`, written to a terminal or a pipe.
std::string listingOf(const std::string& name, bool terminal) {
    formats::SeriesSet set;
    set.series.push_back({name, 1900, {1.1, 0.9, 1.3, 1.0, 0.8, 1.2, 1.1, 0.9}, {}});
    int writer = -1, reader = -1;
    if (terminal) {
        struct termios raw {};
        ::cfmakeraw(&raw);  // the bytes as written, line ends untranslated
        if (::openpty(&reader, &writer, nullptr, &raw, nullptr) != 0) return "no terminal";
    } else {
        int ends[2];
        if (::pipe(ends) != 0) return "no pipe";
        reader = ends[0], writer = ends[1];
    }
    output::Messages messages(std::tmpfile(), nullptr);
    InputPlan input{"t", "t", "t", {}, {}, {}};
    input.files[static_cast<int>(output::OutputKind::listing)] = "/dev/fd/" + std::to_string(writer);
    output::OutputClaims claims;
    const SetPlan plan = planSet(set, Cutoff{3, 0}, RunSettings{}, "t", messages);
    detrendSet(set, plan, RunSettings{}, input, claims, messages, {});
    ::close(writer);
    char bytes[4096];
    const ssize_t got = ::read(reader, bytes, sizeof bytes);
    ::close(reader);
    const std::string text(bytes, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    return text.substr(0, text.find("year"));
}

TEST(DetrendSet, NamesReachATerminalEscaped) {
    const std::string name = "A\x1B[2J";
    EXPECT_EQ(listingOf(name, false), "\r\n Input series is: A\x1B[2J" + std::string(15, ' ') + "\r\n ");
    EXPECT_EQ(listingOf(name, true), "\r\n Input series is: A\\x1B[2J" + std::string(12, ' ') + "\r\n ");
}

}  // namespace
}  // namespace detrend::pipeline
