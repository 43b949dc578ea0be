#include "output/write_heidelberg.hpp"

#include "base/text.hpp"
#include "output/fixed_columns.hpp"

namespace detrend::output {
namespace {

constexpr int fieldWidth = 6;
constexpr std::size_t valuesPerLine = 10;

// The ids, checked: as many as series (or none), no control characters.
base::Status checkIds(const std::vector<formats::Series>& series, const std::vector<HeidelbergIds>& ids) {
    if (!ids.empty() && ids.size() != series.size())
        return base::Status::failure(std::to_string(ids.size()) + " sets of ids for " + std::to_string(series.size()) +
                                     " series");
    for (std::size_t i = 0; i < ids.size(); ++i)
        for (const std::string* id : {&ids[i].siteCode, &ids[i].treeNo, &ids[i].coreNo})
            if (holdsControl(*id))
                return base::Status::failure("series " + base::quoted(series[i].name) + ": the id " +
                                             base::quoted(*id) + " holds a control character");
    return base::Status::success();
}

void appendKey(std::string& text, std::string_view key, std::string_view value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
}

void appendBlock(std::string& text, const std::string& name, const RingWidths& widths, const HeidelbergIds* ids) {
    const auto length = static_cast<long long>(widths.units.size());
    text += "HEADER:\n";
    appendKey(text, "KeyCode", name);
    appendKey(text, "DateBegin", std::to_string(widths.firstYear));
    appendKey(text, "DateEnd", std::to_string(widths.firstYear + length - 1));
    appendKey(text, "Length", std::to_string(length));
    appendKey(text, "Unit", widths.thousandths ? "1/1000 mm" : "1/100 mm");
    if (ids != nullptr) {
        if (!ids->siteCode.empty()) appendKey(text, "SiteCode", ids->siteCode);
        if (!ids->treeNo.empty()) appendKey(text, "TreeNo", ids->treeNo);
        if (!ids->coreNo.empty()) appendKey(text, "CoreNo", ids->coreNo);
    }
    text += "DATA:Tree\n";
    char field[fieldWidth];
    for (std::size_t i = 0; i < widths.units.size(); ++i) {
        formatInteger(field, fieldWidth, widths.units[i]);
        text.append(field, fieldWidth);
        if ((i + 1) % valuesPerLine == 0 || i + 1 == widths.units.size()) text += '\n';
    }
}

}  // namespace

base::Result<WrittenText> heidelbergText(const std::vector<formats::Series>& series,
                                         const std::vector<HeidelbergIds>& ids) {
    if (base::Status checked = checkIds(series, ids); !checked.ok()) return checked.error();
    WrittenText written;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const formats::Series& s = series[i];
        base::Result<RingWidths> widths = ringWidths(s);
        if (!widths.ok()) return widths.error();
        if (widths->units.empty()) {
            written.notes.push_back(leftOutNote(s));
            continue;
        }
        if (std::string note = roundingNote(s, *widths); !note.empty()) written.notes.push_back(std::move(note));
        std::string name = withoutControls(s.name);
        if (name != s.name)
            written.notes.push_back("series " + base::quoted(s.name) + " is written with the key code " +
                                    base::quoted(name));
        appendBlock(written.text, name, *widths, ids.empty() ? nullptr : &ids[i]);
    }
    return written;
}

}  // namespace detrend::output
