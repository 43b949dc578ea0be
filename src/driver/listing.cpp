#include "driver/listing.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/failure.hpp"
#include "driver/layout.hpp"

namespace detrend {
namespace {
constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view columnHeading = " year  unfilt  spline  resids";
constexpr std::size_t yearLineLength = 31;
}  // namespace

Listing::Listing(int fd, std::string description)
    : description_(std::move(description)), fd_(fd), ownsFd_(false), emptied_(true) {}

Listing::Listing(const std::string& path) : description_("output file \"" + path + "\"") {
    // Not truncated yet: a run that ends before its first results leaves the
    // old listing as it was.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fail("cannot open output file \"" + path + "\": " + std::strerror(errno));
    struct stat status;
    if (::fstat(fd_, &status) != 0) fail("cannot open output file \"" + path + "\": " + std::strerror(errno));
    // Devices and pipes have no contents to replace.
    emptied_ = !S_ISREG(status.st_mode);
}

void Listing::empty() {
    if (emptied_) return;
    if (::ftruncate(fd_, 0) != 0) fail("cannot write " + description_ + ": " + std::strerror(errno));
    emptied_ = true;
}

Listing::~Listing() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
}

void Listing::writeBlock(std::string_view block) {
    if (block.empty()) return;
    empty();
    while (!block.empty()) {
        const ssize_t put = ::write(fd_, block.data(), block.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("cannot write " + description_ + ": " + std::strerror(errno));
        }
        block.remove_prefix(static_cast<std::size_t>(put));
    }
}

void layoutListingBlock(std::string& out, const SeriesName& name, long long firstYear, std::span<const float> series,
                        std::span<const float> spline, std::span<const float> residual) {
    std::string heading;
    heading.append(lineEnd).append(" Input series is: ").append(name.view()).append(lineEnd);
    heading.append(columnHeading).append(lineEnd);
    // Resized, not cleared: a string that held a block of the same length is
    // not filled with zeros first.
    out.resize(heading.size() + series.size() * yearLineLength);
    std::copy(heading.begin(), heading.end(), out.begin());
    char* line = out.data() + heading.size();
    for (std::size_t i = 0; i < series.size(); ++i, line += yearLineLength) {
        formatInteger(line, 5, firstYear + static_cast<long long>(i));
        formatReal(line + 5, 8, 3, static_cast<double>(series[i]));
        formatReal(line + 13, 8, 3, static_cast<double>(spline[i]));
        formatReal(line + 21, 8, 3, static_cast<double>(residual[i]));
        line[29] = '\r';
        line[30] = '\n';
    }
}

void Listing::close() {
    empty();
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0) fail("cannot close " + description_ + ": " + std::strerror(errno));
}

}  // namespace detrend
