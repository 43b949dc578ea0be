#include "output/fixed_columns.hpp"

#include "output/field_format.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace detrend::output {

using fields::integerField;
using fields::realField;

namespace fields {

[[gnu::noinline]] void specialField(char* field, int width, double value) {
    const bool negative = std::signbit(value);
    if (3 + (negative ? 1 : 0) > width) return fill(field, width, '*');
    fill(field, width, ' ');
    std::memcpy(field + width - 3, std::isnan(value) ? "NaN" : "INF", 3);
    if (negative) field[width - 4] = '-';
}

}  // namespace fields

void formatInteger(char* field, int width, long long value) {
    if (width == 5) return integerField(field, 5, value);  // the listing's years
    integerField(field, width, value);
}

void formatReal(char* field, int width, int decimals, double value) {
    switch (decimals) {
        case 0: return realField<0>(field, width, value);
        case 1: return realField<1>(field, width, value);
        case 2: return realField<2>(field, width, value);
        case 3:
            if (width == 8) return realField<3>(field, 8, value);  // the listing's fields
            return realField<3>(field, width, value);
        case 4: return realField<4>(field, width, value);
        case 5: return realField<5>(field, width, value);
        case 6: return realField<6>(field, width, value);
        case 7: return realField<7>(field, width, value);
        case 8: return realField<8>(field, width, value);
        default: return realField<9>(field, width, value);
    }
}

Line& Line::columnStop(int column) {
    if (static_cast<int>(text_.size()) < column - 1) text_.resize(static_cast<std::size_t>(column - 1), ' ');
    return *this;
}

Line& Line::integer(long long value, int width) {
    const std::size_t at = text_.size();
    text_.resize(at + static_cast<std::size_t>(width));
    formatInteger(text_.data() + at, width, value);
    return *this;
}

Line& Line::real(double value, int width, int decimals) {
    const std::size_t at = text_.size();
    text_.resize(at + static_cast<std::size_t>(width));
    formatReal(text_.data() + at, width, decimals, value);
    return *this;
}

}  // namespace detrend::output
