#include "driver/run.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <limits>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/failure.hpp"
#include "driver/layout.hpp"
#include "driver/listing.hpp"
#include "numeric/extend.hpp"
#include "numeric/pefilter.hpp"
#include "numeric/spline.hpp"
#include "plot/plotseries.hpp"
#include "driver/series_name.hpp"

namespace detrend {
namespace {

using numeric::mxy;

constexpr std::size_t fileNameLength = 40;

// A file name reply without its trailing blanks.
std::string fileName(const std::string& reply) { return std::string(withoutTrailingBlanks(reply)); }

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

// The ending for a series too long for the spline: its message, then the end
// of the run with the listing's completed blocks kept. A run that did not
// finish ends with a failure status.
[[noreturn]] void endSeriesTooLong(Console& console) {
    numeric::showSeriesTooLong(console);
    throw RunEnd{1, ""};
}

}  // namespace

Workspace::Workspace()
    : work(capacity),
      extended(capacity),
      smoothed(capacity),
      residual(capacity),
      coefficients(capacity),
      forwardErrors(capacity),
      backwardErrors(capacity),
      previousCoefficients(capacity),
      plotData(capacity) {}

int run(Console& console, Workspace& ws) {
    console.emptyLine();
    console.prompt("Enter the input file (/ to exit)");
    const std::string inputReply = console.lineReply(fileNameLength);
    if (inputReply[0] == '/') return 0;

    const std::string inputName = fileName(inputReply);
    InputFile input(inputName);

    console.prompt("Enter the output file");
    const std::string outputName = fileName(console.lineReply(fileNameLength));
    if (outputName.find('\0') != std::string::npos)
        fail("cannot open output file \"" + outputName + "\": the name holds a NUL character");
    if (input.isSameFile(outputName))
        fail("output file is the input file (\"" + outputName + "\"): writing it would destroy the input");
    Listing listing(outputName);

    {
        LineReader lines(input.fd(), "input file \"" + inputName + "\"");
        FreeReader file(lines);
        readtable(file, console, ws.table);
    }
    input.close();

    int cutoff = 0;
    console.emptyLine();
    console.prompt("Enter the 50% frequency response cutoff");
    console.numberReply(cutoff);

    SeriesTable& table = ws.table;
    if (table.columnCount >= 1 && cutoff < 0)
        fail("cutoff must not be negative (" + std::to_string(cutoff) + " typed)");

    const int k = cutoff;  // the filter length and the extension at each end
    Line line;
    // Whether plots can be shown is found out before the first one: without a
    // display the run goes on and completes the listing.
    enum class Plots { unknown, shown, notShown } plots = Plots::unknown;
    for (int j = 1; j <= table.columnCount; ++j) {
        // The work series: the values in single precision, centred on their
        // mean. The sum is rounded to single precision before the division.
        const int n = table.length[j - 1];
        const double* values = table.column(j);
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            ws.work[i] = static_cast<float>(values[i]);
            sum += ws.work[i];
        }
        const float mean = static_cast<float>(static_cast<double>(static_cast<float>(sum)) / n);
        for (int i = 0; i < n; ++i) ws.work[i] = static_cast<float>(static_cast<double>(ws.work[i]) - mean);

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
        if (cutoff > mxy) endSeriesTooLong(console);

        double meanSquare;
        numeric::pefilter(ws.work, n, cutoff, meanSquare, ws.coefficients, ws.forwardErrors, ws.backwardErrors,
                          ws.previousCoefficients, console);
        line.clear();
        line.blank().text("ip: ").integer(cutoff, 3);
        console.line(line.view());
        layoutRealList(std::span(ws.coefficients.data(), static_cast<std::size_t>(std::max(cutoff, 0))), 10, 8, 3, line,
                       [&](std::string_view text) { console.line(text); });

        const long long nn = n + 2LL * k;
        if (nn > mxy) endSeriesTooLong(console);
        std::fill(ws.extended.begin(), ws.extended.end(), 0.0f);
        std::copy_n(ws.work.begin(), n, ws.extended.begin() + k);
        numeric::extend(ws.extended, n, k, ws.coefficients, cutoff, 0);

        float p;
        const numeric::SplineResult fitted =
            numeric::spline(static_cast<int>(nn), ws.extended, ws.smoothed, p, cutoff, console);
        const bool noSpline = fitted != numeric::SplineResult::fitted;

        // The mean goes back in double precision; the residual is formed from
        // the two sums before they are rounded. Without a spline the spline
        // and residual columns are NaN rather than an earlier series' values.
        listing.heading(table.names[j - 1]);
        for (int i = 1; i <= n; ++i) {
            float& value = ws.extended[k + i - 1];
            float& smooth = ws.smoothed[k + i - 1];
            const double restoredValue = static_cast<double>(mean) + value;
            const double restoredSmooth = static_cast<double>(mean) + smooth;
            value = static_cast<float>(restoredValue);
            if (noSpline) {
                smooth = ws.residual[i - 1] = std::numeric_limits<float>::quiet_NaN();
            } else {
                smooth = static_cast<float>(restoredSmooth);
                ws.residual[i - 1] = static_cast<float>(restoredValue - restoredSmooth);
            }
            listing.yearLine(static_cast<long long>(table.IYR[j - 1]) + i - 1, value, smooth, ws.residual[i - 1]);
        }
        listing.endBlock();

        console.flush();
        if (plots == Plots::unknown) {
            plots = plot::displayAvailable() ? Plots::shown : Plots::notShown;
            if (plots == Plots::notShown) console.note("no display available; plots are not shown");
        }
        if (plots == Plots::shown)
            plot::plotseries(ws.extended, ws.smoothed, ws.residual, n, table.IYR[j - 1], table.names[j - 1].view(), k,
                             ws.plotData);
    }

    listing.close();
    console.emptyLine();
    console.line(" Normal termination of Progra");
    console.line(" Close window to exit");
    console.flush();
    return 0;
}

}  // namespace detrend
