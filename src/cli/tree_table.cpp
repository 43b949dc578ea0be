#include "cli/tree_table.hpp"

#include <vector>

#include "base/text.hpp"

namespace detrend::cli {
namespace {

// The cells of one line, quotes removed; false when a quote is not closed.
bool splitCells(std::string_view line, std::vector<std::string>& cells) {
    cells.assign(1, "");
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            cells.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    for (std::string& cell : cells) cell = std::string(base::trimmed(cell));
    return !quoted;
}

}  // namespace

base::Result<std::map<std::string, pipeline::TreeAndCore>> parseTreeTable(std::string_view text) {
    std::map<std::string, pipeline::TreeAndCore> rows;
    std::vector<std::string> cells;
    bool header = true;
    long number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (base::trimmed(line).empty()) continue;
        if (!splitCells(line, cells)) return base::failure("a quote is not closed", number);
        if (header) {
            if (cells.size() != 3 || !base::equalsIgnoringCase(cells[0], "series") ||
                !base::equalsIgnoringCase(cells[1], "tree") || !base::equalsIgnoringCase(cells[2], "core"))
                return base::failure("expected the header series,tree,core", number, 1);
            header = false;
            continue;
        }
        if (cells.size() != 3)
            return base::failure("expected 3 cells (series,tree,core), found " + std::to_string(cells.size()), number);
        if (cells[0].empty() || cells[1].empty()) return base::failure("a series and its tree must be named", number);
        if (!rows.emplace(cells[0], pipeline::TreeAndCore{cells[1], cells[2]}).second)
            return base::failure("series " + base::quoted(cells[0]) + " is named twice", number);
    }
    if (header) return base::failure("the table is empty: expected the header series,tree,core");
    return rows;
}

}  // namespace detrend::cli
