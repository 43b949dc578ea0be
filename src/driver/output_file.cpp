#include "driver/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/failure.hpp"

namespace detrend {

OutputFile::OutputFile(int fd, std::string description)
    : description_(std::move(description)), fd_(fd), ownsFd_(false), emptied_(true) {}

OutputFile::OutputFile(const std::string& path) : description_("output file \"" + path + "\"") {
    // Not truncated yet: a run that ends before its first results leaves the
    // old listing as it was.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fail("cannot open output file \"" + path + "\": " + std::strerror(errno));
    struct stat status;
    if (::fstat(fd_, &status) != 0) {
        const int error = errno;
        ::close(fd_);
        fail("cannot open output file \"" + path + "\": " + std::strerror(error));
    }
    // Devices and pipes have no contents to replace.
    emptied_ = !S_ISREG(status.st_mode);
}

void OutputFile::empty() {
    if (emptied_) return;
    if (::ftruncate(fd_, 0) != 0) fail("cannot write " + description_ + ": " + std::strerror(errno));
    emptied_ = true;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
}

void OutputFile::write(std::string_view bytes) {
    if (bytes.empty()) return;
    empty();
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("cannot write " + description_ + ": " + std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

void OutputFile::close() {
    empty();
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0) fail("cannot close " + description_ + ": " + std::strerror(errno));
}

}  // namespace detrend
