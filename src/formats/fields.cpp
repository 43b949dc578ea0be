#include "formats/fields.hpp"

#include <charconv>

namespace detrend::formats {

std::string yearOutOfRange(long long year) {
    return "year " + std::to_string(year) + " is out of range (-" + std::to_string(yearLimit) + " to " +
           std::to_string(yearLimit) + ")";
}

bool parseInteger(std::string_view text, long long& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end;
}

}  // namespace detrend::formats
