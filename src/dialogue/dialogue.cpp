#include "dialogue/dialogue.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "dialogue/run_end.hpp"
#include "formats/detect_format.hpp"
#include "formats/fields.hpp"
#include "formats/read_series.hpp"
#include "output/file_identity.hpp"
#include "output/fixed_columns.hpp"
#include "output/listing.hpp"
#include "output/output_file.hpp"
#include "pipeline/detrend_in_order.hpp"
#include "pipeline/series_outcome.hpp"
#include "numeric/spline.hpp"
#include "plot/window/series_window.hpp"

namespace detrend::dialogue {
namespace {

using numeric::dialogueCapacity;

constexpr std::size_t fileNameLength = 40;
constexpr const char* notEnoughMemory = "not enough memory to go on";

// A file name reply without its trailing blanks; a longer name than the
// dialogue takes ends the run rather than being cut to another file's name.
base::Result<std::string> fileName(const std::string& reply, const char* file) {
    const std::string_view name = base::withoutTrailingBlanks(reply);
    if (name.size() > fileNameLength)
        return endRun(std::string("the ") + file + " file name is longer than " + std::to_string(fileNameLength) +
                      " characters (" + std::to_string(name.size()) + " typed)");
    return std::string(name);
}

// The input table, open for reading while the table is read.
class InputFile {
public:
    InputFile() = default;
    // Opens `path`; the run ends when it cannot be read.
    base::Status open(const std::string& path) {
        const std::string cannot = "cannot open input file \"" + path + "\": ";
        if (path.find('\0') != std::string::npos) return endRun(cannot + "the name holds a NUL character");
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return endRun(cannot + std::strerror(errno));
        struct stat status;
        if (::fstat(fd_, &status) != 0) return endRun(cannot + std::strerror(errno));
        if (S_ISDIR(status.st_mode)) return endRun(cannot + std::strerror(EISDIR));
        files_.add(path, output::identityOf(fd_));
        return base::Status::success();
    }
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int fd() const { return fd_; }
    // The input file, for the check that the output is not written over it.
    const output::InputFiles& files() const { return files_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    output::InputFiles files_;
};

// The four lines shown when a series is too long for the spline, then the
// end of the run with the listing's completed blocks kept. A run that did not
// finish ends with a failure status.
base::Diagnostic endSeriesTooLong(Console& console) {
    console.emptyLine();
    console.line(" *** series too long for spline subroutine ***");
    console.line("  *** enlarge mxy parameter in subroutine ***");
    console.emptyLine();
    return endRun();
}

// Asks for the output file and opens the listing.
base::Result<std::string> askOutputName(Console& console, const InputFile& input) {
    console.prompt("Enter the output file");
    const base::Result<std::string> reply = console.lineReply();
    if (!reply.ok()) return reply.error();
    base::Result<std::string> outputName = fileName(*reply, "output");
    if (!outputName.ok()) return outputName;
    if (outputName->find('\0') != std::string::npos)
        return endRun("cannot open output file \"" + *outputName + "\": the name holds a NUL character");
    if (input.files().writtenOver(*outputName) != nullptr)
        return endRun("output file is the input file (\"" + *outputName + "\"): writing it would destroy the input");
    return outputName;
}

base::Status readTable(Console& console, InputFile& input, const std::string& inputName, SeriesTable& table) {
    int columns = 0;
    float flag = 0.0f;
    if (base::Status asked = askColumnsAndFlag(console, columns, flag); !asked.ok()) return asked;
    formats::LineReader lines(input.fd(), "input file \"" + inputName + "\"");
    formats::FreeReader file(lines);
    return readSeriesTable(file, columns, flag, console, table);
}

base::Result<int> askCutoff(Console& console, const SeriesTable& table) {
    int cutoff = 0;
    console.emptyLine();
    console.prompt("Enter the 50% frequency response cutoff");
    if (base::Status read = console.numberReply(cutoff); !read.ok()) return read.error();
    if (table.columnCount >= 1 && cutoff < 0)
        return endRun("cutoff must not be negative (" + std::to_string(cutoff) + " typed)");
    return cutoff;
}

// What the dialogue shows of each series, in order: the filter on the
// console, the block in the listing and the plot window.
class SeriesShow {
public:
    SeriesShow(Console& console, const SeriesTable& table, int cutoff, output::OutputFile& listing)
        : console_(console), table_(table), cutoff_(cutoff), listing_(listing) {}

    std::span<const double> values(int index) const {
        return {table_.column(index + 1), static_cast<std::size_t>(table_.length[static_cast<std::size_t>(index)])};
    }

    // Shows series `index`; a failure ends the run.
    base::Status show(int index, const numeric::SeriesFit& fit, const std::string& block) {
        if (base::Status shown = showFilter(fit); !shown.ok()) return shown;
        if (fit.outcome == numeric::SeriesOutcome::notPositiveDefinite)
            console_.line(">> sbr spline: matrix not positive definite");
        const std::size_t s = static_cast<std::size_t>(index);
        // The listing shows NaN for such a series; the run is not a success.
        if (!pipeline::hasSpline(fit)) {
            console_.note("series " + std::string(table_.names[s].trimmed()) +
                          ": no spline: " + pipeline::noSplineReason(cutoff_, values(index), fit));
            status_ = 1;
        }
        if (base::Status written = listing_.write(block); !written.ok()) return endRun(written.why());
        console_.flush();
        plot(fit, s);
        return base::Status::success();
    }

    int status() const { return status_; }

private:
    // The announcement, the filter's length and its coefficients.
    base::Status showFilter(const numeric::SeriesFit& fit) {
        console_.emptyLine();
        line_.clear();
        line_.blank()
            .text("*** Computing prediction error filter")
            .text(" (length ")
            .integer(cutoff_, 3)
            .text(") for extrapolation");
        console_.line(line_.view());
        console_.emptyLine();
        // The coefficients have dialogueCapacity slots, and a longer filter could never
        // give an extended series that fits the spline.
        if (fit.outcome == numeric::SeriesOutcome::filterTooLong) return endSeriesTooLong(console_);
        if (!fit.filterComputed) {
            console_.line(" never get here");
            if (base::Status entered = console_.awaitEnter(); !entered.ok()) return entered;
        }
        line_.clear();
        line_.blank().text("ip: ").integer(cutoff_, 3);
        console_.line(line_.view());
        output::realListLines(fit.coefficients, 10, 8, 3, line_, [&](std::string_view text) { console_.line(text); });
        if (fit.outcome == numeric::SeriesOutcome::extendedTooLong) return endSeriesTooLong(console_);
        return base::Status::success();
    }

    // Whether plots can be shown is found out before the first one: without
    // a display the run goes on and completes the listing.
    void plot(const numeric::SeriesFit& fit, std::size_t s) {
        if (plots_ == Plots::unknown) {
            plots_ = plot::displayAvailable() ? Plots::shown : Plots::notShown;
            if (plots_ == Plots::notShown) console_.note("no display available; plots are not shown");
        }
        if (plots_ != Plots::shown) return;
        const int n = table_.length[s];
        if (static_cast<int>(plotData_.years.size()) < n) plotData_ = plot::PlotData(dialogueCapacity);
        plot::showSeriesWindow(fit.series, fit.spline, fit.residual, n, table_.firstYear[s], table_.names[s].view(),
                               plotData_);
    }

    Console& console_;
    const SeriesTable& table_;
    const int cutoff_;
    output::OutputFile& listing_;
    output::Line line_;
    enum class Plots { unknown, shown, notShown } plots_ = Plots::unknown;
    plot::PlotData plotData_{0};
    int status_ = 0;
};

base::Result<int> detrendTable(Console& console, Workspace& ws, int cutoff, output::OutputFile& listing) {
    const SeriesTable& table = ws.table;
    SeriesShow show(console, table, cutoff, listing);
    pipeline::OrderedWork work;
    work.count = table.columnCount;
    work.workers = ws.workers;
    const numeric::BurgSpline method(dialogueCapacity);
    work.method = &method;
    work.cutoff = [&](int) { return cutoff; };
    work.values = [&](int index) { return show.values(index); };
    // The listing blocks are laid out on the worker threads.
    std::vector<std::string> blocks;
    work.reserveSlots = [&](std::size_t slots) { blocks.resize(slots); };
    work.prepare = [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
        std::string& block = blocks[slot];
        if (fit.series.empty()) return block.clear();  // too long: the run ends before its block
        const std::size_t s = static_cast<std::size_t>(index);
        output::formatListingBlock(block, table.names[s], table.firstYear[s], fit.series, fit.spline, fit.residual);
    };
    base::Status shown = base::Status::success();
    const base::Status pipeline =
        pipeline::detrendInOrder(work, [&](int index, const numeric::SeriesFit& fit, std::size_t slot) {
            shown = show.show(index, fit, blocks[slot]);
            return shown.ok();
        });
    if (!pipeline.ok()) return endRun(pipeline.why());
    if (!shown.ok()) return shown.error();
    return show.status();
}

// For a table the dialogue cannot read that is a Tucson or CSV file, the
// command line that reads it; else "".
std::string batchHint(const std::string& path) {
    const formats::Read<std::string> bytes = formats::readInputFile(path);
    if (!bytes.result) return {};
    const formats::Detection detected = formats::detectFormat(*bytes.result, path);
    if (detected.chronology || detected.format == formats::InputFormat::table) return {};
    const char* what = detected.format == formats::InputFormat::tucson ? "a Tucson ring-width file" : "a CSV table";
    return "\"" + path + "\" looks like " + what + ", which the command line reads: detrend -c 32 " + path;
}

// Writes the report of a run that ended early (none when empty) and returns
// its status. Allocates nothing: it also reports running out of memory.
int endReport(Console& console, output::Messages& messages, int status, const char* report) {
    console.flush();
    if (*report != '\0') {
        // After a prompt, start the report on a line of its own when both
        // streams go to the same terminal.
        if (console.midLine() && ::isatty(STDOUT_FILENO) && messages.toTerminal()) messages.line({});
        messages.error(report);
    }
    return status;
}

}  // namespace

base::Result<int> runDialogue(Console& console, Workspace& ws) {
    console.emptyLine();
    console.prompt("Enter the input file (/ to exit)");
    const base::Result<std::string> inputReply = console.lineReply();
    if (!inputReply.ok()) return inputReply.error();
    if (!inputReply->empty() && (*inputReply)[0] == '/') {
        if (inputReply->find_first_not_of(' ', 1) != std::string::npos)
            console.note(
                "a reply starting with \"/\" ends the program: paths must be relative to the current "
                "directory (or use the command line: detrend -c CUTOFF FILE)");
        return 0;
    }
    const base::Result<std::string> inputName = fileName(*inputReply, "input");
    if (!inputName.ok()) return inputName.error();
    InputFile input;
    if (base::Status opened = input.open(*inputName); !opened.ok()) return opened.error();
    const base::Result<std::string> outputName = askOutputName(console, input);
    if (!outputName.ok()) return outputName.error();
    output::OutputFile listing(*outputName, output::Replace::whenWritten);
    if (!listing.opened().ok()) return endRun(listing.opened().why());
    if (base::Status read = readTable(console, input, *inputName, ws.table); !read.ok()) {
        ws.batchHint = batchHint(*inputName);
        return read.error();
    }
    input.close();
    const base::Result<int> cutoff = askCutoff(console, ws.table);
    if (!cutoff.ok()) return cutoff.error();
    const base::Result<int> status = detrendTable(console, ws, *cutoff, listing);
    if (!status.ok()) return status;
    if (base::Status closed = listing.close(); !closed.ok()) return endRun(closed.why());
    console.emptyLine();
    console.line(" Normal termination of Progra");
    console.line(" Close window to exit");
    console.flush();
    return status;
}

int runConsoleDialogue(output::Messages& messages) {
    int status;
    try {
        formats::LineReader consoleInput(STDIN_FILENO, "standard input");
        Console console(consoleInput, stdout, messages);
        try {
            Workspace workspace;
            const base::Result<int> ran = runDialogue(console, workspace);
            status = ran.ok() ? *ran : endReport(console, messages, 1, ran.why().c_str());
            if (!workspace.batchHint.empty()) messages.error(workspace.batchHint);
        } catch (const std::bad_alloc&) {
            status = endReport(console, messages, 1, notEnoughMemory);
        }
    } catch (const std::bad_alloc&) {
        messages.error(notEnoughMemory);
        status = 1;
    }
    // Console text that could not be written is a failed run too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        messages.error("cannot write standard output");
        if (status == 0) status = 1;
    }
    return status;
}

}  // namespace detrend::dialogue
