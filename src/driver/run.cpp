#include "driver/run.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <limits>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/failure.hpp"
#include "driver/layout.hpp"
#include "driver/listing.hpp"
#include "driver/output_file.hpp"
#include "driver/series_pipeline.hpp"
#include "numeric/spline.hpp"
#include "plot/plotseries.hpp"
#include "driver/series_name.hpp"

namespace detrend {
namespace {

using numeric::mxy;

constexpr std::size_t fileNameLength = 40;

// A file name reply without its trailing blanks; a longer name than the
// dialogue takes ends the run rather than being cut to another file's name.
std::string fileName(const std::string& reply, const char* file) {
    const std::string_view name = withoutTrailingBlanks(reply);
    if (name.size() > fileNameLength)
        fail(std::string("the ") + file + " file name is longer than " + std::to_string(fileNameLength) +
             " characters (" + std::to_string(name.size()) + " typed)");
    return std::string(name);
}

// The input table, open for reading while the table is read.
class InputFile {
public:
    explicit InputFile(const std::string& path) {
        if (path.find('\0') != std::string::npos)
            fail("cannot open input file \"" + path + "\": the name holds a NUL character");
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) fail("cannot open input file \"" + path + "\": " + std::strerror(errno));
        if (::fstat(fd_, &status_) != 0) fail("cannot open input file \"" + path + "\": " + std::strerror(errno));
        if (S_ISDIR(status_.st_mode)) fail("cannot open input file \"" + path + "\": " + std::strerror(EISDIR));
    }
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int fd() const { return fd_; }
    // True when `path` names this very file (same device and inode).
    bool isSameFile(const std::string& path) const {
        struct stat other;
        return ::stat(path.c_str(), &other) == 0 && other.st_dev == status_.st_dev && other.st_ino == status_.st_ino;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    struct stat status_ {};
};

// The four lines shown when a series is too long for the spline, then the
// end of the run with the listing's completed blocks kept. A run that did not
// finish ends with a failure status.
[[noreturn]] void endSeriesTooLong(Console& console) {
    console.emptyLine();
    console.line(" *** series too long for spline subroutine ***");
    console.line("  *** enlarge mxy parameter in subroutine ***");
    console.emptyLine();
    throw RunEnd{1, ""};
}

}  // namespace

void askTableLayout(Console& console, int& columns, float& flag) {
    console.prompt("Enter number of columns");
    console.numberReply(columns);
    checkColumnCount(columns);
    console.prompt("Enter missing value flag e.g., -999.00");
    console.numberReply(flag);
}

int run(Console& console, Workspace& ws) {
    console.emptyLine();
    console.prompt("Enter the input file (/ to exit)");
    const std::string inputReply = console.lineReply();
    if (!inputReply.empty() && inputReply[0] == '/') {
        if (inputReply.find_first_not_of(' ', 1) != std::string::npos)
            console.note(
                "a reply starting with \"/\" ends the program: paths must be relative to the current "
                "directory (or use the command line: detrend -c CUTOFF FILE)");
        return 0;
    }

    const std::string inputName = fileName(inputReply, "input");
    InputFile input(inputName);

    console.prompt("Enter the output file");
    const std::string outputName = fileName(console.lineReply(), "output");
    if (outputName.find('\0') != std::string::npos)
        fail("cannot open output file \"" + outputName + "\": the name holds a NUL character");
    if (input.isSameFile(outputName))
        fail("output file is the input file (\"" + outputName + "\"): writing it would destroy the input");
    OutputFile listing(outputName);

    {
        int columns = 0;
        float flag = 0.0f;
        askTableLayout(console, columns, flag);
        LineReader lines(input.fd(), "input file \"" + inputName + "\"");
        FreeReader file(lines);
        readtable(file, columns, flag, console, ws.table);
    }
    input.close();

    int cutoff = 0;
    console.emptyLine();
    console.prompt("Enter the 50% frequency response cutoff");
    console.numberReply(cutoff);

    const SeriesTable& table = ws.table;
    if (table.columnCount >= 1 && cutoff < 0)
        fail("cutoff must not be negative (" + std::to_string(cutoff) + " typed)");

    auto seriesValues = [&](int index) {
        return std::span<const double>(table.column(index + 1),
                                       static_cast<std::size_t>(table.length[static_cast<std::size_t>(index)]));
    };
    int status = 0;
    Line line;
    // Whether plots can be shown is found out before the first one: without a
    // display the run goes on and completes the listing.
    enum class Plots { unknown, shown, notShown } plots = Plots::unknown;
    plot::PlotData plotData(0);
    // The listing block is laid out on the worker threads.
    auto prepare = [&](int index, const numeric::SeriesFit& fit, std::string& block) {
        if (fit.series.empty()) return block.clear();  // too long: the run ends before its block
        layoutListingBlock(block, table.names[static_cast<std::size_t>(index)],
                           table.IYR[static_cast<std::size_t>(index)], fit.series, fit.spline, fit.residual);
    };
    auto deliver = [&](int index, const numeric::SeriesFit& fit, const std::string& block) {
        const int j = index + 1;
        console.emptyLine();
        line.clear();
        line.blank()
            .text("*** Computing prediction error filter")
            .text(" (length ")
            .integer(cutoff, 3)
            .text(") for extrapolation");
        console.line(line.view());
        console.emptyLine();
        // The coefficients have mxy slots, and a longer filter could never
        // give an extended series that fits the spline.
        if (fit.outcome == numeric::SeriesOutcome::filterTooLong) endSeriesTooLong(console);
        if (!fit.filterComputed) {
            console.line(" never get here");
            console.awaitEnter();
        }
        line.clear();
        line.blank().text("ip: ").integer(cutoff, 3);
        console.line(line.view());
        layoutRealList(fit.coefficients, 10, 8, 3, line, [&](std::string_view text) { console.line(text); });
        if (fit.outcome == numeric::SeriesOutcome::extendedTooLong) endSeriesTooLong(console);
        if (fit.outcome == numeric::SeriesOutcome::notPositiveDefinite)
            console.line(">> sbr spline: matrix not positive definite");

        const int n = table.length[j - 1];
        // The listing shows NaN for such a series; the run is not a success.
        if (!hasSpline(fit)) {
            console.note("series " + std::string(table.names[j - 1].trimmed()) +
                         ": no spline: " + noSplineReason(cutoff, seriesValues(index), fit));
            status = 1;
        }
        listing.write(block);

        console.flush();
        if (plots == Plots::unknown) {
            plots = plot::displayAvailable() ? Plots::shown : Plots::notShown;
            if (plots == Plots::notShown) console.note("no display available; plots are not shown");
        }
        if (plots == Plots::shown) {
            if (static_cast<int>(plotData.years.size()) < n) plotData = plot::PlotData(mxy);
            plot::plotseries(fit.series, fit.spline, fit.residual, n, table.IYR[j - 1], table.names[j - 1].view(), 0,
                             plotData);
        }
    };
    detrendInOrder(
        table.columnCount, ws.workers, mxy, [&](int) { return cutoff; }, seriesValues, deliver, prepare);

    listing.close();
    console.emptyLine();
    console.line(" Normal termination of Progra");
    console.line(" Close window to exit");
    console.flush();
    return status;
}

}  // namespace detrend
