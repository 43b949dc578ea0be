#include "formats/read_heidelberg.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view blanks = " \t";
constexpr std::size_t fieldWidth = 6;

struct Kind {
    std::string_view name;
    std::size_t perYear;  // numbers per year: the value first, then its sample depth
};
constexpr Kind kinds[] = {{"Tree", 1}, {"Single", 1}, {"HalfChrono", 2}, {"Chrono", 4}, {"Double", 2}, {"Quadro", 4}};

struct Key {
    std::string value;
    long line = 0, column = 0;  // of the value
};

struct DataLine {
    std::string text;  // without a comment
    long number = 0;
};

struct Block {
    long headerLine = 0;
    std::map<std::string, Key> keys;  // by the key in lower case
    const Kind* kind = nullptr;
    long dataLine = 0;
    std::vector<DataLine> lines;

    const Key* key(const std::string& lowerName) const {
        const auto it = keys.find(lowerName);
        return it == keys.end() ? nullptr : &it->second;
    }
};

struct Field {
    double number = 0;
    long line = 0, column = 0;
};

// A block's numbers, as the header gives them.
struct Dates {
    std::optional<long long> length, begin, end;
};

// A unit as a fraction of a millimetre.
struct Unit {
    double numerator = 1, denominator = 100;
};

// The line before a ';' that starts a comment, without trailing blanks.
std::string_view withoutComment(std::string_view line) {
    line = line.substr(0, std::min(line.find(';'), line.size()));
    return line.substr(0, line.find_last_not_of(blanks) + 1);
}

std::size_t itemCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = text.find_first_not_of(blanks); pos != npos; pos = text.find_first_not_of(blanks, pos)) {
        ++count;
        pos = text.find_first_of(blanks, pos);
    }
    return count;
}

long startColumn(std::string_view line, std::string_view part) {
    return columnOf(static_cast<std::size_t>(part.data() - line.data()));
}

base::Status readKind(std::string_view line, std::string_view text, long number, Block& block) {
    const std::string_view name = base::trimmed(text.substr(5), blanks);
    for (const Kind& kind : kinds)
        if (base::equalsIgnoringCase(name, kind.name)) block.kind = &kind;
    if (block.kind == nullptr)
        return base::failure("unknown kind of data " + base::quoted(name) +
                                 ": expected Tree, Single, HalfChrono, Chrono, Double or Quadro",
                             number, name.empty() ? columnOf(line.size()) : startColumn(line, name));
    block.dataLine = number;
    return {};
}

base::Status readKey(std::string_view line, std::string_view text, long number, Block& block) {
    const std::size_t equals = text.find('=');
    if (equals == npos)
        return base::failure("expected Key=Value or DATA:KIND in the header, found " + base::quoted(text), number,
                             startColumn(line, text));
    const std::string_view value = base::trimmed(text.substr(equals + 1), blanks);
    Key& key = block.keys[base::asciiLowered(base::trimmed(text.substr(0, equals), blanks))];
    key = {std::string(value), number,
           value.empty() ? startColumn(line, text) + static_cast<long>(equals) + 1 : startColumn(line, value)};
    return {};
}

// The blocks of the file, their header keys read and their data lines kept.
base::Result<std::vector<Block>> splitBlocks(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    std::vector<Block> blocks;
    bool inData = false;
    while (lines.next()) {
        const std::string_view line = lines.line();
        const std::string_view text = base::trimmed(line, blanks);
        const long number = lines.lineNumber();
        if (base::equalsIgnoringCase(text, "HEADER:")) {
            blocks.emplace_back().headerLine = number;
            inData = false;
        } else if (inData) {
            const std::string_view data = withoutComment(line);
            if (!base::trimmed(data, blanks).empty()) blocks.back().lines.push_back({std::string(data), number});
        } else if (text.empty()) {
            continue;
        } else if (blocks.empty()) {
            return base::failure("expected HEADER: to begin a series' block, found " + base::quoted(text), number,
                                 startColumn(line, text));
        } else if (base::equalsIgnoringCase(text.substr(0, 5), "DATA:")) {
            if (base::Status kind = readKind(line, text, number, blocks.back()); !kind) return kind.error();
            inData = true;
        } else if (base::Status key = readKey(line, text, number, blocks.back()); !key) {
            return key.error();
        }
    }
    if (!lines.status()) return lines.status().error();
    if (!blocks.empty() && blocks.back().kind == nullptr)
        return base::failure("the block has no DATA: line", blocks.back().headerLine, 1);
    return blocks;
}

base::Status readNumber(std::string_view text, long line, long column, std::vector<Field>& fields) {
    double value = 0;
    const char* const last = text.data() + text.size();
    if (!parseCsvNumber(text.data(), last, value, false).endsAt(last))
        return base::failure("expected a number, found " + base::quoted(text), line, column);
    // Far beyond any width, and safe from overflow in any unit.
    if (std::abs(value) > 1e200) return base::failure("the value " + std::string(text) + " is too large", line, column);
    fields.push_back({value, line, column});
    return {};
}

// The six-column fields of one line; `unaligned` tells that a field holds
// no number (the numbers may not stand in their columns).
base::Status sixColumnFields(const DataLine& line, std::vector<Field>& fields, bool& unaligned) {
    return forEachFixedField(line.text, fieldWidth, line.number, [&](std::string_view number, long column) {
        base::Status read = readNumber(number, line.number, column, fields);
        if (!read) unaligned = true;
        return read;
    });
}

// The numbers of a line separated by blanks, for a line whose six-column
// fields do not all hold a number: numbers not aligned to the fields.
bool blankSeparated(const DataLine& line, std::vector<Field>& fields) {
    const std::size_t before = fields.size();
    const std::string_view text = line.text;
    for (std::size_t pos = text.find_first_not_of(blanks); pos != npos; pos = text.find_first_not_of(blanks, pos)) {
        const std::size_t end = std::min(text.find_first_of(blanks, pos), text.size());
        if (!readNumber(text.substr(pos, end - pos), line.number, columnOf(pos), fields)) {
            fields.resize(before);
            return false;
        }
        pos = end;
    }
    return true;
}

// The numbers of a block, and whether they stand in six-column fields.
base::Status fieldsOf(const Block& block, std::vector<Field>& fields, bool& fixed) {
    fixed = std::any_of(block.lines.begin(), block.lines.end(),
                        [](const DataLine& line) { return itemCount(line.text) >= 2; });
    for (const DataLine& line : block.lines) {
        if (!fixed) {
            const std::size_t start = line.text.find_first_not_of(blanks);
            const std::string_view text = std::string_view(line.text).substr(start);
            if (base::Status read = readNumber(text, line.number, columnOf(start), fields); !read) return read;
            continue;
        }
        const std::size_t before = fields.size();
        bool unaligned = false;
        base::Status read = sixColumnFields(line, fields, unaligned);
        if (read) continue;
        fields.resize(before);
        if (!unaligned || !blankSeparated(line, fields)) return read;
    }
    return {};
}

base::Status wholeNumberKey(const Block& block, const char* lowerName, const char* shownName,
                            std::optional<long long>& number) {
    const Key* key = block.key(lowerName);
    if (key == nullptr) return {};
    long long value = 0;
    if (!wholeInteger(key->value, value))
        return base::failure(std::string(shownName) + "=" + key->value + ": expected a whole number", key->line,
                             key->column);
    number = value;
    return {};
}

base::Result<Dates> datesOf(const Block& block) {
    Dates dates;
    for (auto [lower, shown, number] :
         {std::tuple{"length", "Length", &dates.length}, std::tuple{"datebegin", "DateBegin", &dates.begin},
          std::tuple{"dateend", "DateEnd", &dates.end}})
        if (base::Status read = wholeNumberKey(block, lower, shown, *number); !read) return read.error();
    if (dates.length && (*dates.length < 0 || *dates.length > 2 * yearLimit)) {
        const Key& key = *block.key("length");
        return base::failure(
            "Length=" + key.value + ": expected a whole number of years from 0 to " + std::to_string(2 * yearLimit),
            key.line, key.column);
    }
    // Bounded before any arithmetic on them.
    for (auto [lower, date] : {std::pair{"datebegin", dates.begin}, std::pair{"dateend", dates.end}})
        if (date && (*date < -yearLimit - 1 || *date > yearLimit)) {
            const Key& key = *block.key(lower);
            return base::failure(yearOutOfRange(*date), key.line, key.column);
        }
    return dates;
}

// Text of digits as a whole number >= 1, within a double's exact integers.
std::optional<double> positiveWhole(std::string_view digits) {
    long long value = 0;
    if (digits.empty() || digits.size() > 15 || digits.find_first_not_of("0123456789") != npos ||
        !wholeInteger(digits, value) || value < 1)
        return std::nullopt;
    return static_cast<double>(value);
}

// "a/b", or a decimal "0.01" as 1/100.
std::optional<Unit> fractionOf(std::string_view text) {
    if (const std::size_t slash = text.find('/'); slash != npos) {
        const auto a = positiveWhole(text.substr(0, slash)), b = positiveWhole(text.substr(slash + 1));
        if (!a || !b) return std::nullopt;
        return Unit{*a, *b};
    }
    const std::size_t point = text.find('.');
    std::string digits(text.substr(0, std::min(point, text.size())));
    std::size_t decimals = 0;
    if (point != npos) {
        decimals = text.size() - point - 1;
        digits += text.substr(point + 1);
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    const auto numerator = positiveWhole(digits);
    if (!numerator || decimals > 15) return std::nullopt;
    return Unit{*numerator, std::pow(10.0, static_cast<double>(decimals))};
}

base::Result<Unit> unitOf(const Block& block) {
    const Key* key = block.key("unit");
    if (key == nullptr) return Unit{};
    std::string text;
    for (char c : key->value)
        if (c != ' ' && c != '\t') text += base::asciiLower(c);
    if (text == "um" || text == "\xC2\xB5m" || text == "micrometres" || text == "micrometers") return Unit{1, 1000};
    if (text.ends_with("mm")) text.resize(text.size() - 2);
    if (text.empty()) return Unit{1, 1};
    if (const std::optional<Unit> fraction = fractionOf(text)) return *fraction;
    return base::failure(
        "Unit=" + key->value + ": expected 1/100 mm, 1/1000 mm, mm or another fraction of a millimetre", key->line,
        key->column);
}

// One block as read before the file's year numbering is known.
struct BlockRead {
    const Block* block = nullptr;
    Dates dates;
    Unit unit;
    std::vector<Field> fields;
    bool fixed = false;
};

// Whether a block's dates show BC/AD counting without a year 0 (1), or
// astronomical counting (-1); 0 when they do not tell.
int numberingShown(const Dates& dates) {
    if (!dates.length || !dates.begin || !dates.end || *dates.begin >= 0 || *dates.end <= 0) return 0;
    const long long span = *dates.end - *dates.begin;
    return span == *dates.length ? 1 : span + 1 == *dates.length ? -1 : 0;
}

// Whether the file counts BC/AD; the block that shows it, for the note.
base::Result<const BlockRead*> bcAdShownBy(const std::vector<BlockRead>& reads) {
    const BlockRead* bcAd = nullptr;
    const BlockRead* astronomical = nullptr;
    for (const BlockRead& read : reads) {
        const int shown = numberingShown(read.dates);
        if (shown == 1 && bcAd == nullptr) bcAd = &read;
        if (shown == -1 && astronomical == nullptr) astronomical = &read;
    }
    if (bcAd != nullptr && astronomical != nullptr) {
        const BlockRead& later = bcAd->block->headerLine > astronomical->block->headerLine ? *bcAd : *astronomical;
        const Key& end = *later.block->key("dateend");
        return base::failure(
            "this block counts its years " + std::string(&later == bcAd ? "BC/AD without a year 0" : "with a year 0") +
                ", the block at line " + std::to_string((&later == bcAd ? astronomical : bcAd)->block->headerLine) +
                " the other way",
            end.line, end.column);
    }
    return bcAd;
}

// The astronomical year of a date of the file.
base::Result<long long> yearOf(long long date, bool bcAd, const Key& key) {
    if (bcAd && date == 0)
        return base::failure("year 0 does not exist in BC/AD dating, which this file uses", key.line, key.column);
    const long long year = bcAd && date < 0 ? date + 1 : date;
    if (year < -yearLimit || year > yearLimit) return base::failure(yearOutOfRange(year), key.line, key.column);
    return year;
}

std::string shownName(const std::string& name) { return base::quoted(name); }

// What a block's series is called, with a note when it has no KeyCode.
std::string nameOf(const Block& block, std::size_t ordinal, std::vector<std::string>& warnings) {
    if (const Key* key = block.key("keycode")) return key->value;
    const std::string name = std::to_string(ordinal);
    warnings.push_back("the block at line " + std::to_string(block.headerLine) +
                       " has no KeyCode; its series is named " + shownName(name));
    return name;
}

// How many years a block holds, and what says so.
struct Expected {
    long long years = 0;
    std::string said;  // "Length=23"
    long line = 0, column = 0;
};

base::Result<std::optional<Expected>> expectedYears(const BlockRead& read, bool bcAd) {
    const Dates& d = read.dates;
    const Block& block = *read.block;
    std::optional<long long> span;
    if (d.begin && d.end) span = *d.end - *d.begin + (bcAd && *d.begin < 0 && *d.end > 0 ? 0 : 1);
    const std::string dates =
        span ? "DateBegin=" + std::to_string(*d.begin) + " and DateEnd=" + std::to_string(*d.end) : "";
    if (span && *d.end < *d.begin)
        return base::failure(dates + ": the end is before the beginning", block.key("dateend")->line,
                             block.key("dateend")->column);
    if (d.length && span && *span != *d.length)
        return base::failure(dates + " give " + std::to_string(*span) + " years, Length=" + std::to_string(*d.length),
                             block.key("dateend")->line, block.key("dateend")->column);
    if (d.length)
        return std::optional<Expected>(Expected{*d.length, "Length=" + std::to_string(*d.length),
                                                block.key("length")->line, block.key("length")->column});
    if (span)
        return std::optional<Expected>(Expected{*span, dates + " give " + std::to_string(*span) + " years",
                                                block.key("dateend")->line, block.key("dateend")->column});
    return std::optional<Expected>();
}

// Keeps the fields of the block's years: as many as it is said to hold
// (zeros padding its last line after them dropped), or, when nothing says,
// all but the zeros padding its last line.
base::Status keepFields(BlockRead& read, const std::optional<Expected>& expected) {
    const std::size_t perYear = read.block->kind->perYear;
    std::vector<Field>& fields = read.fields;
    const long lastLine = read.block->lines.empty() ? 0 : read.block->lines.back().number;
    std::size_t kept = fields.size();
    const std::size_t wanted = expected ? static_cast<std::size_t>(expected->years) * perYear : 0;
    if (read.fixed)
        while (kept > wanted && fields[kept - 1].line == lastLine && fields[kept - 1].number == 0.0) --kept;
    if (expected && kept > wanted)
        return base::failure(expected->said + ", but the block holds more values", fields[wanted].line,
                             fields[wanted].column);
    if (expected && kept < wanted)
        return base::failure(expected->said + ", but the block holds " + std::to_string(kept / perYear) + " (to line " +
                                 std::to_string(lastLine == 0 ? read.block->dataLine : lastLine) + ")",
                             expected->line, expected->column);
    if (kept % perYear != 0)
        return base::failure("a DATA:" + std::string(read.block->kind->name) + " block holds " +
                                 std::to_string(perYear) + " numbers a year; " + std::to_string(kept) +
                                 " are not whole years",
                             fields[kept - 1].line, fields[kept - 1].column);
    fields.resize(kept);
    return {};
}

// The notes of the file, gathered while its series are made.
struct Notes {
    std::vector<std::string>& warnings;
    std::map<std::string_view, std::size_t> chronologies;  // series by kind
};

// The year of the block's first value.
base::Result<long long> firstYearOf(const BlockRead& read, bool bcAd, long long years, const std::string& name,
                                    Notes& notes) {
    const Block& block = *read.block;
    if (read.dates.begin) return yearOf(*read.dates.begin, bcAd, *block.key("datebegin"));
    if (read.dates.end) {
        const base::Result<long long> last = yearOf(*read.dates.end, bcAd, *block.key("dateend"));
        if (!last.ok() || *last - years + 1 >= -yearLimit) return last.ok() ? *last - years + 1 : last;
        return base::failure(yearOutOfRange(*last - years + 1), block.key("dateend")->line,
                             block.key("dateend")->column);
    }
    notes.warnings.push_back("series " + shownName(name) +
                             " has no DateBegin or DateEnd; its years are counted from 1");
    return 1;
}

// The values (in millimetres) and depths of a block, missing ones NaN.
void valuesOf(const BlockRead& read, Series& series, Notes& notes) {
    const std::size_t perYear = read.block->kind->perYear;
    const std::size_t years = read.fields.size() / perYear;
    series.values.reserve(years);
    std::size_t negative = 0;
    long long firstNegative = 0;
    for (std::size_t k = 0; k < years; ++k) {
        const double raw = read.fields[k * perYear].number;
        if (raw < 0 && negative++ == 0) firstNegative = series.firstYear + static_cast<long long>(k);
        series.values.push_back(raw < 0 ? std::numeric_limits<double>::quiet_NaN()
                                        : raw * read.unit.numerator / read.unit.denominator);
        if (perYear > 1) series.depths.push_back(read.fields[k * perYear + 1].number);
    }
    if (negative > 0)
        notes.warnings.push_back("series " + shownName(series.name) + ": " + std::to_string(negative) +
                                 (negative == 1 ? " negative value" : " negative values") +
                                 " read as missing, first in " + std::to_string(firstNegative));
    cutToValues(series);
}

std::string keyValue(const Block& block, const char* lowerName) {
    const Key* key = block.key(lowerName);
    return key == nullptr ? std::string() : key->value;
}

base::Result<Series> seriesOf(BlockRead& read, bool bcAd, std::size_t ordinal, Notes& notes) {
    const base::Result<std::optional<Expected>> expected = expectedYears(read, bcAd);
    if (!expected.ok()) return expected.error();
    if (base::Status kept = keepFields(read, *expected); !kept) return kept.error();
    const Block& block = *read.block;
    Series series;
    series.name = nameOf(block, ordinal, notes.warnings);
    const auto years = static_cast<long long>(read.fields.size() / block.kind->perYear);
    const base::Result<long long> first = firstYearOf(read, bcAd, years, series.name, notes);
    if (!first.ok()) return first.error();
    series.firstYear = *first;
    if (*first + years - 1 > yearLimit) {
        const Key* at = block.key("datebegin");
        return base::failure(yearOutOfRange(*first + years - 1), at != nullptr ? at->line : block.headerLine,
                             at != nullptr ? at->column : 1);
    }
    valuesOf(read, series, notes);
    series.site = keyValue(block, "sitecode");
    series.tree = keyValue(block, "treeno");
    const std::string core = keyValue(block, "coreno"), radius = keyValue(block, "radiusno");
    series.core = core.empty() || radius.empty() ? core + radius : core + "/" + radius;
    if (block.kind->perYear > 1) ++notes.chronologies[block.kind->name];
    return series;
}

void noteChronologies(const Notes& notes) {
    for (const auto& [kind, count] : notes.chronologies)
        notes.warnings.push_back(std::to_string(count) + (count == 1 ? " series is" : " series are") +
                                 " of DATA:" + std::string(kind) +
                                 " (values with their sample depths): the values are read as a series and the "
                                 "depths kept");
}

}  // namespace

base::Result<SeriesSet> readHeidelberg(std::string_view bytes) {
    base::Result<std::vector<Block>> blocks = splitBlocks(bytes);
    if (!blocks.ok()) return blocks.error();
    std::vector<BlockRead> reads(blocks->size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        BlockRead& read = reads[i];
        read.block = &(*blocks)[i];
        base::Result<Dates> dates = datesOf(*read.block);
        if (!dates.ok()) return dates.error();
        read.dates = *dates;
        base::Result<Unit> unit = unitOf(*read.block);
        if (!unit.ok()) return unit.error();
        read.unit = *unit;
        if (base::Status fields = fieldsOf(*read.block, read.fields, read.fixed); !fields) return fields.error();
    }
    const base::Result<const BlockRead*> bcAd = bcAdShownBy(reads);
    if (!bcAd.ok()) return bcAd.error();
    SeriesSet set;
    if (*bcAd != nullptr)
        set.warnings.push_back("the dates count BC/AD without a year 0 (the block at line " +
                               std::to_string((*bcAd)->block->headerLine) +
                               " shows it): a negative year is a year BC, 25 BC read as year -24");
    Notes notes{set.warnings, {}};
    set.series.reserve(reads.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        base::Result<Series> series = seriesOf(reads[i], *bcAd != nullptr, i + 1, notes);
        if (!series.ok()) return series.error();
        set.series.push_back(std::move(series).value());
    }
    noteChronologies(notes);
    return set;
}

}  // namespace detrend::formats
