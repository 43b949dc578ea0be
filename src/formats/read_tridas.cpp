#include "formats/read_tridas.hpp"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/lines.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

std::string_view textOf(const xmlChar* text) {
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

// The 1-based column of `needle` in line `line` of `bytes`; 1 when it is
// not found there.
long columnIn(std::string_view bytes, long line, std::string_view needle) {
    std::size_t start = 0;
    for (long n = 1; n < line && start != std::string_view::npos; ++n) {
        start = bytes.find('\n', start);
        if (start != std::string_view::npos) ++start;
    }
    if (start == std::string_view::npos) return 1;
    const std::string_view text = bytes.substr(start, bytes.find('\n', start) - start);
    const std::size_t at = needle.empty() ? std::string_view::npos : text.find(needle);
    return at == std::string_view::npos ? 1 : columnOf(at);
}

// A unit as a fraction of a millimetre.
struct Unit {
    double numerator = 1, denominator = 1;
    bool known = true;
};

std::optional<Unit> unitNamed(std::string_view name) {
    std::string text;
    for (char c : name)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') text += base::asciiLower(c);
    for (const char* ending : {"millimetres", "millimeters", "millimetre", "millimeter", "mm"})
        if (text.ends_with(ending) && text.size() > std::strlen(ending) && text.starts_with("1/")) {
            std::string digits = text.substr(2, text.size() - 2 - std::strlen(ending));
            if (digits.ends_with("th")) digits.resize(digits.size() - 2);
            long long d = 0;
            if (wholeInteger(digits, d) && d >= 1 && d <= 1000000) return Unit{1, static_cast<double>(d)};
            return std::nullopt;
        }
    struct Named {
        std::initializer_list<const char*> names;
        Unit unit;
    };
    const Named named[] = {
        {{"micrometres", "micrometers", "micrometre", "micrometer", "microns", "\xC2\xB5m", "um"}, {1, 1000}},
        {{"millimetres", "millimeters", "millimetre", "millimeter", "mm"}, {1, 1}},
        {{"centimetres", "centimeters", "centimetre", "centimeter", "cm"}, {10, 1}},
        {{"metres", "meters", "metre", "meter", "m"}, {1000, 1}},
    };
    for (const Named& n : named)
        for (const char* spelling : n.names)
            if (text == spelling) return n.unit;
    return std::nullopt;
}

// The parser's complaint, at a place that exists in `bytes`: libxml2 may
// name the line after the last, or a column past a line's end.
base::Diagnostic parseFailure(xmlParserCtxt* context, std::string_view bytes) {
    const xmlError* error = xmlCtxtGetLastError(context);
    if (error == nullptr || error->message == nullptr) return base::failure("the file is not well-formed XML");
    const std::string what = "not well-formed XML: " + std::string(base::trimmed(error->message, " \n"));
    LineReader lines(bytes, "the file", LineRules::batch(false));
    long line = 0, column = 0;
    while (line < error->line && lines.next()) {
        line = lines.lineNumber();
        column = std::clamp(static_cast<long>(error->int2), 1L, static_cast<long>(lines.line().size()) + 1);
    }
    return base::failure(what, line, column);
}

base::Result<Unit> unitOf(std::string_view said, long line, std::string_view bytes) {
    if (const std::optional<Unit> known = unitNamed(said)) return *known;
    return base::failure("unknown unit " + base::quoted(said) +
                             ": expected micrometres, 1/100th (1/50th, 1/20th, 1/10th) millimetres, millimetres, "
                             "centimetres or metres",
                         line, columnIn(bytes, line, said));
}

// The astronomical year of a <firstYear> with its suffix, at `line`.
base::Result<long long> firstYearOf(const std::string& text, const std::string& suffix, long line,
                                    std::string_view bytes) {
    long long year = 0;
    if (!wholeInteger(text, year))
        return base::failure("expected a whole year in <firstYear>, found " + base::quoted(text), line,
                             columnIn(bytes, line, "firstYear"));
    if (year < -2 * yearLimit || year > 2 * yearLimit) return base::failure(yearOutOfRange(year), line, 1);
    const std::string era = base::asciiLowered(suffix);
    if ((era == "ad" || era == "bc") && year <= 0)
        return base::failure("year " + text + " " + suffix + " does not exist: AD and BC count from 1", line,
                             columnIn(bytes, line, "firstYear"));
    if (era == "bc") {
        year = 1 - year;
    } else if (era == "bp") {
        year = 1950 - year;
    } else if (era != "ad") {
        return base::failure("unknown year suffix " + base::quoted(suffix) + ": expected AD, BC or BP", line,
                             columnIn(bytes, line, suffix));
    }
    if (year < -yearLimit || year > yearLimit) return base::failure(yearOutOfRange(year), line, 1);
    return year;
}

// The value of attribute `name` of a start tag as SAX2 hands its
// attributes over: (localname, prefix, URI, value, end) for each.
std::optional<std::string_view> attributeOf(int count, const xmlChar** attributes, std::string_view name) {
    for (int i = 0; i < count; ++i) {
        const xmlChar** a = attributes + 5 * i;
        if (textOf(a[0]) == name)
            return std::string_view(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3]));
    }
    return std::nullopt;
}

std::optional<std::string_view> firstAttribute(int count, const xmlChar** attributes,
                                               std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (const auto value = attributeOf(count, attributes, name); value && !value->empty()) return value;
    return std::nullopt;
}

// A <values> group of a series.
struct Group {
    std::vector<double> raw, depths;  // NaN: missing
    bool counts = false;  // a value had a count
    bool unitGiven = false, unitless = false;
    std::string unitSaid, variable;
    long unitLine = 0;
};

// A series while it is read.
struct OpenSeries {
    std::size_t depth = 0;  // of its element
    long line = 0;
    std::string title, identifier;
    std::optional<long long> firstYear;
    std::vector<Group> groups;
};

// An <object>, <element>, <sample> or <radius> around the series.
struct Entity {
    std::size_t depth = 0;
    std::string_view kind;
    std::string title, identifier;
    std::string id() const { return identifier.empty() ? title : identifier; }
};

// The text of the element being read goes to:
enum class Capture { none, seriesTitle, seriesIdentifier, entityTitle, entityIdentifier, firstYear, unit, variable };

// Reads a TRiDaS document from libxml2's SAX2 events, without building a
// tree of it.
class SaxReader {
public:
    SaxReader(std::string_view bytes, xmlParserCtxt* context, SeriesSet& set)
        : bytes_(bytes), context_(context), set_(set) {}

    void start(std::string_view name, int count, const xmlChar** attributes);
    void end();
    void text(std::string_view text) {
        if (capture_ != Capture::none) captured_ += text;
    }
    // Entities are not read: the document is refused at once.
    void entityDeclared() {
        entities_ = true;
        xmlStopParser(context_);
    }
    void addNotes() const;

    std::optional<base::Diagnostic> failure;
    bool entities() const { return entities_; }

private:
    long line() const { return std::max(0, xmlSAX2GetLineNumber(context_)); }
    void fail(base::Diagnostic diagnostic) {
        if (!failure) failure = std::move(diagnostic);
        xmlStopParser(context_);
    }
    void startInSeries(std::string_view name, std::string_view parent, int count, const xmlChar** attributes);
    void readValue(Group& group, int count, const xmlChar** attributes);
    void endCapture();
    void endGroup(Group& group);
    void endSeries();
    base::Status numberOf(std::string_view text, double& number) const;

    std::string_view bytes_;
    xmlParserCtxt* context_;
    SeriesSet& set_;
    std::vector<std::string_view> stack_;  // the open elements' names (libxml2's dictionary holds them)
    std::vector<Entity> around_;
    std::optional<OpenSeries> series_;
    Capture capture_ = Capture::none;
    std::string captured_, suffix_;
    bool entities_ = false;
    std::size_t undated_ = 0, withoutUnit_ = 0;
};

void SaxReader::start(std::string_view name, int count, const xmlChar** attributes) {
    if (failure) return;
    if (stack_.empty() && name != "tridas")
        return fail(base::failure("the root element is <" + std::string(name) + ">, not <tridas>: not a TRiDaS file",
                                  line(), 1));
    const std::string_view parent = stack_.empty() ? std::string_view() : stack_.back();
    stack_.push_back(name);
    capture_ = Capture::none;
    captured_.clear();
    if (series_) return startInSeries(name, parent, count, attributes);
    if (name == "measurementSeries" || name == "derivedSeries") {
        series_.emplace();
        series_->depth = stack_.size();
        series_->line = line();
    } else if (name == "object" || name == "element" || name == "sample" || name == "radius") {
        around_.push_back({stack_.size(), name, {}, {}});
    } else if (!around_.empty() && around_.back().depth + 1 == stack_.size()) {
        if (name == "title") capture_ = Capture::entityTitle;
        if (name == "identifier") capture_ = Capture::entityIdentifier;
    }
}

void SaxReader::startInSeries(std::string_view name, std::string_view parent, int count, const xmlChar** attributes) {
    const std::size_t below = stack_.size() - series_->depth;  // 1: a child of the series
    if (below == 1) {
        if (name == "title") capture_ = Capture::seriesTitle;
        if (name == "identifier") capture_ = Capture::seriesIdentifier;
        if (name == "values") series_->groups.emplace_back();
        return;
    }
    if (below == 2 && parent == "interpretation" && name == "firstYear") {
        capture_ = Capture::firstYear;
        suffix_ = std::string(attributeOf(count, attributes, "suffix").value_or("AD"));
        return;
    }
    if (below != 2 || parent != "values") return;
    Group& group = series_->groups.back();
    if (name == "unitless") {
        group.unitless = true;
    } else if (name == "unit") {
        group.unitGiven = true;
        group.unitLine = line();
        const auto said = firstAttribute(count, attributes, {"normalTridas", "normal", "normalStd"});
        if (said) group.unitSaid = std::string(*said);
        if (!said) capture_ = Capture::unit;
    } else if (name == "variable") {
        const auto said = firstAttribute(count, attributes, {"normalTridas", "normal"});
        if (said) group.variable = std::string(*said);
        if (!said) capture_ = Capture::variable;
    } else if (name == "value") {
        readValue(group, count, attributes);
    }
}

// A number of an attribute; NaN when empty or negative (missing).
base::Status SaxReader::numberOf(std::string_view text, double& number) const {
    const std::string_view trimmed = base::trimmed(text, " \t\r\n");
    number = missing;
    if (trimmed.empty()) return {};
    const char* const last = trimmed.data() + trimmed.size();
    if (!parseCsvNumber(trimmed.data(), last, number, false).endsAt(last))
        return base::failure("expected a number in <value>, found " + base::quoted(trimmed), line(),
                             columnIn(bytes_, line(), trimmed));
    if (std::abs(number) > 1e200)
        return base::failure("the value " + std::string(trimmed) + " is too large", line(),
                             columnIn(bytes_, line(), trimmed));
    if (number < 0) number = missing;
    return {};
}

void SaxReader::readValue(Group& group, int count, const xmlChar** attributes) {
    double value = missing, depth = missing;
    if (base::Status read = numberOf(attributeOf(count, attributes, "value").value_or(""), value); !read)
        return fail(read.error());
    const std::optional<std::string_view> samples = attributeOf(count, attributes, "count");
    if (samples)
        if (base::Status read = numberOf(*samples, depth); !read) return fail(read.error());
    group.counts = group.counts || samples.has_value();
    group.raw.push_back(value);
    group.depths.push_back(depth);
}

void SaxReader::end() {
    if (failure || stack_.empty()) return;
    if (capture_ != Capture::none) endCapture();
    const std::size_t depth = stack_.size();
    if (series_ && depth == series_->depth) {
        endSeries();
    } else if (series_ && depth == series_->depth + 1 && stack_.back() == "values") {
        endGroup(series_->groups.back());
    }
    if (!around_.empty() && around_.back().depth == depth) around_.pop_back();
    stack_.pop_back();
}

void SaxReader::endCapture() {
    std::string text(base::trimmed(captured_, " \t\r\n"));
    switch (capture_) {
        case Capture::none: break;
        case Capture::seriesTitle: series_->title = std::move(text); break;
        case Capture::seriesIdentifier: series_->identifier = std::move(text); break;
        case Capture::entityTitle: around_.back().title = std::move(text); break;
        case Capture::entityIdentifier: around_.back().identifier = std::move(text); break;
        case Capture::unit: series_->groups.back().unitSaid = std::move(text); break;
        case Capture::variable: series_->groups.back().variable = std::move(text); break;
        case Capture::firstYear: {
            const base::Result<long long> year = firstYearOf(text, suffix_, line(), bytes_);
            if (!year.ok()) return fail(year.error());
            series_->firstYear = *year;
            break;
        }
    }
    capture_ = Capture::none;
    captured_.clear();
}

// The group's values in millimetres, once its unit is known.
void SaxReader::endGroup(Group& group) {
    Unit unit{1, 1, group.unitless};
    if (group.unitGiven && !group.unitless) {
        const base::Result<Unit> said = unitOf(group.unitSaid, group.unitLine, bytes_);
        if (!said.ok()) return fail(said.error());
        unit = *said;
    }
    if (!unit.known) ++withoutUnit_;
    for (double& value : group.raw)
        if (!std::isnan(value)) value = value * unit.numerator / unit.denominator;
    if (!group.counts) group.depths.clear();
}

void SaxReader::endSeries() {
    OpenSeries& open = *series_;
    std::string name = !open.title.empty() ? open.title : open.identifier;
    if (name.empty()) name = "series " + std::to_string(set_.series.size() + 1);
    if (!open.firstYear) ++undated_;
    Series base{name, open.firstYear.value_or(1), {}, {}};
    for (const Entity& entity : around_) {
        std::string* id = entity.kind == "object"    ? &base.site
                          : entity.kind == "element" ? &base.tree
                          : entity.kind == "sample"  ? &base.core
                                                     : nullptr;
        if (id != nullptr) *id = entity.id();
        if (entity.kind == "radius") base.core += (base.core.empty() ? "" : "/") + entity.id();
    }
    if (open.groups.empty()) {
        base.problem = "it has no values";
        set_.series.push_back(std::move(base));
    }
    for (Group& group : open.groups) {
        Series s = base;
        if (open.groups.size() > 1) s.name += " (" + (group.variable.empty() ? "values" : group.variable) + ")";
        s.values = std::move(group.raw);
        s.depths = std::move(group.depths);
        const long long last = s.firstYear + static_cast<long long>(s.values.size()) - 1;
        if (last > yearLimit) return fail(base::failure(yearOutOfRange(last), open.line, 1));
        cutToValues(s);
        set_.series.push_back(std::move(s));
    }
    series_.reset();
}

void SaxReader::addNotes() const {
    const auto count = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " series has" : " series have"); };
    if (undated_ > 0) set_.warnings.push_back(count(undated_) + " no <firstYear>; their years are counted from 1");
    if (withoutUnit_ > 0)
        set_.warnings.push_back(count(withoutUnit_) + " no <unit>; their values are read as they are");
}

SaxReader& readerOf(void* context) { return *static_cast<SaxReader*>(static_cast<xmlParserCtxt*>(context)->_private); }

void onStart(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int, const xmlChar**, int count, int,
             const xmlChar** attributes) {
    readerOf(context).start(textOf(name), count, attributes);
}
void onEnd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) { readerOf(context).end(); }
void onText(void* context, const xmlChar* text, int length) {
    readerOf(context).text(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
}
void onEntity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    readerOf(context).entityDeclared();
}
void onError(void*, xmlErrorPtr) {}  // kept in the context, reported once the parse ends

struct ContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// Where the first entity declaration is, for the refusal.
base::Diagnostic entitiesRefused(std::string_view bytes) {
    const std::size_t at = std::min(bytes.find("<!ENTITY"), bytes.size());
    const std::string_view before = bytes.substr(0, at);
    const std::size_t lineStart = before.rfind('\n') + 1;  // 0 when there is none
    return base::failure("the file declares entities (<!ENTITY>), which TRiDaS does not use; it is not read",
                         1 + static_cast<long>(std::count(before.begin(), before.end(), '\n')),
                         columnOf(at - lineStart));
}

}  // namespace

base::Result<SeriesSet> readTridas(std::string_view bytes) {
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return base::failure("the file is empty: no TRiDaS document");
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return base::failure("the file is larger than the XML parser reads (2 GiB)");
    const std::unique_ptr<xmlParserCtxt, ContextFree> context(
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
    if (context == nullptr) throw std::bad_alloc();
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = onStart;
    handler.endElementNs = onEnd;
    handler.characters = onText;
    handler.cdataBlock = onText;
    handler.entityDecl = onEntity;
    handler.serror = onError;
    SeriesSet set;
    SaxReader reader(bytes, context.get(), set);
    xmlSAXHandler* const own = context->sax;
    context->sax = &handler;
    context->_private = &reader;
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES);
    xmlParseDocument(context.get());
    context->sax = own;
    // The parser makes a document of its own to hold entity declarations
    // (for expat compatibility), which the context does not free.
    if (context->myDoc != nullptr) {
        xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
    }
    if (reader.entities()) return entitiesRefused(bytes);
    if (reader.failure) return *reader.failure;
    if (!context->wellFormed) return parseFailure(context.get(), bytes);
    reader.addNotes();
    return set;
}

}  // namespace detrend::formats
