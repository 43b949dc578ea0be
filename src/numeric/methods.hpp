// The detrending methods by name, and one entry that fits any of them but
// the Burg-extended spline (detrend_series.hpp, burg_spline.hpp) to a series.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "numeric/curve_fit.hpp"

namespace detrend::numeric {

// "burg-spline", "spline", "negexp", "hugershoff", "mean", "ar", "friedman",
// "age-spline", and "line" (the nonlinear fits' fallback).
std::string_view methodName(Method method);
// The method of a name above; nullopt for any other text.
std::optional<Method> methodByName(std::string_view name);

// Fits `method` to the values (at least one, none missing) with the options
// that apply to it, into `fit`. False, with `fit` untouched, for
// Method::burgSpline, which has its own entry, and for no values.
bool fitCurve(Method method, std::span<const double> values, const MethodOptions& options, CurveFit& fit);

}  // namespace detrend::numeric
