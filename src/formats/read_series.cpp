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

InputFormat chosenFormat(std::string_view bytes, FormatChoice choice) {
    switch (choice) {
        case FormatChoice::automatic: return detectFormat(bytes);
        case FormatChoice::table: return InputFormat::table;
        case FormatChoice::tucson: return InputFormat::tucson;
        case FormatChoice::csv: return InputFormat::csv;
    }
    return InputFormat::table;
}

bool cannotRead(int cause, InputError& error) {
    error = {0, 0, std::string("cannot read: ") + std::strerror(cause)};
    return false;
}

}  // namespace

bool readSeries(std::string_view bytes, const ReadOptions& options, SeriesSet& out, InputError& error) {
    switch (chosenFormat(bytes, options.format)) {
        case InputFormat::table: return readTable(bytes, {options.columns, options.missing}, out, error);
        case InputFormat::tucson: return readTucson(bytes, out, error);
        case InputFormat::csv: return readCsv(bytes, {options.missing}, out, error);
    }
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
