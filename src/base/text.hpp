// Text helpers every layer shares: UTF-8 lengths, quoting and escaping for
// messages, trimming, ASCII letter case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace detrend::base {

// The length of the UTF-8 sequence that starts at text[pos] (1 to 4), or 0
// when no valid one does (a stray continuation byte, a cut or overlong
// sequence, a surrogate, a code point past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos);

// `text` in double quotes for a message, cut after 60 characters (a byte
// outside UTF-8 sequences counting as one) with "..." after the cut. The
// messages show control characters in it escaped.
std::string quoted(std::string_view text);

// Hands `text` to put(piece) in pieces, with every byte that is a control
// character (C0, DEL, the C1 range U+0080-U+009F) or not part of valid UTF-8
// written as \xHH instead.
template <class Put>
void escapeControls(std::string_view text, Put&& put);

// `text` with escapeControls applied.
std::string escapedControls(std::string_view text);

// `text` without the characters of `blanks` at its start and end.
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t");
// `text` without the blanks at its end.
inline std::string_view withoutTrailingBlanks(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// ASCII letter case; other bytes are left as they are.
inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string asciiLowered(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);

// The shortest decimal text that reads back to `value` ("0.85", "1e-07").
std::string shortestNumber(double value);

// "FIRST to LAST", the way messages give a range of years ("-388 to -138").
std::string yearRange(long long first, long long last);

template <class Put>
void escapeControls(std::string_view text, Put&& put) {
    constexpr char hex[] = "0123456789ABCDEF";
    std::size_t plain = 0;  // start of the text not yet handed on
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = utf8SequenceLength(text, pos);
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

}  // namespace detrend::base
