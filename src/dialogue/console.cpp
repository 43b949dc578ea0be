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
base::Status Console::nextLine() {
    if (input_.next()) return base::Status::success();
    return check(
        {input_.status() ? formats::ScanStatus::endOfFile : formats::ScanStatus::unreadable, input_.lineNumber()});
}

base::Result<std::string> Console::lineReply() {
    if (base::Status next = nextLine(); !next.ok()) return next.error();
    midLine_ = false;
    return std::string(input_.line());
}

base::Status Console::numberReply(int& value) {
    base::Status read = check(reader_.read(value));
    midLine_ = false;
    return read;
}

base::Status Console::numberReply(float& value) {
    base::Status read = check(reader_.read(value));
    midLine_ = false;
    return read;
}

base::Status Console::awaitEnter() {
    flush();
    awaiting_ = "the line awaited after \"never get here\"";
    return nextLine();
}

base::Status Console::check(const formats::ScanResult& result) {
    if (result.status == formats::ScanStatus::ok) return base::Status::success();
    const base::Diagnostic why = reader_.diagnostic(result);
    if (result.status == formats::ScanStatus::unreadable) return endRun(why.what);
    return endRun(why.what + " (" + awaiting_ + ")");
}

}  // namespace detrend::dialogue
