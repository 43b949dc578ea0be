// Console replies on arbitrary bytes: whole-line replies and numbers in free
// layout, read in turn as the dialogue does, through the program's Console.
// The numbers that parse are checked against the C library's own conversion.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "dialogue/console.hpp"
#include "dialogue/run_end.hpp"
#include "formats/free_layout.hpp"
#include "formats/numbers.hpp"
#include "output/messages.hpp"

using namespace detrend::dialogue;
using namespace detrend::formats;

namespace {

// The first token of the input (up to a blank, comma, slash or line end),
// checked against strtod/strtof when the reader accepts it as a number.
void checkConversions(std::string_view bytes) {
    const std::size_t end = std::min(bytes.find_first_of(" \t,/\r\n"), std::min<std::size_t>(bytes.size(), 80));
    const std::string_view token = bytes.substr(0, end);
    std::string text(token);
    for (char& c : text)
        if (c == 'd' || c == 'D' || c == 'q' || c == 'Q') c = 'e';

    double d = 0;
    if (parseNumber(token, d) == ScanStatus::ok) {
        const double expected = std::strtod(text.c_str(), nullptr);
        if (std::memcmp(&d, &expected, sizeof d) != 0) std::abort();
    }
    float f = 0;
    if (parseNumber(token, f) == ScanStatus::ok) {
        const float expected = std::strtof(text.c_str(), nullptr);
        if (std::memcmp(&f, &expected, sizeof f) != 0) std::abort();
    }
    // A number read from the start of the token stops where a token of it
    // alone would read the same.
    const char* const last = token.data() + token.size();
    double prefix = 0;
    if (const NumberRead read = parseFreeFloat(token.data(), last, prefix); read.ec == std::errc()) {
        double alone = 0;
        const std::string_view digits(token.data(), static_cast<std::size_t>(read.ptr - token.data()));
        if (parseNumber(digits, alone) != ScanStatus::ok || std::memcmp(&alone, &prefix, sizeof alone) != 0)
            std::abort();
    }
    int i = 0;
    if (parseNumber(token, i) == ScanStatus::ok) {
        int back = 0;
        if (parseNumber(std::to_string(i), back) != ScanStatus::ok || back != i) std::abort();
        if (std::strtoll(text.c_str(), nullptr, 10) != i) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkConversions(bytes);

    LineReader lines(bytes, "console");
    static detrend::output::Messages messages(devnull, devnull);
    Console console(lines, devnull, messages);
    // Replies are read until one ends the run, which always says why.
    for (;;) {
        const detrend::base::Result<std::string> line = console.lineReply();
        if (!line.ok()) {
            if (line.why().empty()) std::abort();
            break;
        }
        if (line->find_first_of("\t\r") != std::string::npos) std::abort();
        int count = 7;
        detrend::base::Status read = console.numberReply(count);
        float flag = 0.5f;
        if (read.ok()) read = console.numberReply(flag);
        if (!read.ok()) {
            if (read.why().empty()) std::abort();
            break;
        }
    }
    return 0;
}
