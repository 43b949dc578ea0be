#include "formats/read_tucson.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/tucson_lines.hpp"

namespace detrend::formats {
namespace {

using tucson::DataLine;
using tucson::Reading;

constexpr long long hundredthsMarker = 999;
constexpr long long thousandthsMarker = -9999;

struct Entry {
    long long year;
    long long raw;
    long line;
};

// A series while the file is read.
struct Gathered {
    std::string id;
    std::vector<Entry> entries;  // in the order of the file
    bool hundredths = false, thousandths = false;  // stop markers seen
    long crossingLine = 0;  // the first line holding values past its decade's end
    long long crossingFirst = 0, crossingLast = 0;  // the years of that line's values
};

std::string shownId(const std::string& id) { return id.empty() ? std::string("without an id") : "\"" + id + "\""; }

// "first-last", or "first" alone.
std::string range(long long first, long long last) {
    return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

// The first year of the sorted entries given twice, with its lines; none
// when there is none.
std::optional<std::string> givenTwice(const std::vector<Entry>& entries) {
    for (std::size_t i = 1; i < entries.size(); ++i)
        if (entries[i].year == entries[i - 1].year)
            return "year " + std::to_string(entries[i].year) + " is given twice (lines " +
                   std::to_string(entries[i - 1].line) + " and " + std::to_string(entries[i].line) + ")";
    return std::nullopt;
}

// The first years without a line among the entries [first, last), with the
// lines around them; none when there are none.
std::optional<std::string> hole(std::vector<Entry>::const_iterator first, std::vector<Entry>::const_iterator last) {
    for (auto e = first + 1; e != last; ++e)
        if (e->year != (e - 1)->year + 1)
            return "it has no values for " + range((e - 1)->year + 1, e->year - 1) + ", between lines " +
                   std::to_string((e - 1)->line) + " and " + std::to_string(e->line);
    return std::nullopt;
}

// The notes about a series read: no stop marker, absent rings, a line past
// its decade.
void noteSeries(const Gathered& gathered, long absent, long long firstAbsent, std::vector<std::string>& warnings) {
    if (!gathered.hundredths && !gathered.thousandths)
        warnings.push_back("series " + (gathered.id.empty() ? std::string("without an id") : gathered.id) +
                           " has no stop marker; its values are read as hundredths of a millimetre");
    if (absent > 0)
        warnings.push_back("series " + shownId(gathered.id) + ": " + std::to_string(absent) + " absent ring" +
                           (absent == 1 ? "" : "s") + " read as 0, first in " + std::to_string(firstAbsent));
    if (gathered.crossingLine > 0)
        warnings.push_back("series " + shownId(gathered.id) + ": line " + std::to_string(gathered.crossingLine) +
                           " holds values past the end of its decade (" +
                           range(gathered.crossingFirst, gathered.crossingLast) + "), read as consecutive years");
}

Series finish(Gathered& gathered, std::vector<std::string>& warnings) {
    Series series;
    series.name = gathered.id;
    std::vector<Entry>& entries = gathered.entries;
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.year < b.year; });
    series.problem = givenTwice(entries);
    // Of a year given twice the first stays.
    const auto sameYear = [](const Entry& a, const Entry& b) { return a.year == b.year; };
    entries.erase(std::unique(entries.begin(), entries.end(), sameYear), entries.end());
    const auto present = [](const Entry& e) { return e.raw >= 0; };
    const auto first = std::find_if(entries.begin(), entries.end(), present);
    if (first == entries.end()) {
        series.firstYear = entries.empty() ? 0 : entries.front().year;
        if (!series.problem) series.problem = "it has no values";
        return series;
    }
    const auto last = std::find_if(entries.rbegin(), entries.rend(), present).base();
    series.firstYear = first->year;
    if (std::optional<std::string> gap = hole(first, last)) {
        if (!series.problem) series.problem = std::move(gap);
        return series;
    }
    if (gathered.hundredths && gathered.thousandths && !series.problem)
        series.problem = "its stop markers disagree (999 and -9999)";
    const double divisor = gathered.thousandths && !gathered.hundredths ? 1000.0 : 100.0;
    series.values.reserve(static_cast<std::size_t>(last - first));
    long absent = 0;
    long long firstAbsent = 0;
    for (auto e = first; e != last; ++e) {
        if (e->raw < 0 && absent++ == 0) firstAbsent = e->year;
        series.values.push_back(e->raw < 0 ? 0.0 : static_cast<double>(e->raw) / divisor);
    }
    noteSeries(gathered, absent, firstAbsent, warnings);
    return series;
}

// The last year of the decade of `year` (decades begin at years ending in 0).
long long decadeEnd(long long year) { return year - ((year % 10) + 10) % 10 + 9; }

// One Tucson file while it is read. A run is consecutive data lines of one
// series, ended by another id or by -9999. The last value of its latest line
// waits: 999 there is the stop marker if the run ends after that line.
class TucsonReader {
public:
    TucsonReader(std::string_view bytes, SeriesSet& out)
        : lines_(bytes, "the file", LineRules::batch(false)), out_(out) {}

    base::Status read() {
        while (lines_.next()) {
            const std::string_view line = lines_.line();
            if (isBlankLine(line)) continue;
            ++nonBlank_;
            if (skipHeader(tucson::archiveNumber(line))) continue;
            endBlock();
            if (base::Status read = readLine(line); !read) return read;
        }
        if (!lines_.status()) return lines_.status();  // its words name the line
        endBlock();
        endRun();
        if (!seenData_) return base::failure("the file holds no data line (a series id, a year and its values)");
        if (gluedLines_ > 0) out_.warnings.push_back(gluedWarning());
        out_.series.reserve(gathered_.size());
        for (Gathered& series : gathered_) out_.series.push_back(finish(series, out_.warnings));
        return {};
    }

private:
    base::Status fail(long column, std::string message) {
        return base::failure(std::move(message), lines_.lineNumber(), column);
    }

    // Whether a line of the archive's header shape numbered `number` (0:
    // not of that shape) is skipped: among the first three lines, or in a
    // block numbered from 1 after the first data line.
    bool skipHeader(int number) {
        if (number == 0) return false;
        if (!seenData_) return nonBlank_ <= 3;
        if (number == 1) {
            endBlock();
            blockFirst_ = lines_.lineNumber();
        } else if (blockFirst_ == 0 || number != blockNext_) {
            return false;
        }
        blockNext_ = number + 1;
        blockLast_ = lines_.lineNumber();
        return true;
    }

    void endBlock() {
        if (blockFirst_ == 0) return;
        out_.warnings.push_back((blockFirst_ == blockLast_ ? "line " + std::to_string(blockFirst_)
                                                           : "lines " + range(blockFirst_, blockLast_)) +
                                " skipped: a header as at the top of a file (files joined?)");
        blockFirst_ = 0;
    }

    std::string gluedWarning() const {
        std::string text = "line " + std::to_string(firstGluedLine_) +
                           " holds two records that lost their line break; each is read as a line of its own";
        if (gluedLines_ > 1) text += " (so are " + std::to_string(gluedLines_ - 1) + " more lines)";
        return text;
    }

    // Reads a line that is no header: one record, or several glued.
    base::Status readLine(std::string_view line) {
        std::size_t start = 0;
        for (std::size_t next = tucson::gluedAt(line); next != std::string_view::npos;
             next = tucson::gluedAt(line, start)) {
            if (base::Status read = readRecord(line.substr(0, next), start, false); !read) return read;
            if (start == 0 && gluedLines_++ == 0) firstGluedLine_ = lines_.lineNumber();
            start = next;
        }
        return readRecord(line, start, start == 0);
    }

    // Reads the record that begins at line[start] and ends at the end of
    // `line`; `alone`: the only record of its line, which may be a header.
    base::Status readRecord(std::string_view line, std::size_t start, bool alone) {
        tucson::Record record = tucson::readRecord(line, start, line_, scratch_);
        if (record.reading == Reading::other && alone && !seenData_ && nonBlank_ <= 3) return {};  // a header
        if (record.reading != Reading::data) return fail(record.fault.column, std::move(record.fault.what));
        seenData_ = true;
        return gather();
    }

    base::Status gather();
    bool continuesInOtherCase() const;
    void endRun();

    LineReader lines_;
    SeriesSet& out_;
    DataLine line_, scratch_;
    std::vector<Gathered> gathered_;
    // Ids point into the bytes read: batch lines without tab expansion are
    // views of them, never rewritten copies.
    std::unordered_map<std::string_view, std::size_t> byId_;
    long nonBlank_ = 0;  // lines that are not blank so far
    bool seenData_ = false;
    long blockFirst_ = 0, blockLast_ = 0;  // a block of header lines after data
    int blockNext_ = 0;
    long gluedLines_ = 0, firstGluedLine_ = 0;
    bool inRun_ = false;
    std::size_t run_ = 0;
    long long runNextYear_ = 0;  // the year after the last value of the run's latest line
    std::optional<Entry> waiting_;
};

// Whether the data line just read continues the run, whose series has no
// stop marker, under an id that differs in letter case alone.
bool TucsonReader::continuesInOtherCase() const {
    if (!inRun_ || (waiting_ && waiting_->raw == hundredthsMarker)) return false;
    const Gathered& series = gathered_[run_];
    return !series.hundredths && !series.thousandths && line_.year == runNextYear_ &&
           base::equalsIgnoringCase(series.id, line_.id);
}

// Adds the values of the data line just read to its series.
base::Status TucsonReader::gather() {
    if (line_.year < -9999 || line_.year > 9999)
        return fail(line_.yearColumn, "year " + std::to_string(line_.year) + " has more than four digits");
    auto found = byId_.find(line_.id);
    if (found == byId_.end() && continuesInOtherCase()) {
        out_.warnings.push_back("series \"" + gathered_[run_].id + "\" is written \"" + std::string(line_.id) +
                                "\" from line " + std::to_string(lines_.lineNumber()) + "; read as one series");
        found = byId_.emplace(line_.id, run_).first;
    } else if (found == byId_.end()) {
        found = byId_.emplace(line_.id, gathered_.size()).first;
        gathered_.push_back({std::string(line_.id), {}, false, false, 0, 0, 0});
    }
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
    const long number = lines_.lineNumber();
    for (std::size_t i = 0; i < count; ++i) {
        const Entry entry{line_.year + static_cast<long long>(i), line_.values[i].raw, number};
        if (entry.raw == thousandthsMarker) {
            if (i + 1 < count) return fail(line_.values[i + 1].column, "expected nothing after the stop marker -9999");
            series.thousandths = true;
            inRun_ = false;
        } else if (i + 1 == count) {
            waiting_ = entry;
        } else {
            series.entries.push_back(entry);
        }
    }
    const long long last = line_.year + static_cast<long long>(tucson::ringCount(line_)) - 1;
    if (last > decadeEnd(line_.year) && series.crossingLine == 0) {
        series.crossingLine = number;
        series.crossingFirst = line_.year;
        series.crossingLast = last;
    }
    runNextYear_ = line_.year + static_cast<long long>(count);
    return {};
}

void TucsonReader::endRun() {
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

}  // namespace

base::Result<SeriesSet> readTucson(std::string_view bytes) {
    SeriesSet set;
    if (base::Status read = TucsonReader(bytes, set).read(); !read) return read.error();
    set.millimetres = true;
    return set;
}

}  // namespace detrend::formats
