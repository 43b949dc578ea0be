#include "output/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace detrend::output {

OutputFile::OutputFile(int fd, std::string description)
    : description_(std::move(description)), fd_(fd), ownsFd_(false), emptied_(true) {}

OutputFile::OutputFile(const std::string& path) : description_("output file \"" + path + "\"") {
    // Not truncated yet: a run that ends before its first results leaves the
    // old listing as it was.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        opened_ = Status::failure("cannot open output file \"" + path + "\": " + std::strerror(errno));
        return;
    }
    struct stat status;
    if (::fstat(fd_, &status) != 0) {
        opened_ = Status::failure("cannot open output file \"" + path + "\": " + std::strerror(errno));
        ::close(fd_);
        fd_ = -1;
        return;
    }
    // Devices and pipes have no contents to replace.
    emptied_ = !S_ISREG(status.st_mode);
}

Status OutputFile::empty() {
    if (emptied_) return Status::success();
    if (::ftruncate(fd_, 0) != 0) return Status::failure("cannot write " + description_ + ": " + std::strerror(errno));
    emptied_ = true;
    return Status::success();
}

OutputFile::~OutputFile() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
}

Status OutputFile::write(std::string_view bytes) {
    if (bytes.empty()) return Status::success();
    if (Status emptied = empty(); !emptied.ok()) return emptied;
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return Status::failure("cannot write " + description_ + ": " + std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return Status::success();
}

Status OutputFile::close() {
    if (fd_ < 0) return Status::success();
    if (Status emptied = empty(); !emptied.ok()) return emptied;
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0)
        return Status::failure("cannot close " + description_ + ": " + std::strerror(errno));
    return Status::success();
}

}  // namespace detrend::output
