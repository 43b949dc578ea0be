#include "output/write_csv.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

namespace detrend::output {

std::string csvField(std::string_view name) {
    const bool quote = name.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!name.empty() && (name.front() == ' ' || name.back() == ' '));
    if (!quote) return std::string(name);
    std::string field = "\"";
    for (char c : name) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

std::string wideCsv(const std::vector<IndexColumn>& columns) {
    std::string all;
    (void)writeWideCsv(columns, [&](std::string_view piece) {
        all += piece;
        return Status::success();
    });
    return all;
}

namespace {

// The rows of the years [first, end) into `text`, replacing what it held.
// The text is written through a pointer into room for the longest rows (a
// year and a float each take at most 20 and 15 characters), then cut.
void formatRows(const std::vector<IndexColumn>& columns, long long first, long long end, std::string& text) {
    constexpr std::size_t longestYear = 20, longestCell = 16;  // a cell with its comma
    text.resize(static_cast<std::size_t>(end - first) * (longestYear + 1 + columns.size() * longestCell));
    char* out = text.data();
    for (long long year = first; year < end; ++year) {
        out = std::to_chars(out, out + longestYear, year).ptr;
        for (const IndexColumn& c : columns) {
            *out++ = ',';
            const long long i = year - c.firstYear;
            if (i < 0 || i >= static_cast<long long>(c.values.size()) ||
                !std::isfinite(c.values[static_cast<std::size_t>(i)])) {
                std::memcpy(out, "NA", 2);
                out += 2;
                continue;
            }
            out = std::to_chars(out, out + longestCell, c.values[static_cast<std::size_t>(i)]).ptr;
        }
        *out++ = '\n';
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
}

// A block of rows while it goes through the pipeline.
struct RowBlock {
    long long first = 0, end = 0;
    std::size_t slot = 0;  // its text in a ring of one per token
};

}  // namespace

Status writeWideCsv(const std::vector<IndexColumn>& columns, const std::function<Status(std::string_view)>& put) {
    std::string header = "year";
    long long first = std::numeric_limits<long long>::max(), last = std::numeric_limits<long long>::min();
    for (const IndexColumn& c : columns) {
        header += ',';
        header += csvField(c.name);
        if (c.values.empty()) continue;
        first = std::min(first, c.firstYear);
        last = std::max(last, c.firstYear + static_cast<long long>(c.values.size()) - 1);
    }
    header += '\n';
    if (Status written = put(header); !written.ok() || first > last) return written;

    // Blocks of about 1 MB of text are formatted on the threads of the
    // current arena and handed on in order; the ring of texts bounds the
    // memory whatever the table's size.
    const long long rows = std::max<long long>(1, (1 << 20) / (8 * static_cast<long long>(columns.size()) + 8));
    const std::size_t tokens = 2 * static_cast<std::size_t>(tbb::this_task_arena::max_concurrency()) + 1;
    std::vector<std::string> texts(tokens);
    long long next = first;
    std::size_t blocks = 0;
    Status written = Status::success();
    std::atomic<bool> failed{false};  // read by the first stage while the last one writes
    tbb::parallel_pipeline(
        tokens, tbb::make_filter<void, RowBlock>(tbb::filter_mode::serial_in_order, [&](tbb::flow_control& control) {
                    if (next > last || failed) {
                        control.stop();
                        return RowBlock{};
                    }
                    const RowBlock block{next, std::min(last + 1, next + rows), blocks++ % tokens};
                    next = block.end;
                    return block;
                }) & tbb::make_filter<RowBlock, RowBlock>(tbb::filter_mode::parallel, [&](RowBlock block) {
                    formatRows(columns, block.first, block.end, texts[block.slot]);
                    return block;
                }) & tbb::make_filter<RowBlock, void>(tbb::filter_mode::serial_in_order, [&](RowBlock block) {
                    if (!written.ok()) return;
                    written = put(texts[block.slot]);
                    failed = !written.ok();
                }));
    return written;
}

}  // namespace detrend::output
