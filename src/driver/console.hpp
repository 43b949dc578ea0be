// The console of a run: lines and prompts written to an output stream, replies
// read from a line source with the free-layout reader.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "driver/freeform.hpp"
#include "driver/lines.hpp"

namespace detrend {

class Console final {
public:
    // `output` (the console text) and `notes` (remarks about the run, such
    // as plots that cannot be shown) stay owned by the caller.
    Console(LineReader& input, std::FILE* output, std::FILE* notes = stderr)
        : input_(input), reader_(input), output_(output), notes_(notes) {}

    void line(std::string_view text);
    void emptyLine() { line({}); }
    // Writes the prompt line for `text` (see promptLine) and flushes it.
    void prompt(std::string_view text);
    void flush() { std::fflush(output_); }
    // Writes "detrend: " and `text` as one line to the notes stream.
    void note(std::string_view text);

    // Reads a whole reply line, tabs expanded and carriage returns dropped.
    std::string lineReply();
    // Reads one number in free layout; "/" or an empty item leaves `value`
    // as it was. A reply that is not a number, or the end of the console
    // input, ends the run with a report naming the prompt.
    void numberReply(int& value);
    void numberReply(float& value);

    // Reads one line typed by the user and discards it.
    void awaitEnter();

    // True while the last thing written is a prompt awaiting its reply.
    bool midLine() const { return midLine_; }

private:
    void check(const ScanResult& result);
    void write(std::string_view text);

    LineReader& input_;
    FreeReader reader_;
    std::FILE* output_;
    std::FILE* notes_;
    std::string awaiting_;  // what the next reply answers, for error reports
    bool midLine_ = false;
};

}  // namespace detrend
