#include "cli/read_hint.hpp"

#include <map>
#include <utility>

#include "base/text.hpp"

namespace detrend::cli {

base::Diagnostic withHint(base::Diagnostic error, formats::ReadHint hint, std::optional<formats::InputFormat> assumed) {
    using formats::ReadHint;
    if (assumed) {
        error.what += " [read as " + std::string(formats::formatName(*assumed));
        if (hint == ReadHint::giveFormat) error.what += "; if it is not one, give --format";
        error.what += "]";
    }
    switch (hint) {
        case ReadHint::none:
        case ReadHint::giveFormat: break;
        case ReadHint::formatTucsonReadsIt:
            error.what += " (if it holds ring widths after all, --format tucson reads them)";
            break;
        case ReadHint::maxInput: error.what += " (--max-input)"; break;
    }
    return error;
}

std::string itemsIgnoredNote(const formats::ItemsIgnored& ignored) {
    std::string text = "line " + std::to_string(ignored.firstLine) + ": " + std::to_string(ignored.found) +
                       " items found, " + std::to_string(ignored.columns) +
                       " columns given (--columns); the extra ones are ignored";
    if (ignored.lines > 1) text += ", on this line and " + std::to_string(ignored.lines - 1) + " more";
    return text;
}

std::vector<std::string> repeatedNameNotes(const formats::SeriesSet& set) {
    std::map<std::string_view, std::vector<std::size_t>> places;
    for (std::size_t i = 0; i < set.series.size(); ++i)
        places[base::withoutTrailingBlanks(set.series[i].name)].push_back(i + 1);
    std::vector<std::string> notes;
    for (std::size_t i = 0; i < set.series.size(); ++i) {
        const std::vector<std::size_t>& at = places[base::withoutTrailingBlanks(set.series[i].name)];
        if (at.size() < 2 || at.front() != i + 1) continue;
        std::string numbers;
        for (std::size_t k = 0; k < at.size(); ++k)
            numbers += (k == 0 ? "" : k + 1 == at.size() ? " and " : ", ") + std::to_string(at[k]);
        notes.push_back("the name " + base::quoted(set.series[i].name) + " is given to " + std::to_string(at.size()) +
                        " series (numbers " + numbers + " in the file); the outputs name them alike");
    }
    return notes;
}

}  // namespace detrend::cli
