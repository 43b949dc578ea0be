// The batch front end's words for a read that failed: the reader's own, the
// format assumed, and the option that would help; and for the remark of a
// table whose columns were given.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

}  // namespace detrend::cli
