// The console of the dialogue: lines and prompts written to an output
// stream, replies read from a line source with the free-layout reader.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "formats/free_layout.hpp"
#include "formats/lines.hpp"
#include "output/messages.hpp"

namespace detrend::dialogue {

// The prompt line: one blank, the text, blanks up to column 44 and "==> " in
// columns 45 to 48, without a line end.
std::string promptLine(std::string_view text);

class Console final {
public:
    // `output` (the console text) and `messages` (remarks about the run, such
    // as plots that cannot be shown) stay owned by the caller.
    Console(formats::LineReader& input, std::FILE* output, output::Messages& messages)
        : input_(input), reader_(input), output_(output), messages_(messages) {}

    void line(std::string_view text);
    void emptyLine() { line({}); }
    // Writes the prompt line for `text` (see promptLine) and flushes it.
    void prompt(std::string_view text);
    void flush() { std::fflush(output_); }
    // Writes "detrend: " and `text` as one line to the messages.
    void note(std::string_view text);

    // Reads a whole reply line, tabs expanded and carriage returns dropped;
    // the end of the console input ends the run.
    base::Result<std::string> lineReply();
    // Reads one number in free layout; "/" or an empty item leaves `value`
    // as it was. A reply that is not a number, or the end of the console
    // input, ends the run with a report naming the prompt.
    base::Status numberReply(int& value);
    base::Status numberReply(float& value);

    // Reads one line typed by the user and discards it.
    base::Status awaitEnter();

    // True while the last thing written is a prompt awaiting its reply.
    bool midLine() const { return midLine_; }

private:
    base::Status check(const formats::ScanResult& result);
    base::Status nextLine();
    void write(std::string_view text);

    formats::LineReader& input_;
    formats::FreeReader reader_;
    std::FILE* output_;
    output::Messages& messages_;
    std::string awaiting_;  // what the next reply answers, for error reports
    bool midLine_ = false;
};

}  // namespace detrend::dialogue
