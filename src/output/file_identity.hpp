// Which file a path names, so that an output is never written over an input:
// the one check of both the dialogue and the command line.
#pragma once

#include <map>
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

// The input files of a run, by identity.
class InputFiles {
public:
    // Adds the input `name` is, of the given identity (nothing: not a file).
    void add(const std::string& name, const std::optional<FileIdentity>& identity);
    // The input the output `path` would be written over, or nullptr.
    const std::string* writtenOver(const std::string& path) const;

private:
    std::map<FileIdentity, std::string> inputs_;
};

}  // namespace detrend::output
