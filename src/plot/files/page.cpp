#include "plot/files/page.hpp"

#include "base/text.hpp"

namespace detrend::plot::files {

std::string displayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = base::utf8SequenceLength(text, i);
        // C0 and C1 control characters, DEL, and what is not UTF-8.
        const bool control = length == 1 ? c < 0x20 || c == 0x7F
                                         : length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 0 || control) {
            out += '?';
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace detrend::plot::files
