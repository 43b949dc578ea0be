// Every line the program writes on standard error goes through here: errors,
// notes and the progress line, each message a line "detrend: TEXT". Input
// text quoted in a message (items, names, file names) cannot drive the
// terminal: control bytes and invalid UTF-8 are shown escaped. The
// dialogue's console text is not a message and does not come here.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "formats/fields.hpp"
#include "formats/series_set.hpp"

namespace detrend::output {

class Messages {
public:
    // `stream`: where the lines go (standard error); `console`: the stream
    // flushed before each message, so that console text written before it
    // stays before it.
    explicit Messages(std::FILE* stream = stderr, std::FILE* console = stdout);

    // Notes are left out when quiet; errors never are.
    void setQuiet(bool quiet) { quiet_ = quiet; }

    // Writes "detrend: TEXT", TEXT escaped (escapeControls). Allocates
    // nothing, so that it can report running out of memory.
    void error(std::string_view text);
    // The same unless quiet.
    void note(std::string_view text);
    // Writes TEXT as a line of its own, without the prefix.
    void line(std::string_view text);

    // On a terminal and unless quiet, shows "detrend: TEXT" as the progress
    // line, rewritten in place by the next status and removed before the
    // next message.
    void status(std::string_view text);
    // Removes the progress line, if shown.
    void endStatus();

    // Whether the stream is a terminal.
    bool toTerminal() const { return terminal_; }

private:
    void write(std::string_view prefix, std::string_view text);

    std::FILE* stream_;
    std::FILE* console_;
    bool quiet_ = false;
    bool terminal_;
    bool statusShown_ = false;
};

// "LABEL:LINE:COLUMN: MESSAGE" for an input that could not be read, LINE and
// COLUMN left out where not known.
std::string located(std::string_view label, const base::Diagnostic& error);

}  // namespace detrend::output
