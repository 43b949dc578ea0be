#include "output/series_file.hpp"

#include <utility>

#include "base/text.hpp"
#include "output/write_heidelberg.hpp"
#include "output/write_series_csv.hpp"
#include "output/write_tucson.hpp"

namespace detrend::output {
namespace {

std::vector<HeidelbergIds> idsOf(const std::vector<formats::Series>& series) {
    std::vector<HeidelbergIds> ids;
    ids.reserve(series.size());
    for (const formats::Series& s : series) ids.push_back({s.site, s.tree, s.core});
    return ids;
}

// Ids holding a control character cannot be written: dropped.
std::vector<formats::Series> withWritableIds(std::vector<formats::Series> series) {
    for (formats::Series& s : series)
        for (std::string* id : {&s.site, &s.tree, &s.core})
            if (holdsControl(*id)) *id = withoutControls(*id);
    return series;
}

base::Result<WrittenText> textOf(const std::vector<formats::Series>& series, SeriesFormat format,
                                 const TucsonHeader& header = {}) {
    switch (format) {
        case SeriesFormat::tucson: return tucsonText(series, header);
        case SeriesFormat::heidelberg: return heidelbergText(series, idsOf(series));
        case SeriesFormat::csv: return WrittenText{seriesCsv(series), {}};
    }
    return WrittenText{};
}

}  // namespace

base::Result<SeriesFile> seriesFile(const formats::SeriesSet& set, SeriesFormat format) {
    std::vector<formats::Series> kept;
    std::vector<std::string> leftOut;
    for (const formats::Series& s : set.series) {
        if (s.problem) {
            leftOut.push_back("series " + base::quoted(s.name) + " is not written: " + *s.problem);
            continue;
        }
        // What the format cannot hold of one series, the writer says alone.
        if (format != SeriesFormat::csv) {
            const base::Result<WrittenText> alone = textOf(withWritableIds({s}), format);
            if (!alone.ok()) {
                leftOut.push_back("not written: " + alone.why());
                continue;
            }
        }
        kept.push_back(s);
    }
    const std::size_t written = kept.size();
    kept = withWritableIds(std::move(kept));
    // The file's own site header goes with its series, where the format has
    // one and its fields fit it.
    const TucsonHeader header{set.siteCode.value_or(""), set.siteName.value_or(""), set.species.value_or("")};
    base::Result<WrittenText> text = textOf(kept, format, header);
    if (!text.ok() && format == SeriesFormat::tucson && !header.siteCode.empty()) {
        text = textOf(kept, format);
        if (text.ok())
            text.value().notes.push_back("the site header is not written: " + textOf({}, format, header).why());
    }
    if (!text.ok()) return text.error();
    SeriesFile file{std::move(text).value(), written, leftOut.size()};
    file.written.notes.insert(file.written.notes.begin(), leftOut.begin(), leftOut.end());
    return file;
}

}  // namespace detrend::output
