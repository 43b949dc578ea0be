#include "cli/read_hint.hpp"

#include <utility>

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
        case ReadHint::formatTucsonReadsIt: error.what += " (--format tucson reads it all the same)"; break;
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

}  // namespace detrend::cli
