#include "cli/tree_table.hpp"

#include <utility>
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

// The checks of one row after the header; `lines` keeps where each series
// and each tree and core were named.
struct TableLines {
    std::map<std::string, long> series;
    std::map<std::pair<std::string, std::string>, std::pair<long, std::string>> cores;
};

base::Status checkRow(const std::vector<std::string>& cells, long number, TableLines& lines) {
    if (cells.size() != 3)
        return base::failure("expected 3 cells (series,tree,core), found " + std::to_string(cells.size()), number);
    if (cells[0].empty() || cells[1].empty()) return base::failure("a series and its tree must be named", number);
    if (const auto [at, fresh] = lines.series.emplace(cells[0], number); !fresh)
        return base::failure(
            "series " + base::quoted(cells[0]) + " is named twice (line " + std::to_string(at->second) + " and here)",
            number);
    // Without a core the series of a tree are not told apart: no clash.
    if (cells[2].empty()) return {};
    if (const auto [at, fresh] = lines.cores.try_emplace({cells[1], cells[2]}, number, cells[0]); !fresh)
        return base::failure("series " + base::quoted(cells[0]) + " has the tree and core of series " +
                                 base::quoted(at->second.second) + " (line " + std::to_string(at->second.first) +
                                 "): tree " + base::quoted(cells[1]) + ", core " + base::quoted(cells[2]),
                             number);
    return {};
}

}  // namespace

base::Result<std::map<std::string, pipeline::TreeAndCore>> parseTreeTable(std::string_view text) {
    // A spreadsheet may save the CSV with a byte order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::map<std::string, pipeline::TreeAndCore> rows;
    TableLines lines;
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
        if (base::Status row = checkRow(cells, number, lines); !row) return row.error();
        rows.emplace(cells[0], pipeline::TreeAndCore{cells[1], cells[2]});
    }
    if (header) return base::failure("the table is empty: expected the header series,tree,core");
    return rows;
}

}  // namespace detrend::cli
