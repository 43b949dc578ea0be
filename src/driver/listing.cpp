#include "driver/listing.hpp"

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
constexpr std::size_t blockCapacity = 3 * 40 + 10000 * yearLineLength;
}  // namespace

Listing::Listing(int fd, std::string description)
    : description_(std::move(description)), fd_(fd), ownsFd_(false), emptied_(true), block_(new char[blockCapacity]) {}

Listing::Listing(const std::string& path)
    : description_("output file \"" + path + "\""), block_(new char[blockCapacity]) {
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

void Listing::append(std::string_view text) {
    if (used_ + text.size() > blockCapacity) endBlock();
    std::memcpy(block_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

void Listing::heading(const SeriesName& name) {
    append(lineEnd);
    append(" Input series is: ");
    append(name.view());
    append(lineEnd);
    append(columnHeading);
    append(lineEnd);
}

void Listing::yearLine(long long year, double series, double spline, double residual) {
    if (used_ + yearLineLength > blockCapacity) endBlock();
    char* line = block_.get() + used_;
    used_ += yearLineLength;
    formatInteger(line, 5, year);
    formatReal(line + 5, 8, 3, series);
    formatReal(line + 13, 8, 3, spline);
    formatReal(line + 21, 8, 3, residual);
    line[29] = '\r';
    line[30] = '\n';
}

void Listing::endBlock() {
    const char* p = block_.get();
    std::size_t left = used_;
    if (left > 0) empty();
    while (left > 0) {
        const ssize_t put = ::write(fd_, p, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("cannot write " + description_ + ": " + std::strerror(errno));
        }
        p += put;
        left -= static_cast<std::size_t>(put);
    }
    used_ = 0;
}

void Listing::close() {
    empty();
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0) fail("cannot close " + description_ + ": " + std::strerror(errno));
}

}  // namespace detrend
