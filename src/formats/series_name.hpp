// A series name as the dialogue keeps it: exactly 20 characters, padded with
// blanks, no terminator.
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

#include "formats/fields.hpp"

namespace detrend::formats {

struct SeriesName {
    static constexpr int length = 20;
    std::array<char, length> chars;

    // The first 20 characters of `text`, padded with blanks.
    static SeriesName from(std::string_view text) {
        SeriesName name;
        name.chars.fill(' ');
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), length), name.chars.begin());
        return name;
    }
    // All 20 characters, trailing blanks included.
    std::string_view view() const { return {chars.data(), chars.size()}; }
    // The name without its trailing blanks.
    std::string_view trimmed() const { return base::withoutTrailingBlanks(view()); }
};

}  // namespace detrend::formats
