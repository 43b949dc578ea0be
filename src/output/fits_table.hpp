// The fits table: which curve each series got, and its parameters, one CSV
// row per series detrended, so that the series that fell back to a line or
// the mean, and why, can be found.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/curve_fit.hpp"

namespace detrend::output {

struct FitRow {
    std::string series;
    long long first = 0, last = 0;
    std::string_view asked, used;  // the method asked for and the one the curve is of
    std::string_view fallback;  // why they differ; "" when they do not
    std::vector<numeric::FitParameter> parameters;
};

// The parameters a row can hold, each a column of the table in this order;
// one a fit does not have is NA. Autoregressive coefficients beyond the
// order are not columns.
inline constexpr std::string_view fitParameterColumns[] = {
    "cutoff", "filter", "nyrs0", "a", "b", "k", "g", "d", "intercept", "slope", "mean", "order", "span", "bass"};

// "file,series,first,last,method,used,fallback," and the parameter columns.
std::string fitsCsvHeader();
// The rows of one input; text fields quoted where CSV needs it, numbers in
// their shortest form, NA where a row has no such parameter.
std::string fitsCsvRows(std::string_view file, std::span<const FitRow> rows);

}  // namespace detrend::output
