#include "output/file_identity.hpp"

#include <sys/stat.h>

namespace detrend::output {

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat status;
    if (::fstat(fd, &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

bool namesFile(const std::string& path, const std::optional<FileIdentity>& input) {
    return input && identityOf(path) == input;
}

}  // namespace detrend::output
