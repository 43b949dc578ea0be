// The batch front end's words for a read that failed: the reader's own, the
// format assumed, and the option that would help; and for the remark of a
// table whose columns were given; and the notes on the names a file repeats.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "formats/read_series.hpp"

namespace detrend::cli {

// `error` with its words completed: " [read as FORMAT]" when the format was
// assumed, "; if it is not one, give --format" inside the brackets for
// giveFormat, and the option of the other hints in parentheses.
base::Diagnostic withHint(base::Diagnostic error, formats::ReadHint hint, std::optional<formats::InputFormat> assumed);

// "line L: N items found, C columns given (--columns); the extra ones are
// ignored", and ", on this line and K more" when K more lines hold too many.
std::string itemsIgnoredNote(const formats::ItemsIgnored& ignored);

// One note per series name that several series of `set` have (as a table's
// names cut to 20 characters may): 'the name "A" is given to 3 series
// (numbers 2, 3 and 5 in the file); the outputs name them alike'.
std::vector<std::string> repeatedNameNotes(const formats::SeriesSet& set);

}  // namespace detrend::cli
