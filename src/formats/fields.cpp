#include "formats/fields.hpp"

#include <charconv>

namespace detrend::formats {

std::string yearOutOfRange(long long year) {
    return "year " + std::to_string(year) + " is out of range (-" + std::to_string(yearLimit) + " to " +
           std::to_string(yearLimit) + ")";
}

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

namespace {

// The first 20 characters of `text` as shownItem gives them; `used`: the
// bytes of `text` they stand for.
std::string shownCharacters(std::string_view text, std::size_t& used) {
    constexpr int shownCharacters = 20;
    std::string shown;
    std::size_t pos = 0;
    for (int kept = 0; kept < shownCharacters && pos < text.size(); ++kept) {
        const std::size_t length = utf8SequenceLength(text, pos);
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (length == 0 || lead < 0x20 || lead == 0x7F) {
            shown += '?';
            ++pos;
        } else {
            shown.append(text.substr(pos, length));
            pos += length;
        }
    }
    used = pos;
    return shown;
}

}  // namespace

std::string shownItem(std::string_view text) {
    std::size_t used = 0;
    return shownCharacters(text, used);
}

std::string quoted(std::string_view text) {
    std::size_t used = 0;
    std::string shown = shownCharacters(text, used);
    return "\"" + shown + (used < text.size() ? "...\"" : "\"");
}

bool parseInteger(std::string_view text, long long& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end;
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace detrend::formats
