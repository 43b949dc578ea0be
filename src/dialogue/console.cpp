#include "dialogue/console.hpp"

#include "dialogue/run_end.hpp"
#include "output/fixed_columns.hpp"

namespace detrend::dialogue {

std::string promptLine(std::string_view text) {
    output::Line line;
    line.blank().text(text).columnStop(45).text("==> ");
    return std::string(line.view());
}

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
    messages_.note(text);
}

void Console::prompt(std::string_view text) {
    write(promptLine(text));
    flush();
    midLine_ = true;
    awaiting_ = "the reply to \"" + std::string(text) + "\"";
}

// Moves to the next reply line; the end of the console input, or input that
// cannot be read, ends the run.
void Console::nextLine() {
    if (input_.next()) return;
    check({input_.status() ? formats::ScanStatus::endOfFile : formats::ScanStatus::unreadable, input_.lineNumber()});
}

std::string Console::lineReply() {
    nextLine();
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
    nextLine();
}

void Console::check(const formats::ScanResult& result) {
    if (result.status == formats::ScanStatus::ok) return;
    const base::Diagnostic why = reader_.diagnostic(result);
    if (result.status == formats::ScanStatus::unreadable) fail(why.what);
    fail(why.what + " (" + awaiting_ + ")");
}

}  // namespace detrend::dialogue
