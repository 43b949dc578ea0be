#include "driver/console.hpp"

#include "driver/failure.hpp"
#include "driver/layout.hpp"

namespace detrend {

void Console::write(std::string_view text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), output_);
}

void Console::line(std::string_view text) {
    write(text);
    write("\n");
    midLine_ = false;
}

void Console::note(std::string_view text) {
    flush();
    std::fprintf(notes_, "detrend: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(notes_);
}

void Console::prompt(std::string_view text) {
    write(promptLine(text));
    flush();
    midLine_ = true;
    awaiting_ = "the reply to \"" + std::string(text) + "\"";
}

std::string Console::lineReply() {
    if (!input_.next()) check({ScanStatus::endOfFile, input_.lineNumber()});
    midLine_ = false;
    return std::string(input_.line());
}

void Console::numberReply(int& value) {
    check(reader_.read(value));
    midLine_ = false;
}

void Console::numberReply(float& value) {
    check(reader_.read(value));
    midLine_ = false;
}

void Console::awaitEnter() {
    flush();
    awaiting_ = "the line awaited after \"never get here\"";
    if (!input_.next()) check({ScanStatus::endOfFile, input_.lineNumber()});
}

void Console::check(const ScanResult& result) {
    if (result.status == ScanStatus::ok) return;
    fail(std::string(reasonText(result.status)) + " (" + awaiting_ + ")");
}

}  // namespace detrend
