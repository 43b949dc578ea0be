#include "output/write_tucson.hpp"

#include <algorithm>
#include <set>

#include "base/text.hpp"
#include "output/fixed_columns.hpp"

namespace detrend::output {
namespace {

constexpr std::size_t idColumns = 8, cutTo = 6;
constexpr long long firstWritableYear = -999, lastWritableYear = 9999;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether `id` reads back from columns 1-8 as written: 1-8 bytes without
// outer blanks, and when eight, not ending in '-' (read as the sign of a
// year) nor in a blank and a digit (read as a year's first digit).
bool readsBack(std::string_view id) {
    if (id.empty() || id.size() > idColumns || id.front() == ' ' || id.back() == ' ') return false;
    return id.size() < idColumns || (id[7] != '-' && !(id[6] == ' ' && isDigit(id[7])));
}

// The first `bytes` bytes of `text`, not splitting a UTF-8 character, outer
// blanks dropped.
std::string cut(std::string_view text, std::size_t bytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + std::max<std::size_t>(base::utf8SequenceLength(text, end), 1);
        if (next > bytes) break;
        end = next;
    }
    return std::string(base::trimmed(text.substr(0, end), " "));
}

// The id of the first bytes of `cleaned` and the first counter that no
// series holds.
std::string countedId(const std::string& cleaned, const std::set<std::string>& taken) {
    const std::string name = cleaned.empty() ? std::string("series") : cleaned;
    for (std::size_t digits = 2; digits <= idColumns; ++digits) {
        const std::string prefix = cut(name, idColumns - digits);
        long long most = 1;
        for (std::size_t d = 0; d < digits; ++d) most *= 10;
        for (long long k = 1; k < most; ++k) {
            std::string counter = std::to_string(k);
            counter.insert(0, digits - counter.size(), '0');
            if (std::string id = prefix + counter; !taken.contains(id)) return id;
        }
    }
    return {};  // unreachable: fewer series than ids of eight digits
}

}  // namespace

std::vector<std::string> tucsonIds(const std::vector<formats::Series>& series, std::vector<std::string>& notes) {
    std::vector<std::string> ids(series.size()), cleaned(series.size());
    std::set<std::string> taken;
    for (std::size_t i = 0; i < series.size(); ++i) {
        cleaned[i] = std::string(base::trimmed(withoutControls(series[i].name), " "));
        if (readsBack(cleaned[i]) && taken.insert(cleaned[i]).second) ids[i] = cleaned[i];
    }
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (ids[i].empty()) {
            ids[i] = countedId(cleaned[i], taken);
            taken.insert(ids[i]);
        }
        if (ids[i] != series[i].name)
            notes.push_back("series " + base::quoted(series[i].name) + " is written with the id " +
                            base::quoted(ids[i]));
    }
    return ids;
}

namespace {

// The last year of the decade of `year`: decades run from a year ending in
// 0 to one ending in 9, also before year 0.
long long decadeEnd(long long year) { return year - ((year % 10) + 10) % 10 + 9; }

// Appends an integer right-aligned in `width` columns.
void appendField(std::string& text, long long value, int width) {
    char field[20];
    formatInteger(field, width, value);
    text.append(field, static_cast<std::size_t>(width));
}

// The data lines of one series: its values, then the stop marker.
void appendSeries(std::string& text, const std::string& id, const RingWidths& widths) {
    const std::vector<long long>& units = widths.units;
    const std::size_t items = units.size() + 1;
    long long year = widths.firstYear;
    for (std::size_t i = 0; i < items;) {
        text += id;
        text.append(idColumns - id.size(), ' ');
        appendField(text, year, 4);
        const long long end = decadeEnd(year);
        for (; i < items && year <= end; ++i, ++year)
            appendField(text, i < units.size() ? units[i] : widths.thousandths ? -9999 : 999, 6);
        text += '\n';
    }
}

// Why the years `first` to `last` of a series cannot be written; "" when
// they can. A series ending in 9999 ends a decade: its stop marker would
// need a line of the year 10000.
std::string yearRefusal(const formats::Series& series, long long first, long long last) {
    const std::string where = "series " + base::quoted(series.name) + ", year ";
    const std::string columns = " does not fit the four columns of a Tucson year (-999 to 9999)";
    if (first < firstWritableYear) return where + std::to_string(first) + columns;
    if (last > lastWritableYear) return where + std::to_string(last) + columns;
    if (last == lastWritableYear) return where + "9999: the stop marker after it would need the year 10000";
    return {};
}

bool hasBlankOrControl(std::string_view text) { return holdsControl(text) || text.find(' ') != std::string_view::npos; }

// Whether every word of `text` is an integer or ".": a line of the header's
// shape holding them is read as a data line.
bool integersAlone(std::string_view text) {
    bool any = false;
    for (std::size_t pos = text.find_first_not_of(' '); pos != std::string_view::npos;
         pos = text.find_first_not_of(' ', pos)) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        std::string_view word = text.substr(pos, end - pos);
        if (word != ".") {
            if (word.front() == '-' || word.front() == '+') word.remove_prefix(1);
            if (word.empty() || !std::all_of(word.begin(), word.end(), isDigit)) return false;
        }
        any = true;
        pos = end;
    }
    return any;
}

base::Status checkHeader(const TucsonHeader& header) {
    if (header.siteCode.empty()) {
        if (header.siteName.empty() && header.speciesCode.empty()) return base::Status::success();
        return base::Status::failure("a Tucson header needs a site code");
    }
    if (header.siteCode.size() > cutTo || hasBlankOrControl(header.siteCode))
        return base::Status::failure("the site code " + base::quoted(header.siteCode) +
                                     " is not 1-6 characters without blanks");
    if (header.siteName.size() > 52 || holdsControl(header.siteName))
        return base::Status::failure("the site name " + base::quoted(header.siteName) +
                                     " does not fit columns 10-61 or holds a control character");
    if (header.speciesCode.size() > 4 || hasBlankOrControl(header.speciesCode))
        return base::Status::failure("the species code " + base::quoted(header.speciesCode) +
                                     " is not at most 4 characters without blanks");
    if (integersAlone(header.siteName + " " + header.speciesCode))
        return base::Status::failure("a site name and species code of numbers alone would read as a data line");
    return base::Status::success();
}

void appendHeader(std::string& text, const TucsonHeader& header) {
    for (char number : {'1', '2', '3'}) {
        std::string line = header.siteCode;
        line.resize(7, ' ');
        line += number;
        if (number == '1') {
            line += ' ';
            line += header.siteName;
            if (!header.speciesCode.empty()) {
                line.resize(61, ' ');
                line += header.speciesCode;
            }
        }
        text += base::withoutTrailingBlanks(line);
        text += '\n';
    }
}

}  // namespace

base::Result<WrittenText> tucsonText(const std::vector<formats::Series>& series, const TucsonHeader& header) {
    if (base::Status fits = checkHeader(header); !fits.ok()) return fits.error();
    WrittenText written;
    std::vector<formats::Series> kept;  // the series with values, their values left out
    std::vector<RingWidths> widths;
    for (const formats::Series& s : series) {
        base::Result<RingWidths> w = ringWidths(s);
        if (!w.ok()) return w.error();
        if (w->units.empty()) {
            written.notes.push_back(leftOutNote(s));
            continue;
        }
        const long long last = w->firstYear + static_cast<long long>(w->units.size()) - 1;
        if (std::string why = yearRefusal(s, w->firstYear, last); !why.empty()) return base::failure(std::move(why));
        if (std::string note = roundingNote(s, *w); !note.empty()) written.notes.push_back(std::move(note));
        kept.push_back({s.name, s.firstYear, {}, {}});
        widths.push_back(std::move(w).value());
    }
    const std::vector<std::string> ids = tucsonIds(kept, written.notes);
    if (!header.siteCode.empty()) appendHeader(written.text, header);
    for (std::size_t i = 0; i < kept.size(); ++i) appendSeries(written.text, ids[i], widths[i]);
    return written;
}

}  // namespace detrend::output
