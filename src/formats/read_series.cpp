#include "formats/read_series.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/read_compact.hpp"
#include "formats/read_csv.hpp"
#include "formats/read_heidelberg.hpp"
#include "formats/read_table.hpp"
#include "formats/read_tridas.hpp"
#include "formats/read_tucson.hpp"

namespace detrend::formats {
namespace {

// The bytes at the start of a file searched for a NUL, the mark of a file
// that is not text.
constexpr std::size_t textChecked = 4096;

InputFormat chosenFormat(FormatChoice choice) {
    switch (choice) {
        case FormatChoice::automatic:
        case FormatChoice::table: return InputFormat::table;
        case FormatChoice::tucson: return InputFormat::tucson;
        case FormatChoice::csv: return InputFormat::csv;
        case FormatChoice::heidelberg: return InputFormat::heidelberg;
        case FormatChoice::compact: return InputFormat::compact;
        case FormatChoice::tridas: return InputFormat::tridas;
    }
    return InputFormat::table;
}

base::Result<SeriesSet> readAs(InputFormat format, std::string_view bytes, const ReadOptions& options) {
    switch (format) {
        case InputFormat::table: return readTable(bytes, {options.columns, options.missing});
        case InputFormat::tucson: return readTucson(bytes);
        case InputFormat::csv: return readCsv(bytes, {options.missing});
        case InputFormat::heidelberg: return readHeidelberg(bytes);
        case InputFormat::compact: return readCompact(bytes);
        case InputFormat::tridas: return readTridas(bytes);
    }
    return readTable(bytes, {options.columns, options.missing});
}

Read<std::string> cannotRead(int cause) { return {base::failure(std::string("cannot read: ") + std::strerror(cause))}; }

// What bytes that are no text look like, by their first bytes: "" when
// they are text as far as the first kilobytes tell (no NUL byte there).
std::string notText(std::string_view bytes) {
    struct Signature {
        std::string_view start, what;
    };
    static constexpr Signature signatures[] = {
        {"\x89PNG\r\n\x1A\n", "a PNG image"},
        {"\xFF\xD8\xFF", "a JPEG image"},
        {"GIF8", "a GIF image"},
        {"%PDF-", "a PDF document"},
        {"PK\x03\x04", "a ZIP archive (an .xlsx or .ods spreadsheet is one)"},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "an old Office document (an .xls spreadsheet?)"},
        {"\x1F\x8B", "a gzip archive"},
        {"\xFF\xFE", "UTF-16 text: save it as UTF-8"},
        {"\xFE\xFF", "UTF-16 text: save it as UTF-8"},
    };
    for (const Signature& s : signatures)
        if (bytes.starts_with(s.start)) return std::string(s.what);
    if (bytes.substr(0, textChecked).find('\0') != std::string_view::npos) return "NUL bytes in its first kilobytes";
    return {};
}

}  // namespace

Read<SeriesSet> readSeries(std::string_view bytes, const ReadOptions& options) {
    const std::string kind = notText(bytes);
    const base::Diagnostic binary{"not a text file: it " +
                                  std::string(kind.starts_with("NUL") ? "holds " : "looks like ") + kind};
    if (options.format != FormatChoice::automatic) {
        if (!kind.empty()) return {binary};
        return {readAs(chosenFormat(options.format), bytes, options)};
    }
    const Detection detection = detectFormat(bytes, options.fileName);
    if (detection.chronology)
        return {base::failure("a .crn file holds a chronology, not ring widths"), ReadHint::formatTucsonReadsIt};
    if (!kind.empty()) return {binary};
    Read<SeriesSet> read{readAs(detection.format, bytes, options)};
    if (read.result || bytes.find_first_not_of(" \t\r\n\x1A") == std::string_view::npos)
        return read;  // empty: no format
    read.assumed = detection.format;
    if (read.result.error().line <= detection.lastLine) read.hint = ReadHint::giveFormat;
    return read;
}

Read<std::string> readInputFile(const std::string& path, std::uint64_t limit) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return cannotRead(errno);
    struct Closer {
        int fd;
        bool owned;
        ~Closer() {
            if (owned) ::close(fd);
        }
    } closer{fd, !standardInput};
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode))
        return {base::failure("is a directory: name the files in it (" +
                              (path.ends_with('/') ? path.substr(0, path.size() - 1) : path) + "/*.rwl)")};
    // A regular file holds what it holds; a pipe or a device may never end.
    const bool bounded = S_ISREG(status.st_mode);
    std::string bytes;
    if (bounded && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            const std::size_t before = bytes.size();
            if (!bounded && before + static_cast<std::uint64_t>(got) > limit)
                return {base::failure("it is larger than " + std::to_string(limit) +
                                      " bytes, the most read from a pipe or device"),
                        ReadHint::maxInput};
            // Grown by doubling up to the limit, never past it.
            if (!bounded && before + static_cast<std::size_t>(got) > bytes.capacity())
                bytes.reserve(static_cast<std::size_t>(
                    std::min<std::uint64_t>(limit, std::max<std::uint64_t>(2 * bytes.capacity(), sizeof buffer))));
            bytes.append(buffer, static_cast<std::size_t>(got));
            // A stream of NUL bytes (/dev/zero) is no text: said at once, not
            // after reading up to the limit.
            if (!bounded && before < textChecked && bytes.size() >= textChecked && bytes.find('\0') < textChecked)
                return {base::failure("not a text file: it holds NUL bytes in its first kilobytes")};
        } else if (got == 0) {
            return {std::move(bytes)};
        } else if (errno != EINTR) {
            return cannotRead(errno);
        }
    }
}

}  // namespace detrend::formats
