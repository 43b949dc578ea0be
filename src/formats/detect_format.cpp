#include "formats/detect_format.hpp"

#include <algorithm>
#include <cstddef>
#include <string>

#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::formats {
namespace {

// How the first lines fit a Tucson file (rule 3 of detectFormat).
struct TucsonFit {
    bool fits = false;
    bool resembles = false;  // a line of a data line's shape after the header lines
    long lastLine = 0;
};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// Tells apart the data lines of a Tucson file and the rows of an integer
// table read as such lines, whose "ids" are years rising by one.
class TucsonEvidence {
public:
    void add(const TucsonLine& line) {
        ++data_;
        marker_ = marker_ || line.lastValue == 999 || line.lastValue == -9999;
        continued_ = continued_ || (havePrevious_ && sameIgnoringCase(previous_.id, line.id) &&
                                    line.year == previous_.year + static_cast<long long>(previous_.valueCount));
        long long id = 0;
        long long previousId = 0;
        risingIds_ = risingIds_ && parseInteger(line.id, id) &&
                     (!havePrevious_ || (parseInteger(previous_.id, previousId) && id == previousId + 1));
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

// The file name's extension in lower case, "" when it has none.
std::string extensionOf(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view base = fileName.substr(slash == std::string_view::npos ? 0 : slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string extension(base.substr(dot + 1));
    for (char& c : extension) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return extension;
}

}  // namespace

Detection detectFormat(std::string_view bytes, std::string_view fileName) {
    const std::string extension = extensionOf(fileName);
    Detection detection;
    if (extension == "crn") {
        detection.chronology = true;
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
    } else if ((csvName && csv.inHeader) || csv.separator != '\0') {
        detection.format = InputFormat::csv;
    }
    return detection;
}

std::string_view formatName(InputFormat format) {
    switch (format) {
        case InputFormat::table: return "a free-layout table";
        case InputFormat::tucson: return "a Tucson file";
        case InputFormat::csv: return "CSV";
    }
    return "a free-layout table";
}

}  // namespace detrend::formats
