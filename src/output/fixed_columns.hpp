// Layout of console and listing lines: columns counted from 1, text and
// fixed-width fields placed left to right, never trimmed.
#pragma once

#include <string>
#include <string_view>

namespace detrend::output {

// Writes `value` right-aligned into field[0..width): digits with a leading "-"
// when negative, no plus sign; `width` asterisks when it does not fit.
// Requires 1 <= width <= 20.
void formatInteger(char* field, int width, long long value);

// Writes `value` right-aligned into field[0..width) with `decimals` digits
// after the point. The rounding works on the exact decimal expansion of the
// binary value, half away from zero (0.0625 -> 0.063, -0.0625 -> -0.063). A
// value whose rounded digits are all zero has no sign (-0.0004 -> 0.000).
// NaN and infinities are written "NaN" and "INF", with "-" when the sign bit
// is set. Anything too wide becomes `width` asterisks.
// Requires 1 <= width <= 20 and 0 <= decimals <= 9.
void formatReal(char* field, int width, int decimals, double value);

// One line under construction. Every append continues at the current column.
class Line {
public:
    Line& blank() {
        text_.push_back(' ');
        return *this;
    }
    Line& text(std::string_view s) {
        text_.append(s);
        return *this;
    }
    // Continues at `column` (1-based), filling the gap with blanks; a column
    // at or before the current one changes nothing.
    Line& columnStop(int column);
    Line& integer(long long value, int width);
    Line& real(double value, int width, int decimals);

    std::string_view view() const { return text_; }
    int length() const { return static_cast<int>(text_.size()); }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// Lines of real fields, at most `perLine` on a line, each line
// beginning with one blank; calls emit(line) for every line, the last one
// ending after its last value. An empty list gives no line. `line` is the
// caller's scratch line, reused so that nothing is allocated per list.
template <class Values, class Emit>
void realListLines(const Values& values, int perLine, int width, int decimals, Line& line, Emit&& emit) {
    int onLine = 0;
    for (double v : values) {
        if (onLine == 0) line.clear(), line.blank();
        line.real(v, width, decimals);
        if (++onLine == perLine) {
            emit(line.view());
            onLine = 0;
        }
    }
    if (onLine > 0) emit(line.view());
}

}  // namespace detrend::output
