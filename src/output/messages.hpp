// Every line the program writes on standard error goes through here: errors,
// notes and the progress line, each message a line "detrend: TEXT". Input
// text quoted in a message (items, names, file names) cannot drive the
// terminal: control bytes and invalid UTF-8 are shown escaped. The
// dialogue's console text is not a message and does not come here.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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

// Hands `text` to put(piece) in pieces, with every byte that is a control
// character (C0, DEL, the C1 range U+0080-U+009F) or not part of valid UTF-8
// written as \xHH instead.
template <class Put>
void escapeControls(std::string_view text, Put&& put);

// `text` with escapeControls applied.
std::string escapedControls(std::string_view text);

// "LABEL:LINE:COLUMN: MESSAGE" for an input that could not be read, LINE and
// COLUMN left out where not known.
std::string located(std::string_view label, const formats::InputError& error);

template <class Put>
void escapeControls(std::string_view text, Put&& put) {
    constexpr char hex[] = "0123456789ABCDEF";
    std::size_t plain = 0;  // start of the text not yet handed on
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = formats::utf8SequenceLength(text, pos);
        const bool control = length == 1
                                 ? lead < 0x20 || lead == 0x7F
                                 : length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0;
        if (length != 0 && !control) {
            pos += length;
            continue;
        }
        if (length == 0) length = 1;
        if (pos > plain) put(text.substr(plain, pos - plain));
        for (std::size_t k = 0; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[pos + k]);
            const char escape[4] = {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
            put(std::string_view(escape, 4));
        }
        pos += length;
        plain = pos;
    }
    if (plain < text.size()) put(text.substr(plain));
}

}  // namespace detrend::output
