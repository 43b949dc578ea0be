#include "listing.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "failure.hpp"
#include "layout.hpp"

namespace detrend {
namespace {
constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view columnHeading = " year  unfilt  spline  resids";
}  // namespace

Listing::Listing(const std::string& path) : path_(path) {
    block_.reserve(3 * 40 + 10000 * 31);  // the largest block: 10000 year lines
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) fail("cannot open output file \"" + path + "\": " + std::strerror(errno));
}

Listing::~Listing() {
    if (fd_ >= 0) ::close(fd_);
}

void Listing::append(std::string_view text) { block_.insert(block_.end(), text.begin(), text.end()); }

void Listing::heading(const SeriesName& name) {
    append(lineEnd);
    append(" Input series is: ");
    append(name.view());
    append(lineEnd);
    append(columnHeading);
    append(lineEnd);
}

void Listing::yearLine(long long year, double series, double spline, double residual) {
    char line[31];
    formatInteger(line, 5, year);
    formatReal(line + 5, 8, 3, series);
    formatReal(line + 13, 8, 3, spline);
    formatReal(line + 21, 8, 3, residual);
    line[29] = '\r';
    line[30] = '\n';
    append({line, sizeof line});
}

void Listing::endBlock() {
    const char* p = block_.data();
    std::size_t left = block_.size();
    while (left > 0) {
        const ssize_t put = ::write(fd_, p, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("cannot write output file \"" + path_ + "\": " + std::strerror(errno));
        }
        p += put;
        left -= static_cast<std::size_t>(put);
    }
    block_.clear();
}

void Listing::close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot close output file \"" + path_ + "\": " + std::strerror(errno));
}

}  // namespace detrend
