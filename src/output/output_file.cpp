#include "output/output_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text.hpp"
#include "output/temporary_files.hpp"

namespace detrend::output {
namespace {

// A name for a temporary next to `path`: ".NAME.PID-N.tmp" in its
// directory, NAME cut so that the temporary's name is no longer than the
// longest the file system takes for the target's.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned long> made{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string tail = "." + std::to_string(::getpid()) + "-" + std::to_string(made++) + ".tmp";
    constexpr std::size_t longestName = 255;  // NAME_MAX of the common file systems
    if (1 + name.size() + tail.size() > longestName) name.resize(longestName - 1 - tail.size());
    return dir + "." + name + tail;
}

// The directory part of `path`, as messages name it.
std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Whether an existing file may not be replaced: the user cannot write it,
// or none may (no write permission at all: root, too, leaves it).
bool writeProtected(const std::string& path, const struct stat& existing) {
    return (existing.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

OutputFile::OutputFile(int fd, std::string description)
    : description_(std::move(description)), fd_(fd), ownsFd_(false), emptied_(true) {}

OutputFile::OutputFile(const std::string& path, Replace replace, std::string_view what)
    : target_(path), written_(path), description_(std::string(what) + " \"" + path + "\"") {
    struct stat existing;
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (replace == Replace::whenComplete && exists && S_ISREG(existing.st_mode) && writeProtected(path, existing)) {
        opened_ = Status::failure(description_ + " is write-protected: it is not replaced");
    } else if (replace == Replace::whenComplete && (!exists || S_ISREG(existing.st_mode))) {
        openTemporary(path, exists ? &existing : nullptr);
    } else {
        openInPlace(path);
    }
}

Status OutputFile::failure(const char* what, int error) const {
    return Status::failure(std::string(what) + " " + description_ + ": " + std::strerror(error));
}

void OutputFile::openInPlace(const std::string& path) {
    // Not truncated yet: a run that ends before its first results leaves the
    // old contents as they were.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    struct stat status;
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        opened_ = failure("cannot open", errno);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return;
    }
    // Devices and pipes have no contents to replace.
    emptied_ = !S_ISREG(status.st_mode);
}

void OutputFile::openTemporary(const std::string& path, const struct stat* existing) {
    temporary_ = emptied_ = true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        written_ = temporaryName(path);
        if (!temporaries::add(written_)) {
            opened_ = failure("cannot open", EINTR);
            return;
        }
        fd_ = ::open(written_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        const int error = errno;
        temporaries::remove(written_);
        if (error != EEXIST) {
            // The temporary is made in the target's directory: say so when
            // it is the directory that refuses.
            opened_ = error == EACCES || error == EROFS || error == ENOENT || error == ENOTDIR
                          ? Status::failure("cannot create " + description_ + " in directory " +
                                            base::quoted(directoryOf(path)) + ": " + std::strerror(error))
                          : failure("cannot open", error);
            return;
        }
    }
    if (fd_ < 0) {
        opened_ = failure("cannot open", EEXIST);
        return;
    }
    if (existing != nullptr && ::fchmod(fd_, existing->st_mode & 07777) != 0) {
        opened_ = failure("cannot open", errno);
        discard();
    }
}

// Closes a temporary and removes it.
void OutputFile::discard() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
    fd_ = -1;
    if (!temporary_) return;
    ::unlink(written_.c_str());
    temporaries::remove(written_);
    temporary_ = false;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::isTerminal() const { return fd_ >= 0 && ::isatty(fd_) == 1; }

Status OutputFile::empty() {
    if (emptied_) return Status::success();
    if (::ftruncate(fd_, 0) != 0) return failure("cannot write", errno);
    emptied_ = true;
    return Status::success();
}

Status OutputFile::write(std::string_view bytes) {
    if (bytes.empty()) return Status::success();
    if (Status emptied = empty(); !emptied.ok()) return emptied;
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return failure("cannot write", errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return Status::success();
}

Status OutputFile::close() {
    Status finished = finish();
    return finished.ok() ? commit() : finished;
}

Status OutputFile::finish() {
    if (fd_ < 0) return Status::success();
    finished_ = false;
    if (Status emptied = empty(); !emptied.ok()) return emptied;
    const int fd = fd_;
    fd_ = -1;
    if (ownsFd_ && ::close(fd) != 0) {
        const int error = errno;
        discard();
        return failure("cannot close", error);
    }
    finished_ = true;
    return Status::success();
}

Status OutputFile::commit() {
    if (!temporary_ || !finished_) return Status::success();
    if (const int error = temporaries::commit(written_, target_); error != 0) {
        discard();
        return failure("cannot write", error);
    }
    temporary_ = false;
    return Status::success();
}

base::Result<std::unique_ptr<OutputFile>> writeFinished(const std::string& path, std::string_view bytes,
                                                        std::string_view what) {
    auto file = std::make_unique<OutputFile>(path, Replace::whenComplete, what);
    Status written = file->opened();
    if (written.ok()) written = file->write(bytes);
    if (written.ok()) written = file->finish();
    if (!written.ok()) return written.error();
    return file;
}

Status writeWholeFile(const std::string& path, std::string_view bytes, std::string_view what) {
    OutputFile file(path, Replace::whenComplete, what);
    Status written = file.opened();
    if (written.ok()) written = file.write(bytes);
    if (written.ok()) written = file.close();
    return written;
}

}  // namespace detrend::output
