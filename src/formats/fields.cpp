#include "formats/fields.hpp"

namespace detrend::formats {

std::string yearOutOfRange(long long year) {
    return "year " + std::to_string(year) + " is out of range (-" + std::to_string(yearLimit) + " to " +
           std::to_string(yearLimit) + ")";
}

}  // namespace detrend::formats
