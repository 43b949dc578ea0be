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

void InputFiles::add(const std::string& name, const std::optional<FileIdentity>& identity) {
    if (identity) inputs_.emplace(*identity, name);
}

const std::string* InputFiles::writtenOver(const std::string& path) const {
    const std::optional<FileIdentity> identity = identityOf(path);
    if (!identity) return nullptr;
    const auto it = inputs_.find(*identity);
    return it == inputs_.end() ? nullptr : &it->second;
}

}  // namespace detrend::output
