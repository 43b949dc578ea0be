// Which file a path names, so that an output is never written over an input:
// the one check of both the dialogue and the command line.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace detrend::output {

struct FileIdentity {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file `path` names, or nothing when it names none (yet).
std::optional<FileIdentity> identityOf(const std::string& path);
// The identity of the open file `fd`.
std::optional<FileIdentity> identityOf(int fd);

// Whether `path` names the file `input` (an output that would destroy it).
bool namesFile(const std::string& path, const std::optional<FileIdentity>& input);

}  // namespace detrend::output
