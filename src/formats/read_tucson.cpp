#include "formats/read_tucson.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/fields.hpp"
#include "formats/lines.hpp"

namespace detrend::formats {
namespace {

constexpr long long hundredthsMarker = 999;
constexpr long long thousandthsMarker = -9999;
constexpr std::size_t npos = std::string_view::npos;

struct LineValue {
    long long raw;
    long column;
};

struct DataLine {
    std::string_view id;
    long long year = 0;
    long yearColumn = 0;
    std::vector<LineValue> values;
};

std::string columnRange(std::size_t offset, std::size_t width) {
    return "columns " + std::to_string(offset + 1) + "-" + std::to_string(offset + width);
}

// An integer right-aligned in `field`: blanks, then the number to the end.
bool alignedInteger(std::string_view field, long long& value) {
    const std::size_t first = field.find_first_not_of(' ');
    return first != npos && parseInteger(field.substr(first), value);
}

std::size_t leadingBlanks(std::string_view field) { return std::min(field.find_first_not_of(' '), field.size()); }

enum class Reading { ok, failed, gap };

// The reading by the fixed columns. `yearRead` tells whether the year field
// held a year, even when the values then did not fit.
Reading readColumns(std::string_view line, DataLine& out, Fault& fault, bool& yearRead) {
    out.values.clear();
    yearRead = false;
    std::string_view idField;
    if (line.size() >= 12 && line[7] == '-' && line.substr(8, 4).find_first_not_of("0123456789") == npos) {
        parseInteger(line.substr(7, 5), out.year);
        idField = line.substr(0, 7);
        out.yearColumn = 8;
    } else {
        const std::string_view field = line.substr(std::min<std::size_t>(8, line.size()), 4);
        if (field.size() < 4 || !alignedInteger(field, out.year)) {
            fault = {columnOf(8 + leadingBlanks(field)),
                     "expected a year in columns 9-12, found " + quoted(trimmed(field))};
            return Reading::failed;
        }
        idField = line.substr(0, 8);
        out.yearColumn = columnOf(8 + leadingBlanks(field));
    }
    yearRead = true;
    out.id = trimmed(idField);

    std::size_t blankField = npos, gap = npos;  // the first blank field since the last value; one before a value
    for (std::size_t start = 12, k = 0; start < line.size(); start += 6, ++k) {
        if (k == 10) {
            const std::size_t more = line.find_first_not_of(' ', start);
            if (more == npos) break;
            fault = {columnOf(more), "expected nothing after column 72, found " + quoted(trimmed(line.substr(more)))};
            return Reading::failed;
        }
        const std::string_view field = line.substr(start, 6);
        if (field.find_first_not_of(' ') == npos) {
            if (blankField == npos) blankField = start;
            continue;
        }
        long long value = 0;
        if (field.size() < 6 || !alignedInteger(field, value)) {
            fault = {columnOf(start + leadingBlanks(field)),
                     "expected an integer in " + columnRange(start, 6) + ", found " + quoted(trimmed(field))};
            return Reading::failed;
        }
        if (gap == npos) gap = blankField;
        blankField = npos;
        out.values.push_back({value, columnOf(start + leadingBlanks(field))});
    }
    if (gap != npos) {
        fault = {columnOf(gap), "expected a value in " + columnRange(gap, 6) + ", found blanks"};
        return Reading::gap;
    }
    if (out.values.empty()) {
        fault = {13, "expected values from column 13 on"};
        return Reading::failed;
    }
    return Reading::ok;
}

// The reading as blank-separated items. `endsAtYear` tells whether an item
// ends in column 12, as a year in the fixed columns would.
bool readItems(std::string_view line, DataLine& out, Fault& fault, bool& endsAtYear) {
    out.values.clear();
    endsAtYear = false;
    std::size_t item = 0;
    for (std::size_t start = line.find_first_not_of(" \t"); start != npos; ++item) {
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        const std::string_view text = line.substr(start, end - start);
        endsAtYear = endsAtYear || end == 12;
        if (item == 0) {
            out.id = text;
        } else if (item == 1) {
            if (!parseInteger(text, out.year)) {
                fault = {columnOf(start), "expected a year after the series id, found " + quoted(text)};
                return false;
            }
            out.yearColumn = columnOf(start);
        } else {
            long long value = 0;
            if (!parseInteger(text, value)) {
                fault = {columnOf(start), "expected an integer value, found " + quoted(text)};
                return false;
            }
            out.values.push_back({value, columnOf(start)});
        }
        start = line.find_first_not_of(" \t", end);
    }
    if (item < 2) {
        fault = {columnOf(line.size()), "expected a year after the series id"};
        return false;
    }
    if (out.values.empty()) {
        fault = {columnOf(line.size()), "expected values after the year"};
        return false;
    }
    return true;
}

enum class LineKind { data, other, faulty };

// Reads `line` by the fixed columns or else as items. `other` is a line that
// is not a data line (a header before the first data line); `faulty` a data
// line that cannot be read.
LineKind readLine(std::string_view line, DataLine& out, DataLine& scratch, Fault& fault) {
    bool yearRead = false;
    Fault columnsFault;
    const Reading reading = readColumns(line, out, columnsFault, yearRead);
    if (reading == Reading::ok) return LineKind::data;
    if (reading == Reading::gap) {
        fault = std::move(columnsFault);
        return LineKind::faulty;
    }
    bool endsAtYear = false;
    Fault itemsFault;
    if (readItems(line, scratch, itemsFault, endsAtYear)) {
        if (!yearRead || scratch.year == out.year) {
            std::swap(out, scratch);
            return LineKind::data;
        }
        fault = {out.yearColumn, "year " + std::to_string(out.year) + " in columns 9-12 differs from the year " +
                                     std::to_string(scratch.year) + " after the series id"};
        return LineKind::other;
    }
    fault = std::move(yearRead || endsAtYear ? columnsFault : itemsFault);
    return LineKind::other;
}

struct Entry {
    long long year;
    long long raw;
};

// A series while the file is read.
struct Gathered {
    std::string id;
    std::vector<Entry> entries;  // in the order of the file
    bool hundredths = false, thousandths = false;  // stop markers seen
};

Series finish(Gathered& gathered, std::vector<std::string>& warnings) {
    Series series;
    series.name = gathered.id;
    std::vector<Entry>& entries = gathered.entries;
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.year < b.year; });
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].year == entries[i - 1].year) {
            series.problem = "year " + std::to_string(entries[i].year) + " is given twice";
            break;
        }
    }
    // Of a year given twice the first stays.
    const auto sameYear = [](const Entry& a, const Entry& b) { return a.year == b.year; };
    entries.erase(std::unique(entries.begin(), entries.end(), sameYear), entries.end());
    const auto present = [](const Entry& e) { return e.raw >= 0; };
    const auto first = std::find_if(entries.begin(), entries.end(), present);
    if (first == entries.end()) {
        series.firstYear = entries.empty() ? 0 : entries.front().year;
        if (series.problem.empty()) series.problem = "it has no values";
        return series;
    }
    const auto last = std::find_if(entries.rbegin(), entries.rend(), present).base();
    series.firstYear = first->year;
    const long long span = (last - 1)->year - first->year + 1;
    const auto given = static_cast<long long>(std::count_if(first, last, present));
    if (span > tucsonSpanLimit(given)) {
        if (series.problem.empty())
            series.problem = "it spans " + std::to_string(span) + " years with only " + std::to_string(given) +
                             (given == 1 ? " value" : " values") + "; is a year mistyped?";
        return series;
    }
    if (gathered.hundredths && gathered.thousandths && series.problem.empty())
        series.problem = "its stop markers disagree (999 and -9999)";
    if (!gathered.hundredths && !gathered.thousandths)
        warnings.push_back("series " + (gathered.id.empty() ? std::string("without an id") : gathered.id) +
                           " has no stop marker; its values are read as hundredths of a millimetre");

    const double divisor = gathered.thousandths && !gathered.hundredths ? 1000.0 : 100.0;
    series.values.assign(static_cast<std::size_t>(span), std::numeric_limits<double>::quiet_NaN());
    for (auto e = first; e != last; ++e) {
        if (e->raw >= 0)
            series.values[static_cast<std::size_t>(e->year - first->year)] = static_cast<double>(e->raw) / divisor;
    }
    return series;
}

// One Tucson file while it is read. A run is consecutive data lines of one
// series, ended by another id or by -9999. The last value of its latest line
// waits: 999 there is the stop marker if the run ends after that line.
class TucsonReader {
public:
    TucsonReader(std::string_view bytes, SeriesSet& out, InputError& error)
        : lines_(bytes, "tucson", LineRules::batch(false)), out_(out), error_(error) {}

    bool read() {
        bool seenData = false;
        while (lines_.next()) {
            if (isBlankLine(lines_.line())) continue;
            Fault fault;
            const LineKind kind = readLine(lines_.line(), line_, scratch_, fault);
            if (kind == LineKind::faulty || (kind == LineKind::other && seenData))
                return fail(fault.column, std::move(fault.message));
            if (kind == LineKind::other) continue;
            seenData = true;
            if (line_.year < -yearLimit || line_.year > yearLimit)
                return fail(line_.yearColumn, yearOutOfRange(line_.year));
            if (!gather()) return false;
        }
        endRun();
        if (!seenData) {
            error_ = {0, 0, "no data line (a series id, a year and its values)"};
            return false;
        }
        out_.series.reserve(gathered_.size());
        for (Gathered& series : gathered_) out_.series.push_back(finish(series, out_.warnings));
        return true;
    }

private:
    bool fail(long column, std::string message) {
        error_ = {lines_.lineNumber(), column, std::move(message)};
        return false;
    }

    // Adds the values of the data line just read to its series.
    bool gather() {
        const auto [found, added] = byId_.try_emplace(line_.id, gathered_.size());
        if (added) gathered_.push_back({std::string(line_.id), {}, false, false});
        if (!inRun_ || found->second != run_) {
            endRun();
            run_ = found->second;
            inRun_ = true;
        } else if (waiting_) {
            gathered_[run_].entries.push_back(*waiting_);
            waiting_.reset();
        }
        Gathered& series = gathered_[run_];
        const std::size_t count = line_.values.size();
        for (std::size_t i = 0; i < count; ++i) {
            const Entry entry{line_.year + static_cast<long long>(i), line_.values[i].raw};
            if (entry.raw == thousandthsMarker) {
                if (i + 1 < count)
                    return fail(line_.values[i + 1].column, "expected nothing after the stop marker -9999");
                series.thousandths = true;
                inRun_ = false;
            } else if (i + 1 == count) {
                waiting_ = entry;
            } else {
                series.entries.push_back(entry);
            }
        }
        return true;
    }

    void endRun() {
        if (inRun_ && waiting_) {
            if (waiting_->raw == hundredthsMarker) {
                gathered_[run_].hundredths = true;
            } else {
                gathered_[run_].entries.push_back(*waiting_);
            }
        }
        waiting_.reset();
        inRun_ = false;
    }

    LineReader lines_;
    SeriesSet& out_;
    InputError& error_;
    DataLine line_, scratch_;
    std::vector<Gathered> gathered_;
    // Ids point into the bytes read: batch lines without tab expansion are
    // views of them, never rewritten copies.
    std::unordered_map<std::string_view, std::size_t> byId_;
    bool inRun_ = false;
    std::size_t run_ = 0;
    std::optional<Entry> waiting_;
};

}  // namespace

bool readTucsonColumns(std::string_view line, TucsonColumns& out) {
    DataLine data;
    Fault fault;
    bool yearRead = false;
    if (readColumns(line, data, fault, yearRead) != Reading::ok) return false;
    out = {data.id, data.year, data.values.size(), data.values.back().raw};
    return true;
}

bool readTucson(std::string_view bytes, SeriesSet& out, InputError& error) {
    out = {};
    error = {};
    return TucsonReader(bytes, out, error).read();
}

}  // namespace detrend::formats
