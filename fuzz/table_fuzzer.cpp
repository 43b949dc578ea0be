// The table reader on arbitrary bytes. The first two lines of an input are the
// console replies (the number of columns and the missing-value flag); the
// rest is the table file. Goes through readSeriesTable exactly as the program does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "dialogue/console.hpp"
#include "dialogue/run_end.hpp"
#include "dialogue/series_table.hpp"
#include "output/messages.hpp"

using namespace detrend::dialogue;
using namespace detrend::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SeriesTable table;
    static std::FILE* devnull = std::fopen("/dev/null", "w");

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t split = bytes.find('\n');
    if (split != std::string_view::npos) split = bytes.find('\n', split + 1);
    split = split == std::string_view::npos ? bytes.size() : split + 1;

    LineReader consoleLines(bytes.substr(0, split), "console");
    static detrend::output::Messages messages(devnull, devnull);
    Console console(consoleLines, devnull, messages);
    LineReader fileLines(bytes.substr(split), "input file");
    FreeReader file(fileLines);
    int columns = 0;
    float flag = 0.0f;
    detrend::base::Status read = askColumnsAndFlag(console, columns, flag);
    if (read.ok()) read = readSeriesTable(file, columns, flag, console, table);
    // A table that ends the run always says why.
    if (!read.ok()) {
        if (read.why().empty()) std::abort();
        return 0;
    }
    // What the rest of the program relies on for every series.
    if (table.columnCount > SeriesTable::maxColumns - 1) std::abort();
    for (int s = 1; s <= table.columnCount; ++s) {
        const long long length = table.length[s - 1];
        if (length < 1 || length > SeriesTable::maxRows) std::abort();
        if (static_cast<long long>(table.firstYear[s - 1]) + length - 1 != table.lastYear[s - 1]) std::abort();
    }
    return 0;
}
