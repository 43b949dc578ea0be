#include "pipeline/pictures.hpp"

#include <cmath>
#include <limits>

#include "base/text.hpp"
#include "numeric/methods.hpp"
#include "numeric/spline.hpp"
#include "output/naming.hpp"

namespace detrend::pipeline {

std::string pictureTitle(const InputPlan& input, std::string_view subject) {
    if (input.input == output::standardStream) return "standard input: " + std::string(subject);
    const std::size_t slash = input.input.find_last_of('/');
    return input.input.substr(slash == std::string::npos ? 0 : slash + 1) + ": " + std::string(subject);
}

std::string_view valueLabel(const formats::SeriesSet& set) { return set.millimetres ? "ring width (mm)" : "value"; }

std::string siteOf(const formats::SeriesSet& set) {
    std::string site = set.siteCode.value_or("");
    if (set.siteName && !set.siteName->empty()) site += (site.empty() ? "" : " ") + *set.siteName;
    return site;
}

FitLabels fitLabels(const numeric::SeriesFit& fit, numeric::Method asked) {
    const std::string used(numeric::methodName(fit.used));
    FitLabels labels{used, used};
    if (fit.used == numeric::Method::burgSpline || fit.used == numeric::Method::spline) {
        labels.legend = "spline";
        labels.title = "spline";
        for (const numeric::FitParameter& p : fit.parameters)
            if (p.name == "cutoff") labels.title += ", 50% at " + base::shortestNumber(p.value) + " years";
    }
    if (fit.used != asked) labels.title += " in place of " + std::string(numeric::methodName(asked));
    return labels;
}

std::vector<double> smoothedChronology(std::span<const double> values, int period) {
    std::vector<double> smooth(values.size(), std::numeric_limits<double>::quiet_NaN());
    std::vector<float> run, fitted;
    numeric::SplineBand band;
    for (std::size_t i = 0; i < values.size();) {
        std::size_t end = i;
        while (end < values.size() && std::isfinite(values[end])) ++end;
        if (end - i >= 4) {
            run.clear();
            for (std::size_t k = i; k < end; ++k) run.push_back(static_cast<float>(values[k]));
            fitted.resize(run.size());
            float p = 0;
            const int n = static_cast<int>(run.size());
            if (numeric::spline(n, run, fitted, p, period, band) == numeric::SplineResult::fitted)
                for (std::size_t k = 0; k < fitted.size(); ++k) smooth[i + k] = static_cast<double>(fitted[k]);
        }
        i = end == i ? i + 1 : end;
    }
    return smooth;
}

std::vector<plot::WindowValue> windowEps(std::span<const numeric::RunningWindow> windows) {
    std::vector<plot::WindowValue> eps;
    for (const numeric::RunningWindow& w : windows) eps.push_back({w.mid, w.statistics.eps});
    return eps;
}

std::string cutLabel(const ChronologyCut& cut) {
    static constexpr const char* measures[] = {"EPS", "SSS", "depth"};
    return std::string("cut: ") + measures[static_cast<int>(cut.by)] + " < " + base::shortestNumber(cut.threshold);
}

ChronologyDrawing::ChronologyDrawing(const numeric::Chronology& chronology, std::size_t series,
                                     const std::vector<char>& keep, std::span<const numeric::RunningWindow> windows,
                                     const SiteOutputs& outputs)
    : title_(pictureTitle(outputs.input, (outputs.siteTitle.empty() ? "" : outputs.siteTitle + " - ") +
                                             "chronology of " + std::to_string(series) + " series")),
      smooth_(smoothedChronology(chronology.standard, chronologySmoothing)),
      eps_(windowEps(windows)) {
    for (char kept : keep) cut_.push_back(kept ? 0 : 1);
    const std::optional<ChronologyCut>& cut = outputs.settings.chronologyCut;
    if (cut) cutLabel_ = cutLabel(*cut);
    picture_.firstYear = chronology.first;
    picture_.values = chronology.standard;
    picture_.depths = chronology.depth;
    picture_.title = title_;
    picture_.indexKind = outputs.settings.index;
    picture_.residual = chronology.residual;
    picture_.smooth = smooth_;
    picture_.smoothing = chronologySmoothing;
    picture_.cut = cut_;
    picture_.cutLabel = cutLabel_;
    picture_.eps = eps_;
    if (cut && cut->by == ChronologyCut::By::eps) picture_.epsThreshold = cut->threshold;
}

}  // namespace detrend::pipeline
