#include "formats/free_layout.hpp"

#include <algorithm>
#include <system_error>
#include <type_traits>

#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

bool isSeparator(char c) { return c == ' ' || c == ',' || c == '/'; }

// Items handed to the generic reader: how one token is parsed and stored.
template <class T>
struct NumberItems {
    using Value = T;
    static constexpr bool namesMayBeQuoted = false;
    static constexpr bool decimal = std::is_floating_point_v<T>;
    std::span<T> out;
    std::size_t size() const { return out.size(); }
    ScanStatus parse(std::string_view token, T& v) const { return parseNumber(token, v); }
    void store(std::size_t i, const T& v) const { out[i] = v; }
};

struct NameItems {
    using Value = SeriesName;
    static constexpr bool namesMayBeQuoted = true;
    static constexpr bool decimal = false;
    std::span<SeriesName> out;
    std::size_t size() const { return out.size(); }
    ScanStatus parse(std::string_view token, SeriesName& v) const {
        v = SeriesName::from(token);
        return ScanStatus::ok;
    }
    void store(std::size_t i, const SeriesName& v) const { out[i] = v; }
};

// The end of a quoted name that starts at text[pos] (the quote): the position
// after its closing quote, or the line's end. With `name`, the name's
// characters (a doubled quote standing for one) are kept there.
std::size_t quotedEnd(std::string_view text, std::size_t pos, SeriesName* name = nullptr) {
    const char quote = text[pos++];
    if (name != nullptr) name->chars.fill(' ');
    std::size_t kept = 0;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == quote) {
            if (pos < text.size() && text[pos] == quote) {
                ++pos;
            } else {
                break;
            }
        }
        if (name != nullptr && kept < name->chars.size()) name->chars[kept++] = c;
    }
    return pos;
}

// Moves past blanks and, right after an item, past the one comma that
// separates it from the next. At the line's end `afterItem` stays as it
// was: a comma at the start of the next line still only separates.
std::size_t skipToItem(std::string_view text, std::size_t pos, bool& afterItem) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos < text.size() && afterItem) {
        afterItem = false;
        if (text[pos] == ',') {
            ++pos;
            while (pos < text.size() && text[pos] == ' ') ++pos;
        }
    }
    return pos;
}

// One item that starts at text[pos] (neither a blank, a comma, "/" nor "!").
struct ItemText {
    std::uint64_t repeat = 1;  // its repeat count, at most the cap asked for
    bool empty = false;  // r*: r empty items
    std::size_t textStart = 0;  // its value after the repeat count (a quoted name: the quote)
    std::size_t end = 0;  // the position after it
};

ItemText scanItem(std::string_view text, std::size_t pos, bool quotedNames, std::uint64_t repeatCap) {
    ItemText item;
    std::size_t digitsEnd = pos;
    while (digitsEnd < text.size() && isDigit(text[digitsEnd])) ++digitsEnd;
    if (digitsEnd > pos && digitsEnd < text.size() && text[digitsEnd] == '*') {
        item.repeat = 0;
        for (std::size_t i = pos; i < digitsEnd; ++i)
            item.repeat =
                std::min<std::uint64_t>(item.repeat * 10 + static_cast<std::uint64_t>(text[i] - '0'), repeatCap);
        pos = digitsEnd + 1;
        item.empty = pos == text.size() || isSeparator(text[pos]);
    }
    item.textStart = pos;
    if (!item.empty && quotedNames && (text[pos] == '\'' || text[pos] == '"')) {
        pos = quotedEnd(text, pos);
    } else {
        while (pos < text.size() && !isSeparator(text[pos])) ++pos;
    }
    item.end = pos;
    return item;
}

// A failed read of item `index` (0-based), which starts at text[at].
ScanResult itemFailure(ScanStatus status, long line, std::size_t index, std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    return {status, line, index + 1, std::string(text.substr(at, end - at)), at + 1};
}

// Takes the item that starts at text[pos] into items[index..]: its value,
// as often as its repeat count says, or as many empty items. Moves pos and
// index past it, unless it fails.
template <class Items>
ScanStatus takeItem(Items& items, std::string_view text, std::size_t& pos, std::size_t& index) {
    const std::size_t count = items.size();
    const ItemText item = scanItem(text, pos, Items::namesMayBeQuoted, count);
    if (item.repeat == 0) return ScanStatus::zeroRepeat;
    const std::size_t copies = static_cast<std::size_t>(std::min<std::uint64_t>(item.repeat, count - index));
    if (item.empty) {  // r* : r empty items
        index += copies;
    } else {
        typename Items::Value value{};
        const std::string_view itemText = text.substr(item.textStart, item.end - item.textStart);
        if constexpr (Items::namesMayBeQuoted) {
            if (itemText.front() == '\'' || itemText.front() == '"') {
                quotedEnd(text, item.textStart, &value);
            } else {
                value = SeriesName::from(itemText);
            }
        } else {
            if (const ScanStatus status = items.parse(itemText, value); status != ScanStatus::ok) return status;
        }
        for (std::size_t r = copies; r > 0; --r) items.store(index++, value);
    }
    pos = item.end;
    return ScanStatus::ok;
}

// Most items are plain numbers: one read in one pass when it ends at a
// separator, into items[index], moving pos and index past it. False, with
// nothing moved, for anything else (a repeat count, a bad or hard number),
// which is left to takeItem.
template <class Items>
[[gnu::always_inline]] inline bool takeQuickNumber(Items& items, std::string_view text, std::size_t& pos,
                                                   std::size_t& index) {
    if constexpr (Items::decimal) {
        typename Items::Value value{};
        const char* const textEnd = text.data() + text.size();
        const NumberRead read = quickDecimal(text.data() + pos, textEnd, value);
        if (read.ec == std::errc() && (read.ptr == textEnd || isSeparator(*read.ptr))) {
            items.store(index++, value);
            pos = static_cast<std::size_t>(read.ptr - text.data());
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

// A token read by one of the number functions: ok, or why not.
ScanStatus tokenStatus(std::string_view token, NumberRead read) {
    if (read.ec == std::errc::invalid_argument || read.ptr != token.data() + token.size())
        return ScanStatus::illegalCharacter;
    return read.ec == std::errc() ? ScanStatus::ok : ScanStatus::outOfRange;
}

template <class T>
ScanStatus parseToken(std::string_view token, T& value, NumberRead (*parse)(const char*, const char*, T&)) {
    T parsed{};
    const ScanStatus status = tokenStatus(token, parse(token.data(), token.data() + token.size(), parsed));
    if (status == ScanStatus::ok) value = parsed;
    return status;
}

}  // namespace

ScanStatus parseNumber(std::string_view token, double& value) { return parseToken(token, value, parseFreeFloat); }
ScanStatus parseNumber(std::string_view token, float& value) { return parseToken(token, value, parseFreeFloat); }
ScanStatus parseNumber(std::string_view token, int& value) { return parseToken(token, value, parseFreeInteger); }

std::size_t countItems(std::string_view text, std::size_t pos, bool afterItem, bool quotedNames) {
    constexpr std::uint64_t countLimit = std::uint64_t{1} << 40;
    std::uint64_t found = 0;
    for (;;) {
        pos = skipToItem(text, pos, afterItem);
        if (pos == text.size() || text[pos] == '/' || text[pos] == '!') break;
        if (text[pos] == ',') {  // an empty item
            ++found;
            ++pos;
            continue;
        }
        const ItemText item = scanItem(text, pos, quotedNames, countLimit);
        found = std::min(found + item.repeat, countLimit);
        pos = item.end;
        afterItem = true;
    }
    return static_cast<std::size_t>(found);
}

ScanResult FreeReader::lineMissing() const {
    return {lines_.status() ? ScanStatus::endOfFile : ScanStatus::unreadable, lines_.lineNumber()};
}

base::Diagnostic FreeReader::diagnostic(const ScanResult& result) const {
    const auto at = [&](const char* what) {
        return base::failure(what, result.line, static_cast<long>(result.column));
    };
    switch (result.status) {
        case ScanStatus::ok: return at("no error");
        case ScanStatus::illegalCharacter: return at("Illegal character in numeric input");
        case ScanStatus::outOfRange: return at("Number out of range in numeric input");
        case ScanStatus::zeroRepeat: return at("Zero repeat count in input");
        case ScanStatus::endOfFile: return at("Attempt to read past end of file");
        case ScanStatus::unreadable: break;
    }
    return lines_.status() ? base::failure("the input cannot be read") : lines_.status().error();
}

template <class Items>
ScanResult FreeReader::readItems(Items& items) {
    const std::size_t count = items.size();
    rest_ = lastRest_ = std::string_view::npos;
    firstItemLine_ = 0;
    firstItemColumn_ = 0;
    restNames_ = Items::namesMayBeQuoted;
    if (!lines_.next()) return lineMissing();
    std::string_view text = lines_.line();
    std::size_t pos = 0;
    std::size_t index = 0;
    bool afterItem = false;  // a comma now is the item's separator, not an empty item
    std::size_t takenBefore = 0;  // items taken from lines before the current one
    while (index < count) {
        pos = skipToItem(text, pos, afterItem);
        if (pos == text.size()) {  // the line end separates like a blank
            if (!lines_.next()) return lineMissing();
            takenBefore = index;
            text = lines_.line();
            pos = 0;
            continue;
        }
        const char c = text[pos];
        if (c == '/') break;
        if (c == '!') {
            pos = text.size();
            continue;
        }
        if (index == 0) {
            firstItemLine_ = lines_.lineNumber();
            firstItemColumn_ = pos + 1;
        }
        if (c == ',') {  // nothing between two commas: the item keeps its value
            ++index;
            ++pos;
            continue;
        }

        if (takeQuickNumber(items, text, pos, index)) {
            afterItem = true;
            continue;
        }
        if (const ScanStatus status = takeItem(items, text, pos, index); status != ScanStatus::ok)
            return itemFailure(status, lines_.lineNumber(), index, text, pos);
        afterItem = true;
    }
    if (index == count) {
        lastRest_ = pos;
        lastRestAfterItem_ = afterItem;
        if (takenBefore == 0) {
            rest_ = pos;
            restAfterItem_ = afterItem;
        }
    }
    return {ScanStatus::ok, lines_.lineNumber()};
}

std::size_t FreeReader::itemsIgnored() const {
    if (rest_ == std::string_view::npos) return 0;
    return countItems(lines_.line(), rest_, restAfterItem_, restNames_);
}

std::size_t FreeReader::itemsAfterRead(std::size_t& column) const {
    column = 0;
    if (lastRest_ == std::string_view::npos) return 0;
    const std::string_view text = lines_.line();
    bool afterItem = lastRestAfterItem_;
    column = skipToItem(text, lastRest_, afterItem) + 1;
    return countItems(text, lastRest_, lastRestAfterItem_, restNames_);
}

ScanResult FreeReader::read(std::span<double> items) {
    NumberItems<double> it{items};
    return readItems(it);
}

ScanResult FreeReader::read(float& item) {
    NumberItems<float> it{std::span<float>(&item, 1)};
    return readItems(it);
}

ScanResult FreeReader::read(int& item) {
    NumberItems<int> it{std::span<int>(&item, 1)};
    return readItems(it);
}

ScanResult FreeReader::read(std::span<SeriesName> items) {
    NameItems it{items};
    return readItems(it);
}

}  // namespace detrend::formats
