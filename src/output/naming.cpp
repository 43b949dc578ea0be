#include "output/naming.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>

#include "base/text.hpp"

namespace detrend::output {

std::string_view outputSuffix(OutputKind kind, ChronologyFormat chronologyFormat) {
    switch (kind) {
        case OutputKind::listing: return ".out";
        case OutputKind::indices: return ".csv";
        case OutputKind::chronology: return chronologyFormat == ChronologyFormat::crn ? "-chron.crn" : "-chron.csv";
        case OutputKind::statistics: return "-stats.csv";
    }
    return "";
}

std::string seriesPictureSuffix(std::string_view stem, std::string_view extension) {
    return "-" + std::string(stem) + "." + std::string(extension);
}

std::string chronologyPictureSuffix(std::string_view extension) { return "-chron." + std::string(extension); }

std::string baseName(const std::string& input) {
    if (input == standardStream) return "stdin";
    const std::size_t slash = input.find_last_of('/');
    std::string name = input.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string inputLabel(const std::string& input) { return input == standardStream ? "standard input" : input; }

std::string outputPath(const std::string& dir, const std::string& base, std::string_view suffix) {
    return dir + "/" + base + std::string(suffix);
}

namespace {

std::string sanitizedStem(std::string_view name) {
    std::string out(base::withoutTrailingBlanks(name));
    for (char& c : out) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (!kept) c = '_';
    }
    return out.empty() ? "_" : out;
}

// Makes `path` and its parents; errno's value on failure, else 0.
int makeDirectories(const std::string& path, bool& made) {
    struct stat status;
    if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const std::size_t last = path.find_last_not_of('/');
    const std::size_t slash = last == std::string::npos ? std::string::npos : path.find_last_of('/', last);
    if (slash != std::string::npos && slash > 0) {
        bool parentMade = false;
        if (const int error = makeDirectories(path.substr(0, slash), parentMade); error != 0) return error;
    }
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    made = true;
    return 0;
}

}  // namespace

std::vector<std::string> seriesStems(const std::vector<std::string>& seriesNames) {
    std::vector<std::string> stems;
    stems.reserve(seriesNames.size());
    for (const std::string& name : seriesNames) stems.push_back(sanitizedStem(name));
    // Every series' own stem is reserved, so a generated NAME-2 never takes
    // the stem of a series called NAME-2.
    const std::set<std::string> own(stems.begin(), stems.end());
    std::set<std::string> taken;
    for (std::string& stem : stems) {
        if (taken.insert(stem).second) continue;
        for (int k = 2;; ++k) {
            std::string candidate = stem + "-" + std::to_string(k);
            if (!own.contains(candidate) && taken.insert(candidate).second) {
                stem = std::move(candidate);
                break;
            }
        }
    }
    return stems;
}

base::Result<bool> makeDirectory(const std::string& path) {
    bool made = false;
    if (const int error = makeDirectories(path, made); error != 0) return base::failure(std::strerror(error));
    return made;
}

std::string resolvedTarget(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    char* real = ::realpath(dir.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved = std::string(real) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::free(real);
    return resolved;
}

void OutputClaims::addInputs(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (input != standardStream) inputs_.add(input, identityOf(input));
}

base::Status OutputClaims::check(const std::string& path, const std::string& input) const {
    if (path == standardStream) return base::Status::success();
    if (const std::string* over = inputs_.writtenOver(path))
        return base::Status::failure("output file \"" + path + "\" is the input file \"" + *over +
                                     "\": writing it would destroy the input");
    if (const auto it = written_.find(resolvedTarget(path)); it != written_.end()) {
        if (it->second != input)
            return base::Status::failure("output file \"" + path + "\" was already written for input \"" + it->second +
                                         "\"");
        return base::Status::failure("output file \"" + path + "\" is named for two outputs of this input");
    }
    return base::Status::success();
}

void OutputClaims::claim(const std::string& path, const std::string& input) {
    if (path != standardStream) written_[resolvedTarget(path)] = input;
}

}  // namespace detrend::output
