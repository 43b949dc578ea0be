#include "formats/detect_format.hpp"

#include <algorithm>
#include <cstddef>
#include <string>

#include <vector>

#include "base/text.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"
#include "formats/read_compact.hpp"
#include "formats/tucson_lines.hpp"

namespace detrend::formats {
namespace {

// How the first lines fit a Tucson file (rule 3 of detectFormat).
struct TucsonFit {
    bool fits = false;
    bool resembles = false;  // a line of a data line's shape after the header lines
    long lastLine = 0;
};

// Tells apart the data lines of a Tucson file and the rows of an integer
// table read as such lines, whose "ids" are years rising by one.
class TucsonEvidence {
public:
    void add(const TucsonLine& line) {
        ++data_;
        marker_ = marker_ || line.lastValue == 999 || line.lastValue == -9999;
        continued_ = continued_ || (havePrevious_ && base::equalsIgnoringCase(previous_.id, line.id) &&
                                    line.year == previous_.year + static_cast<long long>(previous_.valueCount));
        long long id = 0;
        long long previousId = 0;
        risingIds_ = risingIds_ && wholeInteger(line.id, id) &&
                     (!havePrevious_ || (wholeInteger(previous_.id, previousId) && id == previousId + 1));
        previous_ = line;
        havePrevious_ = true;
    }
    // A line between two data lines that is not one.
    void interrupt() { havePrevious_ = false; }
    long data() const { return data_; }
    bool found() const { return data_ > 0 && (marker_ || continued_) && !(risingIds_ && data_ >= 2); }

private:
    long data_ = 0;
    bool marker_ = false, continued_ = false, risingIds_ = true;
    TucsonLine previous_;
    bool havePrevious_ = false;
};

TucsonFit tucsonFit(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    TucsonFit fit;
    TucsonEvidence evidence;
    long nonBlank = 0, faulty = 0;
    while (evidence.data() + faulty < tucsonLinesExamined && lines.next()) {
        const TucsonLine line = classifyTucsonLine(lines.line());
        if (line.kind == TucsonLine::Kind::blank) continue;
        ++nonBlank;
        fit.lastLine = lines.lineNumber();
        if (line.kind == TucsonLine::Kind::data) {
            evidence.add(line);
            continue;
        }
        evidence.interrupt();
        if (line.kind == TucsonLine::Kind::faulty) ++faulty;
        const bool atTop = evidence.data() + faulty == 0 && nonBlank <= 3;
        if (line.kind == TucsonLine::Kind::other && !atTop) return fit;
    }
    fit.resembles = evidence.data() + faulty > 0;
    fit.fits = evidence.found() && faulty <= evidence.data();
    return fit;
}

// Whether the first cell of `line` is a year, quoted or not.
bool startsWithYear(std::string_view line, char separator) {
    std::string_view cell = base::trimmed(line.substr(0, line.find(separator)), csvBlanks(separator));
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
    long long year = 0;
    return csvYear(base::trimmed(cell, " "), year);
}

// The file name's extension in lower case, "" when it has none.
std::string extensionOf(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view name = fileName.substr(slash == std::string_view::npos ? 0 : slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return base::asciiLowered(name.substr(dot + 1));
}

// The local name of the XML document's root element ("tridas" of
// "<t:tridas ...>"); none when `bytes` does not start as XML.
std::optional<std::string_view> xmlRootName(std::string_view bytes) {
    std::size_t pos = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        pos = bytes.find_first_not_of(" \t\r\n", pos);
        if (pos == std::string_view::npos || bytes[pos] != '<') return std::nullopt;
        const std::string_view rest = bytes.substr(pos);
        // The end of what starts at pos: the position of its last character.
        std::size_t end = std::string_view::npos;
        if (rest.starts_with("<?")) {
            end = rest.find("?>");
            if (end != std::string_view::npos) ++end;
        } else if (rest.starts_with("<!--")) {
            end = rest.find("-->");
            if (end != std::string_view::npos) end += 2;
        } else if (rest.starts_with("<!")) {
            // A document type declaration, its internal subset in brackets.
            const std::size_t open = rest.find_first_of("[>");
            end = open != std::string_view::npos && rest[open] == '[' ? rest.find(']', open) : open;
            if (end != std::string_view::npos) end = rest.find('>', end);
        } else {
            const std::size_t nameEnd = std::min(rest.find_first_of(" \t\r\n/>"), rest.size());
            const std::string_view name = rest.substr(1, nameEnd - 1);
            return name.substr(name.find(':') == std::string_view::npos ? 0 : name.find(':') + 1);
        }
        if (end == std::string_view::npos) return std::nullopt;
        pos += end + 1;
    }
}

// How the first lines fit a Heidelberg and a compact file.
struct StructuredFit {
    bool heidelberg = false;  // the first line is HEADER:
    bool heidelbergLike = false;  // a HEADER: or DATA: line
    bool compact = false;
    long lastLine = 0;
};

StructuredFit structuredFit(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    StructuredFit fit;
    bool first = true, tilde = false;
    while (lines.lineNumber() < structuredLinesExamined && lines.next()) {
        const std::string_view text = base::trimmed(lines.line());
        if (text.empty()) continue;
        fit.lastLine = lines.lineNumber();
        const bool header = base::equalsIgnoringCase(text, "HEADER:");
        fit.heidelberg = fit.heidelberg || (first && header);
        fit.heidelbergLike = fit.heidelbergLike || header || base::equalsIgnoringCase(text.substr(0, 5), "DATA:");
        if (!tilde && text.find('~') != std::string_view::npos) {
            tilde = true;
            fit.compact = compactHeader(text).ok();
        }
        first = false;
    }
    return fit;
}

}  // namespace

std::optional<InputFormat> structuredFormat(std::string_view bytes, std::string_view extension, long& lastLine) {
    lastLine = 0;
    if (const std::optional<std::string_view> root = xmlRootName(bytes)) {
        lastLine = 1;
        if (*root == "tridas" || extension == "xml") return InputFormat::tridas;
    }
    const StructuredFit fit = structuredFit(bytes);
    lastLine = std::max(lastLine, fit.lastLine);
    if (fit.heidelberg || (extension == "fh" && fit.heidelbergLike)) return InputFormat::heidelberg;
    if (fit.compact) return InputFormat::compact;
    return std::nullopt;
}

TucsonLine classifyTucsonLine(std::string_view line) {
    TucsonLine out;
    if (isBlankLine(line) || tucson::isComment(line) || tucson::isStrayLine(line)) return out;
    if (tucson::archiveNumber(line) != 0) {
        out.kind = TucsonLine::Kind::header;
        return out;
    }
    tucson::DataLine data, scratch;
    const std::size_t glued = tucson::gluedAt(line);
    const tucson::Reading reading =
        tucson::readRecord(line.substr(0, std::min(glued, line.size())), 0, data, scratch).reading;
    out.kind = reading == tucson::Reading::data     ? TucsonLine::Kind::data
               : tucson::headerNumber(line) != 0    ? TucsonLine::Kind::header
               : reading == tucson::Reading::faulty ? TucsonLine::Kind::faulty
                                                    : TucsonLine::Kind::other;
    if (reading == tucson::Reading::data)
        out = {out.kind, data.id, data.year, data.values.size(), data.values.back().raw};
    return out;
}

std::size_t separatorCount(std::string_view line, char separator) {
    std::size_t count = 0;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') inQuotes = !inQuotes;
        if (c == separator && !inQuotes) ++count;
    }
    return count;
}

bool csvYear(std::string_view text, long long& year) {
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos) {
        if (text.substr(point + 1).find_first_not_of('0') != std::string_view::npos) return false;
        text = text.substr(0, point);
    }
    return wholeInteger(text, year);
}

CsvFit csvFit(std::string_view bytes) {
    LineReader lines(bytes, "the file", LineRules::batch(false));
    std::string header;
    std::vector<std::string> rows;
    bool haveHeader = false;
    CsvFit fit;
    while (rows.size() < static_cast<std::size_t>(csvRowsExamined) && lines.next()) {
        if (isBlankLine(lines.line())) continue;
        (haveHeader ? rows.emplace_back(lines.line()) : header.assign(lines.line()));
        haveHeader = true;
        fit.lastLine = lines.lineNumber();
    }
    for (char separator : {'\t', ';', ','}) {
        const bool inHeader = separatorCount(header, separator) > 0;
        fit.inHeader = fit.inHeader || inHeader;
        const auto csvRow = [&](const std::string& row) {
            return separatorCount(row, separator) > 0 && startsWithYear(row, separator);
        };
        fit.yearRow = fit.yearRow || (inHeader && (rows.empty() || std::any_of(rows.begin(), rows.end(), csvRow)));
    }
    CsvFit loose;
    for (char separator : {'\t', ';', ','}) {
        const std::size_t inHeader = separatorCount(header, separator);
        const std::size_t inFirstRow = rows.empty() ? 0 : separatorCount(rows.front(), separator);
        bool same = !rows.empty() && inFirstRow >= 1 && (inHeader == inFirstRow || inHeader + 1 == inFirstRow);
        bool holds = haveHeader && inHeader >= 1;
        for (const std::string& row : rows) {
            const std::size_t count = separatorCount(row, separator);
            const bool year = startsWithYear(row, separator);
            same = same && count == inFirstRow && year;
            holds = holds && count >= 1 && year;
        }
        if (same) {
            loose = {separator, true, fit.inHeader, fit.yearRow, fit.lastLine};
            break;
        }
        if (holds && loose.separator == '\0') loose = {separator, false, true, fit.yearRow, fit.lastLine};
    }
    if (loose.separator == '\0') return fit;
    const std::size_t inHeader = separatorCount(header, loose.separator);
    for (const std::string& row : rows) {
        const std::size_t count = separatorCount(row, loose.separator);
        loose.rowsOneMore += count == inHeader + 1 ? 1 : 0;
        loose.rowsAsHeader += count == inHeader ? 1 : 0;
    }
    return loose;
}

Detection detectFormat(std::string_view bytes, std::string_view fileName) {
    const std::string extension = extensionOf(fileName);
    Detection detection;
    if (extension == "crn") {
        detection.chronology = true;
        return detection;
    }
    if (const std::optional<InputFormat> structured = structuredFormat(bytes, extension, detection.lastLine)) {
        detection.format = *structured;
        return detection;
    }
    const bool tucsonName = extension == "rwl" || extension == "raw" || extension == "tuc";
    const bool csvName = extension == "csv";
    const TucsonFit tucson = tucsonFit(bytes);
    const CsvFit csv = csvFit(bytes);
    detection.lastLine = std::max(tucson.lastLine, csv.lastLine);
    if (tucson.fits && csv.consistent) {
        detection.format = csvName ? InputFormat::csv : InputFormat::tucson;
    } else if (tucson.fits) {
        detection.format = InputFormat::tucson;
    } else if (csv.consistent) {
        detection.format = InputFormat::csv;
    } else if (tucsonName && tucson.resembles) {
        detection.format = InputFormat::tucson;
    } else if ((csvName && csv.yearRow) || csv.separator != '\0') {
        detection.format = InputFormat::csv;
    } else if (csvName && tucson.resembles) {
        detection.format = InputFormat::tucson;
    }
    return detection;
}

std::string_view formatName(InputFormat format) {
    switch (format) {
        case InputFormat::table: return "a free-layout table";
        case InputFormat::tucson: return "a Tucson file";
        case InputFormat::csv: return "CSV";
        case InputFormat::heidelberg: return "a Heidelberg file";
        case InputFormat::compact: return "a compact file";
        case InputFormat::tridas: return "a TRiDaS file";
    }
    return "a free-layout table";
}

}  // namespace detrend::formats
