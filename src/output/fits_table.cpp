#include "output/fits_table.hpp"

#include <algorithm>
#include <cmath>

#include "base/text.hpp"
#include "output/write_csv.hpp"

namespace detrend::output {

std::string fitsCsvHeader() {
    std::string header = "file,series,first,last,method,used,fallback";
    for (std::string_view column : fitParameterColumns) header += "," + std::string(column);
    return header + "\n";
}

std::string fitsCsvRows(std::string_view file, std::span<const FitRow> rows) {
    std::string out;
    for (const FitRow& row : rows) {
        out += csvField(file) + "," + csvField(row.series) + "," + std::to_string(row.first) + "," +
               std::to_string(row.last) + "," + std::string(row.asked) + "," + std::string(row.used) + "," +
               (row.fallback.empty() ? std::string() : csvField(row.fallback));
        for (std::string_view column : fitParameterColumns) {
            const auto it = std::find_if(row.parameters.begin(), row.parameters.end(),
                                         [&](const numeric::FitParameter& p) { return p.name == column; });
            const bool none = it == row.parameters.end() || std::isnan(it->value);
            out += "," + (none                    ? std::string("NA")
                          : std::isinf(it->value) ? std::string(it->value > 0 ? "Inf" : "-Inf")
                                                  : base::shortestNumber(it->value));
        }
        out += '\n';
    }
    return out;
}

}  // namespace detrend::output
