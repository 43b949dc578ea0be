#include "formats/read_compact.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view blanks = " \t";
constexpr int largestExponent = 20;
constexpr std::size_t widestField = 40;

struct Token {
    std::string_view text;
    std::size_t at = 0;
};

// The words of `text`, an '=' a word of its own.
std::vector<Token> headerTokens(std::string_view text) {
    std::vector<Token> tokens;
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] == ' ' || text[pos] == '\t') {
            ++pos;
        } else if (text[pos] == '=') {
            tokens.push_back({text.substr(pos, 1), pos++});
        } else {
            const std::size_t end = std::min(text.find_first_of(" \t=", pos), text.size());
            tokens.push_back({text.substr(pos, end - pos), pos});
            pos = end;
        }
    }
    return tokens;
}

bool isKey(std::string_view text, char key) { return text.size() == 1 && base::asciiLower(text[0]) == key; }

// Takes "N=120" or "120=N" (key 'n') at tokens[i]; true when it did.
bool takeKeyed(const std::vector<Token>& tokens, std::size_t i, char key, std::optional<long long>& value) {
    if (i + 2 >= tokens.size() || tokens[i + 1].text != "=") return false;
    long long number = 0;
    if (isKey(tokens[i].text, key) && wholeInteger(tokens[i + 2].text, number)) {
        value = number;
        return true;
    }
    if (isKey(tokens[i + 2].text, key) && wholeInteger(tokens[i].text, number)) {
        value = number;
        return true;
    }
    return false;
}

base::Status formatFault(std::string_view text, std::size_t at) {
    return base::failure("expected the values' format, such as (-2F8.0), found " + base::quoted(text), 0, columnOf(at));
}

// The format inside the parentheses: EXP, an optional repeat count after
// 'P' or a blank, then F, the width and an optional ".D".
base::Status readFormat(std::string_view text, std::size_t at, CompactHeader& header) {
    const std::size_t f = text.find_first_of("Ff");
    if (f == npos) return formatFault(text, at);
    std::string_view width = base::trimmed(text.substr(f + 1), blanks);
    width = width.substr(0, std::min(width.find('.'), width.size()));
    const std::string_view decimals = text.substr(f + 1 + width.size());
    long long w = 0;
    if (!wholeInteger(width, w) || w < 1 || w > static_cast<long long>(widestField) ||
        base::trimmed(decimals, blanks).find_first_not_of(".0123456789") != npos)
        return formatFault(text, at);
    std::string_view before = base::trimmed(text.substr(0, f), blanks);
    before = before.substr(0, std::min(before.find_first_of("Pp \t"), before.size()));
    long long exponent = 0;
    if (!before.empty() && (!wholeInteger(before, exponent) || std::abs(exponent) > largestExponent))
        return formatFault(text, at);
    header.exponent = static_cast<int>(exponent);
    header.width = static_cast<std::size_t>(w);
    return {};
}

// 10^exponent, exact for |exponent| <= 22.
double powerOfTen(int exponent) {
    double power = 1;
    for (int k = 0; k < std::abs(exponent); ++k) power *= 10;
    return power;
}

// A series while its values are read.
struct Open {
    CompactHeader header;
    long headerLine = 0;
    Series series;
    std::size_t negative = 0;
    long long firstNegative = 0;
};

std::string named(const Open& open) { return "series " + base::quoted(open.header.id); }

base::Status takeValue(std::string_view text, long line, long column, Open& open) {
    double raw = 0;
    const char* const last = text.data() + text.size();
    if (!parseCsvNumber(text.data(), last, raw, false).endsAt(last))
        return base::failure("expected a number, found " + base::quoted(text), line, column);
    // Far beyond any width, and safe from overflow at any power of ten.
    if (std::abs(raw) > 1e200) return base::failure("the value " + std::string(text) + " is too large", line, column);
    std::vector<double>& values = open.series.values;
    if (values.size() == static_cast<std::size_t>(open.header.count)) {
        if (raw == 0.0) return {};  // padding
        return base::failure(
            named(open) + " has N=" + std::to_string(open.header.count) + " values, but more follow on this line", line,
            column);
    }
    if (raw < 0 && open.negative++ == 0)
        open.firstNegative = open.series.firstYear + static_cast<long long>(values.size());
    const double power = powerOfTen(open.header.exponent);
    values.push_back(raw < 0                    ? std::numeric_limits<double>::quiet_NaN()
                     : open.header.exponent < 0 ? raw / power
                                                : raw * power);
    return {};
}

// The values of one line, in fields of the header's width.
base::Status readValues(std::string_view line, long number, Open& open) {
    const std::string_view text = line.substr(0, line.find_last_not_of(blanks) + 1);
    return forEachFixedField(text, open.header.width, number, [&](std::string_view value, long column) {
        return takeValue(value, number, column, open);
    });
}

Series finished(Open& open, std::vector<std::string>& warnings) {
    Series& series = open.series;
    if (open.negative > 0)
        warnings.push_back(named(open) + ": " + std::to_string(open.negative) +
                           (open.negative == 1 ? " negative value" : " negative values") +
                           " read as missing, first in " + std::to_string(open.firstNegative));
    const ValueSpan span = presentSpan(series.values, [](double v) { return !std::isnan(v); });
    if (span.empty()) {
        series.values.clear();
        series.problem = "it has no values";
        return std::move(series);
    }
    series.firstYear += static_cast<long long>(span.first);
    series.values.erase(series.values.begin() + static_cast<std::ptrdiff_t>(span.end), series.values.end());
    series.values.erase(series.values.begin(), series.values.begin() + static_cast<std::ptrdiff_t>(span.first));
    return std::move(series);
}

// Opens the series of the header line `line`.
base::Result<Open> opened(std::string_view line, long number) {
    base::Result<CompactHeader> header = compactHeader(line);
    if (!header.ok()) return base::failure(header.error().what, number, header.error().column);
    Open open{std::move(header).value(), number, {}, 0, 0};
    const long long first = open.header.firstYear;
    if (first < -yearLimit || first > yearLimit) return base::failure(yearOutOfRange(first), number, 1);
    if (first + open.header.count - 1 > yearLimit)
        return base::failure(yearOutOfRange(first + open.header.count - 1), number, 1);
    open.series.name = open.header.id;
    open.series.firstYear = open.header.firstYear;
    open.series.values.reserve(static_cast<std::size_t>(std::min<long long>(open.header.count, 1 << 16)));
    return open;
}

}  // namespace

base::Result<CompactHeader> compactHeader(std::string_view line) {
    const std::size_t tilde = line.find('~');
    const std::size_t close = tilde == npos ? npos : line.rfind(')', tilde);
    const std::size_t open = close == npos ? npos : line.rfind('(', close);
    if (open == npos)
        return base::failure("expected the values' format, such as (-2F8.0), before the ~", 0,
                             columnOf(tilde == npos ? 0 : tilde));
    CompactHeader header;
    if (base::Status format = readFormat(line.substr(open + 1, close - open - 1), open + 1, header); !format)
        return format.error();
    const std::vector<Token> tokens = headerTokens(line.substr(0, open));
    std::optional<long long> count, first;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if ((!count && takeKeyed(tokens, i, 'n', count)) || (!first && takeKeyed(tokens, i, 'i', first))) {
            i += 2;
        } else if (header.id.empty()) {
            header.id = std::string(tokens[i].text);
        }
    }
    if (!count || *count < 0 || *count > 2 * yearLimit)
        return base::failure("expected the number of values as N=COUNT (0 or more) in the header", 0, 1);
    if (!first) return base::failure("expected the first year as I=YEAR in the header", 0, 1);
    header.count = *count;
    header.firstYear = *first;
    return header;
}

base::Result<SeriesSet> readCompact(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    SeriesSet set;
    std::optional<Open> open;
    while (lines.next()) {
        const std::string_view line = lines.line();
        const long number = lines.lineNumber();
        if (line.find('~') != npos) {
            if (open)
                return base::failure(named(*open) + " (line " + std::to_string(open->headerLine) + ") ends after " +
                                         std::to_string(open->series.values.size()) +
                                         " of its N=" + std::to_string(open->header.count) + " values",
                                     number, 1);
            base::Result<Open> started = opened(line, number);
            if (!started.ok()) return started.error();
            open = std::move(started).value();
        } else if (open && !isBlankLine(line)) {
            if (base::Status read = readValues(line, number, *open); !read) return read.error();
        }
        if (open && open->series.values.size() == static_cast<std::size_t>(open->header.count)) {
            set.series.push_back(finished(*open, set.warnings));
            open.reset();
        }
    }
    if (!lines.status()) return lines.status().error();
    if (open)
        return base::failure("the file ends after " + std::to_string(open->series.values.size()) +
                                 " of the N=" + std::to_string(open->header.count) + " values of " + named(*open),
                             open->headerLine, 1);
    return set;
}

}  // namespace detrend::formats
