// Trees and cores from series names; see tree_ids.hpp for the sources.
#include "numeric/tree_ids.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace detrend::numeric {
namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The numbers of the parts: their value when all are digits, else their
// place among the distinct parts, from 1.
std::vector<std::size_t> numbered(const std::vector<std::string_view>& parts) {
    std::vector<std::size_t> out;
    if (std::all_of(parts.begin(), parts.end(),
                    [](std::string_view p) { return p.size() <= 18 && std::all_of(p.begin(), p.end(), isDigit); })) {
        for (std::string_view p : parts) {
            std::size_t v = 0;
            for (char c : p) v = v * 10 + static_cast<std::size_t>(c - '0');
            out.push_back(v);
        }
        return out;
    }
    std::vector<std::string_view> distinct = parts;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (std::string_view p : parts)
        out.push_back(
            static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), p) - distinct.begin()) + 1);
    return out;
}

// The site part's length: the common beginning, shortened as the header says.
std::size_t siteLength(const std::vector<std::string_view>& names, std::size_t length) {
    std::size_t s = 0;
    while (s + 2 < length && std::all_of(names.begin(), names.end(), [&](auto n) { return n[s] == names[0][s]; })) ++s;
    std::size_t cut = s;
    while (cut > 0 && isDigit(names[0][cut - 1])) --cut;
    return cut > 0 && cut < s ? cut : s;
}

// The core part's length: the letters ending every name after the tree's
// first character, or 1; 0 when the names disagree.
std::size_t coreLength(const std::vector<std::string_view>& names, std::size_t site) {
    std::size_t core = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string_view rest = names[k].substr(site + 1);
        std::size_t run = 0;
        while (run < rest.size() && isLetter(rest[rest.size() - 1 - run])) ++run;
        if (k > 0 && run != core) return 0;
        core = run;
    }
    return core == 0 ? 1 : core;
}

}  // namespace

TreeIds treeIdsFromNames(std::span<const std::string> names) {
    TreeIds ids;
    const std::size_t n = names.size();
    for (std::size_t i = 0; i < n; ++i) ids.tree.push_back(i + 1);
    ids.core.assign(n, 1);
    if (n < 2) return ids.split = true, ids;

    std::vector<std::string_view> trimmedNames;
    for (const std::string& name : names) trimmedNames.push_back(trimmed(name));
    const std::size_t length = trimmedNames[0].size();
    if (length < 2 || std::any_of(trimmedNames.begin(), trimmedNames.end(), [&](auto s) { return s.size() != length; }))
        return ids;
    const std::size_t site = siteLength(trimmedNames, length), core = coreLength(trimmedNames, site);
    if (core == 0) return ids;
    std::vector<std::string_view> trees, cores;
    for (std::string_view name : trimmedNames) {
        trees.push_back(name.substr(site, length - site - core));
        cores.push_back(name.substr(length - core));
        if (std::all_of(cores.back().begin(), cores.back().end(), [](char c) { return c == '0'; })) return ids;
    }
    std::vector<std::pair<std::string_view, std::string_view>> both;
    for (std::size_t i = 0; i < n; ++i) both.push_back({trees[i], cores[i]});
    std::sort(both.begin(), both.end());
    if (std::adjacent_find(both.begin(), both.end()) != both.end()) return ids;
    ids.tree = numbered(trees);
    ids.core = numbered(cores);
    ids.split = true;
    ids.siteLength = site;
    ids.treeLength = length - site - core;
    ids.coreLength = core;
    return ids;
}

}  // namespace detrend::numeric
