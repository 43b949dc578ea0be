#include "formats/read_tucson.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"
#include "formats/tucson_lines.hpp"
#include "formats/tucson_series.hpp"

namespace detrend::formats {
namespace {

using tucson::DataLine;
using tucson::Entry;
using tucson::Gathered;
using tucson::hundredthsMarker;
using tucson::IdRule;
using tucson::Reading;
using tucson::thousandthsMarker;

// " (and N more lines)" when N > 0.
std::string andMore(long more) {
    if (more <= 0) return {};
    return " (and " + std::to_string(more) + " more line" + (more == 1 ? ")" : "s)");
}

// Lines of one kind met in a file, noted once: the first and how many.
struct Seen {
    long first = 0, count = 0;
    std::string what;  // of the first
    void add(long line, std::string_view text = {}) {
        if (count++ == 0) first = line, what = text;
    }
};

// The last year of the decade of `year` (decades begin at years ending in 0).
long long decadeEnd(long long year) { return year - ((year % 10) + 10) % 10 + 9; }

// The values of a data line from `end` on are its stop marker and repeats
// of it: -9999 (and the -9999s before it), or 999 repeated. `count` when
// the line ends otherwise (a 999 alone at its end waits: it is the stop
// marker when the run ends after the line).
std::size_t markerStart(const DataLine& line) {
    const std::size_t count = line.values.size();
    const long long last = line.values.back().raw;
    if (last != thousandthsMarker && last != hundredthsMarker) return count;
    std::size_t first = count - 1;
    while (first > 0 && line.values[first - 1].raw == last) --first;
    return last == thousandthsMarker || first + 1 < count ? first : count;
}

// One Tucson file while it is read. A run is consecutive data lines of one
// series, ended by another id or by a stop marker that ends its line. The
// last value of its latest line waits: 999 there is the stop marker if the
// run ends after that line.
class TucsonReader {
public:
    TucsonReader(std::string_view bytes, SeriesSet& out)
        : bytes_(withoutEndMarks(bytes)), lines_(bytes, "the file", LineRules::batch(false)), out_(out) {}

    base::Status read() {
        while (lines_.next()) {
            const std::string_view line = lines_.line();
            if (isBlankLine(line)) continue;
            if (tucson::isComment(line)) {
                comments_.add(lines_.lineNumber());
                continue;
            }
            ++nonBlank_;
            if (headerLeft_ > 0) {
                --headerLeft_;
                continue;
            }
            if (headerBlock(line) || skipHeader(line)) continue;
            endBlock();
            if (seenData_ && tucson::isStrayLine(line) && onlyStrayAfter(line)) {
                strayLine_ = lines_.lineNumber();
                stray_ = base::trimmed(line);
                break;
            }
            if (base::Status read = readLine(line); !read) return read;
        }
        if (!lines_.status()) return lines_.status();  // its words name the line
        endBlock();
        endRun();
        if (!seenData_) return base::failure("the file holds no data line (a series id, a year and its values)");
        fileNotes();
        out_.series.reserve(gathered_.size());
        for (Gathered& series : gathered_) out_.series.push_back(tucson::finishSeries(series, out_.warnings));
        return {};
    }

private:
    static std::string_view withoutEndMarks(std::string_view bytes) {
        while (bytes.ends_with('\x1A')) bytes.remove_suffix(1);
        return bytes;
    }

    base::Status fail(long column, std::string message) {
        return base::failure(std::move(message), lines_.lineNumber(), column);
    }

    // The bytes after `line`, a view into them, from its line end on.
    std::string_view after(std::string_view line) const {
        return bytes_.substr(static_cast<std::size_t>(line.data() + line.size() - bytes_.data()));
    }
    // Whether `line` is the last and has no line end.
    bool endsWithoutLineEnd(std::string_view line) const {
        return line.data() + line.size() == bytes_.data() + bytes_.size();
    }

    bool headerBlock(std::string_view line);
    bool skipHeader(std::string_view line);
    void takeSite(std::string_view line);
    void endBlock();
    bool onlyStrayAfter(std::string_view line) const;
    void fileNotes();
    base::Status readLine(std::string_view line);
    base::Status readRecord(std::string_view line, std::size_t start, bool alone);
    base::Status chooseReading(std::string_view line, std::size_t start, tucson::Record& record);
    bool cutOff(std::string_view line, const tucson::Record& record);
    base::Status gather();
    bool continuesInOtherCase() const;
    void endRun();

    std::string_view bytes_;
    LineReader lines_;
    SeriesSet& out_;
    DataLine line_, scratch_;
    std::vector<Gathered> gathered_;
    // Ids point into the bytes read: batch lines without tab expansion are
    // views of them, never rewritten copies.
    std::unordered_map<std::string_view, std::size_t> byId_;
    long nonBlank_ = 0;  // lines that are neither blank nor comments so far
    bool seenData_ = false;
    long blockFirst_ = 0, blockLast_ = 0;  // a block of header lines after data
    int blockNext_ = 0;
    int headerLeft_ = 0;  // lines of a header block still to skip
    Seen comments_, glued_, trailing_, eightColumns_, repeatedMarkers_, looseHeader_;
    long strayLine_ = 0;
    std::string_view stray_;
    std::string cutNote_;
    IdRule idRule_ = IdRule::ask;
    bool inRun_ = false;
    std::size_t run_ = 0;
    long long runNextYear_ = 0;  // the year after the last value of the run's latest line
    std::optional<Entry> waiting_;
};

// A block of the header's shape wherever its numbers stand: `line`
// numbered 1, and the next two lines that are neither blank nor comments
// numbered 2 and 3. The block is skipped: at the top, with a note when a
// number stands outside columns 6-9; after data lines, as a header of files
// joined.
bool TucsonReader::headerBlock(std::string_view line) {
    if (tucson::headerNumber(line) != 1) return false;
    LineReader next(after(line), "the file", LineRules::batch(false));
    bool usual = tucson::archiveNumber(line) == 1;
    int number = 1;
    while (number < 3 && next.next()) {
        const std::string_view text = next.line();
        if (isBlankLine(text) || tucson::isComment(text)) continue;
        if (tucson::headerNumber(text) != ++number) return false;
        usual = usual && tucson::archiveNumber(text) == number;
    }
    if (number < 3) return false;
    const long first = lines_.lineNumber(), last = first + next.lineNumber() - 1;
    headerLeft_ = 2;
    if (seenData_) {
        endBlock();
        blockFirst_ = first;
        blockLast_ = last;
        endBlock();
        return true;
    }
    if (!usual) looseHeader_.add(first, "lines " + std::to_string(first) + "-" + std::to_string(last));
    takeSite(line);
    return true;
}

// Whether a line of the archive's header shape is skipped: among the first
// three lines, or in a block numbered from 1 after the first data line.
bool TucsonReader::skipHeader(std::string_view line) {
    const int number = tucson::archiveNumber(line);
    if (number == 0) return false;
    if (!seenData_) {
        if (nonBlank_ > 3) return false;
        if (number == 1) takeSite(line);
        return true;
    }
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

// The site of the header's first line, when none was taken yet.
void TucsonReader::takeSite(std::string_view line) {
    if (out_.siteCode) return;
    const tucson::SiteHeader site = tucson::siteHeader(line);
    out_.siteCode = std::string(site.code);
    if (!site.name.empty()) out_.siteName = std::string(site.name);
    if (!site.species.empty()) out_.species = std::string(site.species);
}

void TucsonReader::endBlock() {
    if (blockFirst_ == 0) return;
    out_.warnings.push_back((blockFirst_ == blockLast_
                                 ? "line " + std::to_string(blockFirst_)
                                 : "lines " + std::to_string(blockFirst_) + "-" + std::to_string(blockLast_)) +
                            " skipped: a header as at the top of a file (files joined?)");
    blockFirst_ = 0;
}

// Whether every line after `line` is blank, a comment or a stray line.
bool TucsonReader::onlyStrayAfter(std::string_view line) const {
    LineReader rest(after(line), "the file", LineRules::batch(false));
    while (rest.next())
        if (!isBlankLine(rest.line()) && !tucson::isComment(rest.line()) && !tucson::isStrayLine(rest.line()))
            return false;
    return true;
}

// The notes about the file as a whole, each once.
void TucsonReader::fileNotes() {
    std::vector<std::string>& notes = out_.warnings;
    const auto line = [](long number) { return "line " + std::to_string(number); };
    if (looseHeader_.count > 0)
        notes.push_back(looseHeader_.what + " skipped: the site's header, its line numbers 1 to 3 outside columns 6-9");
    if (comments_.count > 0)
        notes.push_back(line(comments_.first) + " is a comment (it begins with \"#\"), skipped" +
                        andMore(comments_.count - 1));
    if (glued_.count > 0)
        notes.push_back(line(glued_.first) +
                        " holds two records that lost their line break; each is read as a line of its own" +
                        andMore(glued_.count - 1));
    if (trailing_.count > 0)
        notes.push_back(line(trailing_.first) + " has " + base::quoted(trailing_.what) +
                        " after its last value field, ignored" + andMore(trailing_.count - 1));
    if (eightColumns_.count > 0) notes.push_back(eightColumns_.what + andMore(eightColumns_.count - 1));
    if (repeatedMarkers_.count > 0)
        notes.push_back(line(repeatedMarkers_.first) + " repeats its stop marker (" + repeatedMarkers_.what +
                        "); the series ends at the first" + andMore(repeatedMarkers_.count - 1));
    if (!cutNote_.empty()) notes.push_back(cutNote_);
    if (strayLine_ > 0)
        notes.push_back(line(strayLine_) + " holds " +
                        (stray_.find_first_not_of('\x1A') == std::string_view::npos
                             ? std::string("an end-of-file mark (Ctrl-Z)")
                             : "only " + base::quoted(stray_)) +
                        " after the last series: the data end there");
}

// Reads a line that is no header: one record, or several glued.
base::Status TucsonReader::readLine(std::string_view line) {
    std::size_t start = 0;
    for (std::size_t next = tucson::gluedAt(line); next != std::string_view::npos;
         next = tucson::gluedAt(line, start)) {
        if (base::Status read = readRecord(line.substr(0, next), start, false); !read) return read;
        if (start == 0) glued_.add(lines_.lineNumber());
        start = next;
    }
    return readRecord(line, start, start == 0);
}

namespace {

// Whether `line` holds, after column 12, nothing but two or more integers:
// the values of a data line, not a header's text.
bool ringValuesAfterYear(std::string_view line) {
    if (line.size() <= 12) return false;
    std::string_view rest = line.substr(12);
    int values = 0;
    while (!(rest = base::trimmed(rest)).empty()) {
        const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        long long value = 0;
        if (!wholeInteger(rest.substr(0, end), value)) return false;
        ++values;
        rest.remove_prefix(end);
    }
    return values >= 2;
}

}  // namespace

// Reads the record that begins at line[start] and ends at the end of
// `line`; `alone`: the only record of its line, which may be a header.
base::Status TucsonReader::readRecord(std::string_view line, std::size_t start, bool alone) {
    tucson::Record record = tucson::readRecord(line, start, line_, scratch_, idRule_);
    if (record.reading == Reading::choice) {
        if (base::Status chosen = chooseReading(line, start, record); !chosen) return chosen;
    }
    if (alone && cutOff(line, record)) return {};
    if (record.reading == Reading::other && alone && !seenData_ && nonBlank_ <= 3) {
        // A header, unless the rest of it is a run of ring values: then it
        // is a data line whose year is mistyped, and skipping it would lose
        // a decade without a word.
        if (!ringValuesAfterYear(line)) return {};
        return fail(9, "expected a year in columns 9-12, found " + base::quoted(base::trimmed(line.substr(8, 4))) +
                           ": the line holds ring values after it, so it is no header");
    }
    if (record.reading != Reading::data) return fail(record.fault.column, std::move(record.fault.what));
    if (record.idInEightColumns)
        eightColumns_.add(lines_.lineNumber(), "line " + std::to_string(lines_.lineNumber()) + ": the id " +
                                                   base::quoted(line_.id) + " fills columns 1-8 against the year " +
                                                   std::to_string(line_.year) + "; read by the fixed columns");
    if (line_.trailingColumn > 0) trailing_.add(lines_.lineNumber(), line_.trailing);
    seenData_ = true;
    return gather();
}

// Columns 1-12 read two ways: the one that keeps the file's lines
// consistent, from this line on, is taken for the rest of the file; a fault
// when neither or both do.
base::Status TucsonReader::chooseReading(std::string_view line, std::size_t start, tucson::Record& record) {
    idRule_ = tucson::chooseIdReading(bytes_.substr(static_cast<std::size_t>(line.data() - bytes_.data())));
    if (idRule_ == IdRule::ask)
        return fail(8, "columns 1-12 read as the id " + base::quoted(line_.id) + " and the year " +
                           std::to_string(line_.year) + ", or split at blanks as the id " + base::quoted(scratch_.id) +
                           " and the year " + std::to_string(scratch_.year) +
                           ", and the file's other lines do not tell which; put a blank before the year");
    record = tucson::readRecord(line, start, line_, scratch_, idRule_);
    if (idRule_ == IdRule::blanks)
        eightColumns_.add(lines_.lineNumber(), "line " + std::to_string(lines_.lineNumber()) +
                                                   ": read split at blanks as the id " + base::quoted(line_.id) +
                                                   " and the year " + std::to_string(line_.year) +
                                                   ", as the file's other lines are, not by the fixed columns");
    return {};
}

// Whether `line`, the last and without a line end, stops inside a field
// its layout promises: a value field of fewer than six columns (its value
// left out), or before its first value. Noted when so.
bool TucsonReader::cutOff(std::string_view line, const tucson::Record& record) {
    if (!endsWithoutLineEnd(line)) return false;
    const std::string where = "line " + std::to_string(lines_.lineNumber()) + ", the last, has no line end and ";
    if (record.reading == Reading::data && line_.shortFieldColumn > 0 && line_.values.size() >= 2 &&
        line_.values.back().column >= line_.shortFieldColumn) {
        const long column = line_.shortFieldColumn;
        cutNote_ = where + "stops inside the value field of columns " + std::to_string(column) + "-" +
                   std::to_string(column + 5) + ": the file seems cut off; the value " +
                   base::quoted(line.substr(static_cast<std::size_t>(line_.values.back().column - 1))) +
                   " there is left out";
        line_.values.pop_back();
        return false;
    }
    if (record.reading == Reading::data || line.size() >= 18) return false;
    cutNote_ = where + "stops before its first value: the file seems cut off; the line is left out";
    return true;
}

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
    // Words may run on past the decade, even past the last year taken.
    if (line_.year + static_cast<long long>(line_.values.size()) - 1 > yearLimit) {
        const auto past = static_cast<std::size_t>(yearLimit - line_.year + 1);
        return fail(line_.values[past].column, yearOutOfRange(yearLimit + 1));
    }
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
    const std::size_t count = line_.values.size(), end = markerStart(line_);
    const long number = lines_.lineNumber();
    for (std::size_t i = 0; i < std::min(count, end); ++i) {
        const Entry entry{line_.year + static_cast<long long>(i), line_.values[i].raw, number};
        if (i + 1 == count) {
            waiting_ = entry;
        } else {
            series.entries.push_back(entry);
        }
    }
    if (end < count) {
        (line_.values[end].raw == thousandthsMarker ? series.thousandths : series.hundredths) = true;
        if (end + 1 < count) {
            std::string markers;
            for (std::size_t i = end; i < count; ++i)
                markers += (i == end ? "" : " ") + std::to_string(line_.values[i].raw);
            repeatedMarkers_.add(number, markers);
        }
        inRun_ = false;
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
