#include "formats/tucson_lines.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "base/text.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats::tucson {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr long long absentRing = -1;  // "." as a value

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The first position at or after `pos` that is not a blank or tab (npos:
// none), and the end of the item that starts at `pos`. (A loop: the string
// searches for a set of characters make a call per character.)
std::size_t nextItem(std::string_view line, std::size_t pos) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    return pos < line.size() ? pos : npos;
}
std::size_t itemEnd(std::string_view line, std::size_t pos) {
    while (pos < line.size() && !isBlank(line[pos])) ++pos;
    return pos;
}

std::string columnRange(std::size_t offset, std::size_t width) {
    return "columns " + std::to_string(offset + 1) + "-" + std::to_string(offset + width);
}

// A value as written: an integer, or "." for an absent ring.
bool parseRing(std::string_view text, long long& value) {
    if (text == ".") {
        value = absentRing;
        return true;
    }
    return wholeInteger(text, value);
}

// A value right-aligned in `field`: blanks, then the value to the end.
bool alignedRing(std::string_view field, long long& value) {
    const std::size_t first = field.find_first_not_of(' ');
    return first != npos && parseRing(field.substr(first), value);
}

bool alignedInteger(std::string_view field, long long& value) {
    const std::size_t first = field.find_first_not_of(' ');
    return first != npos && wholeInteger(field.substr(first), value);
}

std::size_t leadingBlanks(std::string_view field) { return std::min(field.find_first_not_of(' '), field.size()); }

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return isDigit(c); });
}

const char* const noValues = "the line has a series id and a year but no values";

// A fault of a line at a 1-based column.
base::Diagnostic at(long column, std::string what) { return {std::move(what), 0, column}; }

enum class Columns { ok, failed, faulty, eightColumns };

// The reading by the fixed columns: ok, or a fault that leaves the line to
// the reading as items (failed) or not (faulty); eightColumns: a digit in
// column 8 after a blank meets the year, and the id may fill columns 1-8.
struct ColumnsRead {
    Columns columns = Columns::ok;
    base::Diagnostic fault{};
};

// The id and year by the fixed columns. A '-' in column 8 before four
// digits is the year's sign, unless the id holds a '-' itself (then it is
// doubtful); four digits in columns 9-12 after a digit in column 8 that
// follows a blank are read with the id in columns 1-8 only when
// `idInColumn8`.
ColumnsRead readIdAndYear(std::string_view line, DataLine& out, bool& yearRead, bool idInColumn8) {
    if (line.size() >= 12 && line[7] == '-' && allDigits(line.substr(8, 4))) {
        yearRead = true;
        if (!isBlank(line[6]) && line.substr(0, 7).find('-') != npos) {
            return {Columns::faulty,
                    at(8, "\"-\" in column 8 may end the id " + base::quoted(base::trimmed(line.substr(0, 8))) +
                              " or begin the year -" + std::string(line.substr(8, 4)) +
                              "; put a blank between the id and the year")};
        }
        wholeInteger(line.substr(7, 5), out.year);
        out.id = base::trimmed(line.substr(0, 7));
        out.yearColumn = 8;
        return {};
    }
    const std::string_view field = line.substr(std::min<std::size_t>(8, line.size()), 4);
    if (field.size() < 4 || !alignedInteger(field, out.year)) {
        return {Columns::failed, at(columnOf(8 + leadingBlanks(field)),
                                    "expected a year in columns 9-12, found " + base::quoted(base::trimmed(field)))};
    }
    yearRead = true;
    if (!idInColumn8 && isDigit(line[7]) && isDigit(line[8]) && isBlank(line[6])) {
        return {Columns::eightColumns, at(8, "the year " + base::quoted(line.substr(7, 5)) +
                                                 " reaches into column 8; a year has at most four digits, in "
                                                 "columns 9-12")};
    }
    out.id = base::trimmed(line.substr(0, 8));
    out.yearColumn = columnOf(8 + leadingBlanks(field));
    return {};
}

// A word that reads as the start of a number: a digit, or a sign or point
// before one.
bool numberLike(std::string_view word) {
    std::size_t k = 0;
    while (k < word.size() && k < 2 && (word[k] == '-' || word[k] == '+' || word[k] == '.')) ++k;
    return k < word.size() && isDigit(word[k]);
}

// Text from column 73 on: ignored when it is no number (noted in `out`), a
// fault when it is one, as it may be an eleventh value.
ColumnsRead textAfterFields(std::string_view line, std::size_t more, DataLine& out) {
    const std::string_view word = line.substr(more, itemEnd(line, more) - more);
    if (numberLike(word)) {
        return {Columns::failed, at(columnOf(more), "expected nothing after column 72, found " +
                                                        base::quoted(base::trimmed(line.substr(more))))};
    }
    out.trailingColumn = columnOf(more);
    out.trailing = word;
    return {};
}

// The reading by the fixed columns. `yearRead` tells whether the year field
// held a year, even when the values then did not fit.
ColumnsRead readColumns(std::string_view line, DataLine& out, bool& yearRead, bool idInColumn8 = false) {
    out.values.clear();
    out.trailingColumn = out.shortFieldColumn = 0;
    yearRead = false;
    if (ColumnsRead idAndYear = readIdAndYear(line, out, yearRead, idInColumn8); idAndYear.columns != Columns::ok)
        return idAndYear;
    std::size_t blankField = npos, gap = npos;  // the first blank field since the last value; one before a value
    for (std::size_t start = 12, k = 0; start < line.size(); start += 6, ++k) {
        if (k == 10) {
            const std::size_t more = line.find_first_not_of(' ', start);
            if (more == npos) break;
            if (ColumnsRead after = textAfterFields(line, more, out); after.columns != Columns::ok) return after;
            break;
        }
        const std::string_view field = line.substr(start, 6);
        if (field.find_first_not_of(' ') == npos) {
            if (blankField == npos) blankField = start;
            continue;
        }
        long long value = 0;
        if (field.size() < 6 || !alignedRing(field, value)) {
            if (field.size() < 6 && gap == npos && blankField == npos && alignedRing(field, value))
                out.shortFieldColumn = columnOf(start);
            return {Columns::failed,
                    at(columnOf(start + leadingBlanks(field)), "expected an integer in " + columnRange(start, 6) +
                                                                   ", found " + base::quoted(base::trimmed(field)))};
        }
        if (gap == npos) gap = blankField;
        blankField = npos;
        out.values.push_back({value, columnOf(start + leadingBlanks(field))});
    }
    if (gap != npos) {
        return {Columns::faulty, at(columnOf(gap), "expected a value in " + columnRange(gap, 6) + ", found blanks")};
    }
    if (out.values.empty()) return {Columns::failed, at(std::min(13L, columnOf(line.size())), noValues)};
    return {};
}

// Whether two tabs with nothing but blanks between them lie in `separators`.
bool emptyTabField(std::string_view separators, std::size_t& second) {
    const std::size_t first = separators.find('\t');
    second = first == npos ? npos : separators.find('\t', first + 1);
    return second != npos;
}

// The reading as items separated by blanks or tabs. `endsAtYear` tells
// whether an item ends in column 12, as a year in the fixed columns would;
// `yearRead` whether a year followed the id.
base::Status readItems(std::string_view line, DataLine& out, bool& endsAtYear, bool& yearRead) {
    out.values.clear();
    out.trailingColumn = out.shortFieldColumn = 0;
    endsAtYear = yearRead = false;
    std::size_t item = 0;
    for (std::size_t start = nextItem(line, 0); start != npos; ++item) {
        const std::size_t end = itemEnd(line, start);
        const std::string_view text = line.substr(start, end - start);
        endsAtYear = endsAtYear || end == 12;
        long long value = 0;
        if (item == 0) {
            out.id = text;
        } else if (item == 1) {
            if (!wholeInteger(text, out.year))
                return at(columnOf(start), "expected a year after the series id, found " + base::quoted(text));
            out.yearColumn = columnOf(start);
            yearRead = true;
        } else if (parseRing(text, value)) {
            out.values.push_back({value, columnOf(start)});
        } else if (out.values.size() >= 10 && !numberLike(text)) {
            out.trailingColumn = columnOf(start);
            out.trailing = text;
            break;
        } else {
            return at(columnOf(start), "expected an integer value, found " + base::quoted(text));
        }
        start = nextItem(line, end);
        std::size_t secondTab = 0;
        if (start != npos && emptyTabField(line.substr(end, start - end), secondTab)) {
            yearRead = true;  // tabs between the fields: a data line
            return at(columnOf(end + secondTab), "expected a value between two tabs, found nothing");
        }
    }
    if (item < 2) return at(columnOf(line.size()), "expected a year after the series id");
    if (out.values.empty()) return at(columnOf(line.size()), noValues);
    return {};
}

// The line whose column 8 holds a digit after a blank against a year in
// columns 9-12, read as `rule` says.
Record readEightColumnId(std::string_view line, DataLine& out, DataLine& scratch, IdRule rule) {
    bool yearRead = false, endsAtYear = false, itemYear = false;
    ColumnsRead columns = readColumns(line, out, yearRead, true);
    const bool byColumns = columns.columns == Columns::ok;
    const bool byBlanks = rule != IdRule::columns && readItems(line, scratch, endsAtYear, itemYear).ok() &&
                          scratch.year >= -9999 && scratch.year <= 9999;
    if (byBlanks && (rule == IdRule::blanks || !byColumns)) {
        std::swap(out, scratch);
        return {Reading::data};
    }
    if (!byColumns) return {Reading::faulty, std::move(columns.fault)};
    Record record{byBlanks ? Reading::choice : Reading::data};
    record.idInEightColumns = true;
    return record;
}

// readRecord on a line of its own (columns counted from its start).
Record readAlone(std::string_view line, DataLine& out, DataLine& scratch, IdRule rule) {
    bool yearRead = false;
    ColumnsRead columns = readColumns(line, out, yearRead);
    if (columns.columns == Columns::ok) return {Reading::data};
    if (columns.columns == Columns::eightColumns) return readEightColumnId(line, out, scratch, rule);
    if (columns.columns == Columns::faulty) return {Reading::faulty, std::move(columns.fault)};
    bool endsAtYear = false, itemYear = false;
    base::Status items = readItems(line, scratch, endsAtYear, itemYear);
    if (items) {
        if (!yearRead || scratch.year == out.year) {
            scratch.shortFieldColumn = out.shortFieldColumn;
            std::swap(out, scratch);
            return {Reading::data};
        }
        return {Reading::faulty,
                at(out.yearColumn, "year " + std::to_string(out.year) + " in columns 9-12 differs from the year " +
                                       std::to_string(scratch.year) + " after the series id")};
    }
    base::Diagnostic fault = yearRead || endsAtYear ? std::move(columns.fault) : items.error();
    return {yearRead || itemYear ? Reading::faulty : Reading::other, std::move(fault)};
}

// Whether items from `pos` on exist and are all integers (or ".").
bool integersAlone(std::string_view line, std::size_t pos) {
    bool any = false;
    for (std::size_t start = nextItem(line, pos); start != npos; start = nextItem(line, start)) {
        const std::size_t end = itemEnd(line, start);
        long long value = 0;
        if (!parseRing(line.substr(start, end - start), value)) return false;
        any = true;
        start = end;
    }
    return any;
}

bool isCapitalWord(std::string_view word) {
    return word.size() == 4 && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Whether `line` reads by its fixed columns.
bool byColumns(std::string_view line) {
    DataLine data;
    bool yearRead = false;
    return readColumns(line, data, yearRead).columns == Columns::ok;
}

// Whether `line` reads by its fixed columns as ten values.
bool tenByColumns(std::string_view line) {
    DataLine data;
    bool yearRead = false;
    return readColumns(line, data, yearRead).columns == Columns::ok && data.values.size() == 10;
}

}  // namespace

bool isComment(std::string_view line) {
    const std::size_t first = nextItem(line, 0);
    return first != npos && line[first] == '#';
}

bool isStrayLine(std::string_view line) {
    const std::string_view text = base::trimmed(line);
    return text.size() == 1 || (!text.empty() && text.find_first_not_of('\x1A') == npos);
}

int archiveNumber(std::string_view line) {
    if (line.empty() || isBlank(line[0])) return 0;
    const std::size_t idEnd = itemEnd(line, 0);
    for (std::size_t at = std::max<std::size_t>(5, idEnd + 1); at <= 8 && at < line.size(); ++at) {
        if (line[at] < '1' || line[at] > '3' || (at + 1 < line.size() && !isBlank(line[at + 1]))) continue;
        if (nextItem(line, idEnd) != at) return 0;
        // Integers alone after the number make a data line (a year of 1 to 3).
        return integersAlone(line, at + 1) ? 0 : line[at] - '0';
    }
    return 0;
}

int headerNumber(std::string_view line) {
    if (line.empty() || isBlank(line[0])) return 0;
    const std::size_t at = nextItem(line, itemEnd(line, 0));
    if (at == npos || line[at] < '1' || line[at] > '3' || (at + 1 < line.size() && !isBlank(line[at + 1]))) return 0;
    return integersAlone(line, at + 1) ? 0 : line[at] - '0';
}

SiteHeader siteHeader(std::string_view line) {
    SiteHeader site;
    const std::size_t codeEnd = itemEnd(line, 0);
    site.code = line.substr(0, codeEnd);
    const std::size_t number = nextItem(line, codeEnd);
    if (number == npos) return site;
    const std::size_t textStart = nextItem(line, number + 1);
    if (textStart == npos) return site;
    const std::string_view text = base::trimmed(line.substr(textStart));
    const std::size_t lastStart = text.find_last_of(" \t") + 1;  // npos + 1 == 0: one word
    const std::string_view last = text.substr(lastStart);
    const auto column = static_cast<std::size_t>(last.data() - line.data());
    const bool setOff = lastStart >= 2 && isBlank(text[lastStart - 2]);
    if (lastStart > 0 && isCapitalWord(last) && (column == 61 || setOff)) {
        site.species = last;
        site.name = base::trimmed(text.substr(0, lastStart));
    } else {
        site.name = text;
    }
    return site;
}

Record readRecord(std::string_view line, std::size_t start, DataLine& out, DataLine& scratch, IdRule rule) {
    Record record = readAlone(line.substr(start), out, scratch, rule);
    const auto offset = static_cast<long>(start);
    if (record.reading != Reading::data && record.reading != Reading::choice) {
        record.fault.column += offset;
        // Its columns are the record's, which begins inside the line.
        if (offset > 0 && record.fault.what.find("column") != std::string::npos)
            record.fault.what += " (columns of the record that begins at column " + std::to_string(offset + 1) + ")";
        return record;
    }
    for (DataLine* read : {&out, &scratch}) {
        if (read == &scratch && record.reading != Reading::choice) break;
        read->yearColumn += offset;
        for (LineValue& value : read->values) value.column += offset;
        if (read->trailingColumn > 0) read->trailingColumn += offset;
        if (read->shortFieldColumn > 0) read->shortFieldColumn += offset;
    }
    return record;
}

IdRule chooseIdReading(std::string_view bytes) {
    // The id and the year after its last value of the latest line read, and
    // how often a line of the same id did not continue it.
    struct Track {
        std::string id;
        long long next = 0;
        bool any = false;
        long breaks = 0;
        void follow(const DataLine& line) {
            if (any && id == line.id && line.year != next) ++breaks;
            id.assign(line.id);
            next = line.year + static_cast<long long>(line.values.size());
            any = true;
        }
    } byColumns, byBlanks;
    LineReader lines(bytes, "the file", LineRules::batch(false));
    DataLine out, scratch;
    constexpr int examined = 200;  // lines of that kind, at most
    for (int seen = 0; seen < examined && lines.next();) {
        bool yearRead = false;
        if (readColumns(lines.line(), out, yearRead).columns != Columns::eightColumns) continue;
        ++seen;
        const Record record = readEightColumnId(lines.line(), out, scratch, IdRule::ask);
        if (record.reading == Reading::choice) {
            byColumns.follow(out);
            byBlanks.follow(scratch);
        } else if (record.reading == Reading::data) {
            ++(record.idInEightColumns ? byBlanks : byColumns).breaks;  // the other reading is not valid
            (record.idInEightColumns ? byColumns : byBlanks).follow(out);
        }
    }
    // A gap or a decade given twice breaks the right reading too: the one
    // with fewer breaks is taken.
    if (byColumns.breaks < byBlanks.breaks) return IdRule::columns;
    if (byBlanks.breaks < byColumns.breaks) return IdRule::blanks;
    return IdRule::ask;
}

std::size_t gluedAt(std::string_view line, std::size_t from) {
    std::string_view previous;
    std::size_t item = 0;
    for (std::size_t start = nextItem(line, from); start != npos; start = nextItem(line, start), ++item) {
        const std::size_t end = itemEnd(line, start);
        const std::string_view text = line.substr(start, end - start);
        if (item >= 3 && text != ".") {
            long long value = 0;
            const bool integer = wholeInteger(text, value);
            bool afterMarker = previous == "-9999" || (previous == "999" && !integer);
            const bool afterTen =
                (item >= 12 && !integer) || (start - from >= 72 && tenByColumns(line.substr(from, 72)));
            // Values in their fields after a stop marker are one record's:
            // the marker is one inside the series.
            if (afterMarker && !afterTen && start - from < 72) afterMarker = !byColumns(line.substr(from));
            if (afterMarker || afterTen) {
                DataLine data, scratch;
                if (readAlone(line.substr(start), data, scratch, IdRule::columns).reading != Reading::other)
                    return start;
            }
        }
        previous = text;
        start = end;
    }
    return npos;
}

std::size_t ringCount(const DataLine& line) {
    std::size_t count = line.values.size();
    const long long last = count == 0 ? 0 : line.values.back().raw;
    if (last != 999 && last != -9999) return count;
    while (count > 0 && line.values[count - 1].raw == last) --count;
    return count;
}

}  // namespace detrend::formats::tucson
