#include "output/messages.hpp"
#include "base/text.hpp"

#include <unistd.h>

namespace detrend::output {

Messages::Messages(std::FILE* stream, std::FILE* console)
    : stream_(stream), console_(console), terminal_(::isatty(::fileno(stream)) == 1) {}

void Messages::write(std::string_view prefix, std::string_view text) {
    if (console_ != nullptr) std::fflush(console_);
    endStatus();
    if (!prefix.empty()) std::fwrite(prefix.data(), 1, prefix.size(), stream_);
    base::escapeControls(text, [&](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stream_); });
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

void Messages::error(std::string_view text) { write("detrend: ", text); }

void Messages::note(std::string_view text) {
    if (!quiet_) write("detrend: ", text);
}

void Messages::line(std::string_view text) { write({}, text); }

void Messages::status(std::string_view text) {
    if (quiet_ || !terminal_) return;
    std::fputs("\rdetrend: ", stream_);
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
    statusShown_ = true;
}

void Messages::endStatus() {
    if (!statusShown_) return;
    std::fputs("\r\033[K", stream_);
    statusShown_ = false;
}

std::string located(std::string_view label, const base::Diagnostic& error) {
    std::string where(label);
    if (error.line > 0) where += ":" + std::to_string(error.line);
    if (error.line > 0 && error.column > 0) where += ":" + std::to_string(error.column);
    return where + ": " + error.what;
}

}  // namespace detrend::output
