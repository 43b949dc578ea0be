#include "base/text.hpp"

#include <algorithm>
#include <charconv>

namespace detrend::base {

std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (pos + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[pos + k]) & 0xC0) != 0x80) return 0;
    if (length >= 3) {
        // Overlong three- and four-byte forms, surrogates and code points
        // past U+10FFFF.
        const auto second = static_cast<unsigned char>(text[pos + 1]);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second >= 0x90))
            return 0;
    }
    return length;
}

std::string quoted(std::string_view text) {
    constexpr int shownCharacters = 60;
    std::size_t end = 0;
    for (int kept = 0; kept < shownCharacters && end < text.size(); ++kept)
        end += std::max<std::size_t>(utf8SequenceLength(text, end), 1);
    return "\"" + std::string(text.substr(0, end)) + (end < text.size() ? "...\"" : "\"");
}

std::string escapedControls(std::string_view text) {
    std::string out;
    escapeControls(text, [&](std::string_view piece) { out += piece; });
    return out;
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string asciiLowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = asciiLower(c);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string shortestNumber(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string yearRange(long long first, long long last) { return std::to_string(first) + " to " + std::to_string(last); }

}  // namespace detrend::base
