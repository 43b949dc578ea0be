#include "run.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "failure.hpp"
#include "layout.hpp"
#include "listing.hpp"

namespace detrend {
namespace {

constexpr std::size_t fileNameLength = 40;

// A file name reply without its trailing blanks.
std::string fileName(const std::string& reply) {
    const auto last = reply.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : reply.substr(0, last + 1);
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
        return ::stat(path.c_str(), &other) == 0 && other.st_dev == status_.st_dev &&
               other.st_ino == status_.st_ino;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    struct stat status_ {};
};

}  // namespace

Workspace::Workspace()
    : work(capacity),
      extended(capacity),
      smoothed(capacity),
      residual(capacity),
      coefficients(capacity),
      forwardErrors(capacity),
      backwardErrors(capacity),
      previousCoefficients(capacity) {}

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
    }

    listing.close();
    console.emptyLine();
    console.line(" Normal termination of Progra");
    console.line(" Close window to exit");
    console.flush();
    return 0;
}

}  // namespace detrend
