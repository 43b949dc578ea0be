#include "formats/read_tridas.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "formats/fields.hpp"
#include "formats/numbers.hpp"

namespace detrend::formats {
namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

struct DocumentFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using Document = std::unique_ptr<xmlDoc, DocumentFree>;

std::string_view nameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool isElement(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && nameOf(node) == name;
}

const xmlNode* child(const xmlNode* node, std::string_view name) {
    for (const xmlNode* c = node->children; c != nullptr; c = c->next)
        if (isElement(c, name)) return c;
    return nullptr;
}

// The text directly inside `node`, blanks around it dropped; entity
// references are left out, never expanded.
std::string textOf(const xmlNode* node) {
    std::string text;
    if (node == nullptr) return text;
    for (const xmlNode* c = node->children; c != nullptr; c = c->next)
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content != nullptr)
            text += reinterpret_cast<const char*>(c->content);
    return std::string(base::trimmed(text, " \t\r\n"));
}

// The value of attribute `name` (any namespace); none when absent. Only its
// text, entity references left out.
std::optional<std::string_view> attributeOf(const xmlNode* node, std::string_view name) {
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (reinterpret_cast<const char*>(a->name) != name) continue;
        const xmlNode* text = a->children;
        if (text == nullptr || text->type != XML_TEXT_NODE || text->content == nullptr) return std::string_view();
        return std::string_view(reinterpret_cast<const char*>(text->content));
    }
    return std::nullopt;
}

long lineOf(const xmlNode* node) { return std::max(0L, xmlGetLineNo(node)); }

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

// The unit of a <values> group.
base::Result<Unit> unitOf(const xmlNode* values, std::string_view bytes) {
    if (child(values, "unitless") != nullptr) return Unit{};
    const xmlNode* unit = child(values, "unit");
    if (unit == nullptr) return Unit{1, 1, false};
    std::string said;
    for (const char* attribute : {"normalTridas", "normal", "normalStd"})
        if (const auto value = attributeOf(unit, attribute); value && !value->empty()) {
            said = std::string(*value);
            break;
        }
    if (said.empty()) said = textOf(unit);
    if (const std::optional<Unit> known = unitNamed(said)) return *known;
    return base::failure("unknown unit " + base::quoted(said) +
                             ": expected micrometres, 1/100th (1/50th, 1/20th, 1/10th) millimetres, millimetres, "
                             "centimetres or metres",
                         lineOf(unit), columnIn(bytes, lineOf(unit), said));
}

// The astronomical year of a <firstYear>.
base::Result<long long> firstYearOf(const xmlNode* first, std::string_view bytes) {
    const std::string text = textOf(first);
    const std::string suffix = std::string(attributeOf(first, "suffix").value_or("AD"));
    long long year = 0;
    const long line = lineOf(first);
    if (!wholeInteger(text, year))
        return base::failure("expected a whole year in <firstYear>, found " + base::quoted(text), line,
                             columnIn(bytes, line, "firstYear"));
    const std::string era = base::asciiLowered(suffix);
    if ((era == "ad" || era == "bc") && year <= 0)
        return base::failure("year " + text + " " + suffix + " does not exist: AD and BC count from 1", line,
                             columnIn(bytes, line, "firstYear"));
    if (era == "bc")
        year = 1 - year;
    else if (era == "bp")
        year = 1950 - year;
    else if (era != "ad")
        return base::failure("unknown year suffix " + base::quoted(suffix) + ": expected AD, BC or BP", line,
                             columnIn(bytes, line, suffix));
    if (year < -yearLimit || year > yearLimit) return base::failure(yearOutOfRange(year), line, 1);
    return year;
}

// The id of an <object>, <element>, <sample> or <radius>.
std::string idOf(const xmlNode* node) {
    std::string id = textOf(child(node, "identifier"));
    return id.empty() ? textOf(child(node, "title")) : id;
}

// Where a series lies: the ids of the entities around it.
struct Where {
    std::string site, tree, sample, radius;
};

// Cuts `series` (and its depths) to its first to last present value.
void cutToValues(Series& series) {
    const ValueSpan span = presentSpan(series.values, [](double v) { return !std::isnan(v); });
    if (span.empty()) {
        series.values.clear();
        series.depths.clear();
        series.problem = "it has no values";
        return;
    }
    series.firstYear += static_cast<long long>(span.first);
    for (std::vector<double>* v : {&series.values, &series.depths}) {
        if (v->empty()) continue;
        v->erase(v->begin() + static_cast<std::ptrdiff_t>(span.end), v->end());
        v->erase(v->begin(), v->begin() + static_cast<std::ptrdiff_t>(span.first));
    }
}

// A number of an attribute; NaN when empty or negative (missing).
base::Status numberOf(std::string_view text, const xmlNode* node, std::string_view bytes, double& number) {
    const std::string_view trimmed = base::trimmed(text, " \t\r\n");
    number = missing;
    if (trimmed.empty()) return {};
    const char* const last = trimmed.data() + trimmed.size();
    if (!parseCsvNumber(trimmed.data(), last, number, false).endsAt(last))
        return base::failure("expected a number in <" + std::string(nameOf(node)) + ">, found " + base::quoted(trimmed),
                             lineOf(node), columnIn(bytes, lineOf(node), trimmed));
    if (number < 0) number = missing;
    return {};
}

class TridasReader {
public:
    TridasReader(std::string_view bytes, SeriesSet& set) : bytes_(bytes), set_(set) {}

    base::Status walk(const xmlNode* node, const Where& where) {
        for (const xmlNode* c = node->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) continue;
            const std::string_view name = nameOf(c);
            if (name == "measurementSeries" || name == "derivedSeries") {
                if (base::Status read = series(c, where); !read) return read;
                continue;
            }
            Where inner = where;
            if (name == "object") inner.site = idOf(c);
            if (name == "element") inner.tree = idOf(c);
            if (name == "sample") inner.sample = idOf(c);
            if (name == "radius") inner.radius = idOf(c);
            if (base::Status read = walk(c, inner); !read) return read;
        }
        return {};
    }

    void addNotes() const {
        const auto count = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " series has" : " series have"); };
        if (undated_ > 0) set_.warnings.push_back(count(undated_) + " no <firstYear>; their years are counted from 1");
        if (withoutUnit_ > 0)
            set_.warnings.push_back(count(withoutUnit_) + " no <unit>; their values are read as they are");
    }

private:
    base::Status series(const xmlNode* node, const Where& where) {
        std::string name = textOf(child(node, "title"));
        if (name.empty()) name = textOf(child(node, "identifier"));
        if (name.empty()) name = "series " + std::to_string(set_.series.size() + 1);
        long long first = 1;
        const xmlNode* interpretation = child(node, "interpretation");
        const xmlNode* firstYear = interpretation == nullptr ? nullptr : child(interpretation, "firstYear");
        if (firstYear != nullptr) {
            const base::Result<long long> year = firstYearOf(firstYear, bytes_);
            if (!year.ok()) return year.error();
            first = *year;
        } else {
            ++undated_;
        }
        std::vector<const xmlNode*> groups;
        for (const xmlNode* c = node->children; c != nullptr; c = c->next)
            if (isElement(c, "values")) groups.push_back(c);
        if (groups.empty()) return add({name, first, {}, "it has no values"}, where);
        for (const xmlNode* group : groups) {
            Series s{name, first, {}, {}};
            if (groups.size() > 1) s.name += " (" + variableOf(group) + ")";
            if (base::Status read = valuesOf(group, s); !read) return read;
            if (s.firstYear + static_cast<long long>(s.values.size()) - 1 > yearLimit)
                return base::failure(yearOutOfRange(s.firstYear + static_cast<long long>(s.values.size()) - 1),
                                     lineOf(firstYear != nullptr ? firstYear : node), 1);
            cutToValues(s);
            if (base::Status added = add(std::move(s), where); !added) return added;
        }
        return {};
    }

    base::Status add(Series s, const Where& where) {
        s.site = where.site;
        s.tree = where.tree;
        s.core = where.sample.empty() || where.radius.empty() ? where.sample + where.radius
                                                              : where.sample + "/" + where.radius;
        set_.series.push_back(std::move(s));
        return {};
    }

    static std::string variableOf(const xmlNode* group) {
        const xmlNode* variable = child(group, "variable");
        if (variable == nullptr) return "values";
        for (const char* attribute : {"normalTridas", "normal"})
            if (const auto value = attributeOf(variable, attribute); value && !value->empty())
                return std::string(*value);
        const std::string text = textOf(variable);
        return text.empty() ? "values" : text;
    }

    base::Status valuesOf(const xmlNode* group, Series& s) {
        const base::Result<Unit> unit = unitOf(group, bytes_);
        if (!unit.ok()) return unit.error();
        if (!unit->known) ++withoutUnit_;
        bool depths = false;
        for (const xmlNode* v = group->children; v != nullptr; v = v->next) {
            if (!isElement(v, "value")) continue;
            double number = missing, depth = missing;
            if (base::Status read = numberOf(attributeOf(v, "value").value_or(""), v, bytes_, number); !read)
                return read;
            s.values.push_back(std::isnan(number) ? number : number * unit->numerator / unit->denominator);
            const std::optional<std::string_view> count = attributeOf(v, "count");
            if (count && (depths || s.values.size() == 1)) depths = true;
            if (!depths) continue;
            if (count)
                if (base::Status read = numberOf(*count, v, bytes_, depth); !read) return read;
            s.depths.resize(s.values.size() - 1, missing);
            s.depths.push_back(depth);
        }
        return {};
    }

    std::string_view bytes_;
    SeriesSet& set_;
    std::size_t undated_ = 0, withoutUnit_ = 0;
};

base::Diagnostic parseFailure(xmlParserCtxt* context) {
    const xmlError* error = xmlCtxtGetLastError(context);
    if (error == nullptr || error->message == nullptr) return base::failure("the file is not well-formed XML");
    const std::string message(base::trimmed(error->message, " \n"));
    return base::failure("not well-formed XML: " + message, std::max(0, error->line), std::max(0, error->int2));
}

// Whether the document's type declaration declares an entity.
bool declaresEntities(const xmlDoc* doc) {
    if (doc->intSubset == nullptr) return false;
    for (const xmlNode* c = doc->intSubset->children; c != nullptr; c = c->next)
        if (c->type == XML_ENTITY_DECL) return true;
    return false;
}

}  // namespace

base::Result<SeriesSet> readTridas(std::string_view bytes) {
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return base::failure("the file is larger than the XML parser reads (2 GiB)");
    const std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (context == nullptr) throw std::bad_alloc();
    constexpr int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
    const Document doc(
        xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
    if (doc == nullptr) return parseFailure(context.get());
    if (declaresEntities(doc.get())) {
        const std::size_t at = std::min(bytes.find("<!ENTITY"), bytes.size());
        const std::string_view before = bytes.substr(0, at);
        const std::size_t lineStart = before.rfind('\n') + 1;  // 0 when there is none
        return base::failure("the file declares entities (<!ENTITY>), which TRiDaS does not use; it is not read",
                             1 + static_cast<long>(std::count(before.begin(), before.end(), '\n')),
                             columnOf(at - lineStart));
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || nameOf(root) != "tridas")
        return base::failure("the root element is <" + std::string(root == nullptr ? "" : nameOf(root)) +
                                 ">, not <tridas>: not a TRiDaS file",
                             root == nullptr ? 0 : lineOf(root), 1);
    SeriesSet set;
    TridasReader reader(bytes, set);
    if (base::Status read = reader.walk(root, {}); !read) return read.error();
    reader.addNotes();
    return set;
}

}  // namespace detrend::formats
