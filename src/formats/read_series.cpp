#include "formats/read_series.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/read_csv.hpp"
#include "formats/read_table.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::formats {
namespace {

InputFormat chosenFormat(FormatChoice choice) {
    switch (choice) {
        case FormatChoice::automatic:
        case FormatChoice::table: return InputFormat::table;
        case FormatChoice::tucson: return InputFormat::tucson;
        case FormatChoice::csv: return InputFormat::csv;
    }
    return InputFormat::table;
}

bool readAs(InputFormat format, std::string_view bytes, const ReadOptions& options, SeriesSet& out, InputError& error) {
    switch (format) {
        case InputFormat::table: return readTable(bytes, {options.columns, options.missing}, out, error);
        case InputFormat::tucson: return readTucson(bytes, out, error);
        case InputFormat::csv: return readCsv(bytes, {options.missing}, out, error);
    }
    return false;
}

bool cannotRead(int cause, InputError& error) {
    error = {0, 0, std::string("cannot read: ") + std::strerror(cause)};
    return false;
}

}  // namespace

bool readSeries(std::string_view bytes, const ReadOptions& options, SeriesSet& out, InputError& error) {
    if (options.format != FormatChoice::automatic)
        return readAs(chosenFormat(options.format), bytes, options, out, error);
    const Detection detection = detectFormat(bytes, options.fileName);
    if (detection.chronology) {
        out = {};
        error = {0, 0, "a .crn file holds a chronology, not ring widths (--format tucson reads it all the same)"};
        return false;
    }
    if (readAs(detection.format, bytes, options, out, error)) return true;
    if (bytes.find_first_not_of(" \t\r\n\x1A") == std::string_view::npos) return false;  // empty: no format
    error.message += " [read as " + std::string(formatName(detection.format));
    if (error.line <= detection.lastLine) error.message += "; if it is not one, give --format";
    error.message += "]";
    return false;
}

bool readInputFile(const std::string& path, std::string& bytes, InputError& error, std::uint64_t limit) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return cannotRead(errno, error);
    struct Closer {
        int fd;
        bool owned;
        ~Closer() {
            if (owned) ::close(fd);
        }
    } closer{fd, !standardInput};
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) return cannotRead(EISDIR, error);
    // A regular file holds what it holds; a pipe or a device may never end.
    const bool bounded = S_ISREG(status.st_mode);
    bytes.clear();
    if (bounded && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
            if (!bounded && bytes.size() > limit) {
                error = {0, 0,
                         "the input is larger than " + std::to_string(limit) +
                             " bytes, the most read from a pipe or device (--max-input)"};
                return false;
            }
        } else if (got == 0) {
            return true;
        } else if (errno != EINTR) {
            return cannotRead(errno, error);
        }
    }
}

}  // namespace detrend::formats
