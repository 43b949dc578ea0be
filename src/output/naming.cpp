#include "output/naming.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text.hpp"

namespace detrend::output {

std::string_view outputSuffix(OutputKind kind, ChronologyFormat chronologyFormat) {
    switch (kind) {
        case OutputKind::listing: return ".out";
        case OutputKind::indices: return ".csv";
        case OutputKind::chronology: return chronologyFormat == ChronologyFormat::crn ? ".crn" : "-chron.csv";
        case OutputKind::residualChronology: return "-res.crn";
        case OutputKind::statistics: return "-stats.csv";
        case OutputKind::running: return "-running.csv";
        case OutputKind::fits: return "-fits.csv";
    }
    return "";
}

std::string residualCrnPath(const std::string& standard) {
    if (base::endsWithIgnoringCase(standard, ".crn"))
        return standard.substr(0, standard.size() - 4) + "-res" + standard.substr(standard.size() - 4);
    return standard + "-res.crn";
}

std::string_view seriesSuffix(SeriesFormat format) {
    switch (format) {
        case SeriesFormat::tucson: return ".rwl";
        case SeriesFormat::heidelberg: return ".fh";
        case SeriesFormat::csv: return "-series.csv";
    }
    return "";
}

std::optional<SeriesFormat> seriesFormatOf(std::string_view path) {
    if (base::endsWithIgnoringCase(path, ".rwl")) return SeriesFormat::tucson;
    if (base::endsWithIgnoringCase(path, ".fh")) return SeriesFormat::heidelberg;
    if (base::endsWithIgnoringCase(path, ".csv")) return SeriesFormat::csv;
    return std::nullopt;
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

std::string withoutExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= name) return path;
    return path.substr(0, dot);
}

CrossdatingNames crossdatingNames(const std::string& report, std::string_view pictureExtension) {
    const std::string stem = withoutExtension(report);
    return {stem + "-series.csv", stem + "-overall.csv", stem + "-segments.csv", stem + "-lags.csv",
            stem + "." + std::string(pictureExtension)};
}

std::string inputLabel(const std::string& input) { return input == standardStream ? "standard input" : input; }

std::string outputPath(const std::string& dir, const std::string& base, std::string_view suffix) {
    return dir + "/" + base + std::string(suffix);
}

namespace {

constexpr std::size_t longestStem = 100;

std::string sanitizedStem(std::string_view name) {
    std::string out(base::withoutTrailingBlanks(name));
    for (char& c : out) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (!kept) c = '_';
    }
    // A picture's name must fit a directory entry (255 bytes) beside the
    // input's base name: a longer name is cut, and told apart as a repeat.
    if (out.size() > longestStem) out.resize(longestStem);
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

// Whether `path` names the null device, which any number of outputs may
// be sent to.
bool isNullDevice(const std::string& path) {
    static const std::optional<FileIdentity> null = identityOf("/dev/null");
    return null && identityOf(path) == null;
}

}  // namespace

std::vector<std::string> seriesStems(const std::vector<std::string>& seriesNames) {
    std::vector<std::string> stems;
    stems.reserve(seriesNames.size());
    for (const std::string& name : seriesNames) stems.push_back(sanitizedStem(name));
    // Every series' own stem is reserved, so a generated NAME-2 never takes
    // the stem of a series called NAME-2. Stems are compared in any letter
    // case: most desktop file systems take OAK1 and oak1 for one file.
    std::set<std::string> own;
    for (const std::string& stem : stems) own.insert(base::asciiLowered(stem));
    std::set<std::string> taken;
    for (std::string& stem : stems) {
        if (taken.insert(base::asciiLowered(stem)).second) continue;
        for (int k = 2;; ++k) {
            std::string candidate = stem + "-" + std::to_string(k);
            const std::string key = base::asciiLowered(candidate);
            if (!own.contains(key) && taken.insert(key).second) {
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
    // An existing final symbolic link is followed, a dangling one too: the
    // file written is the one it points to.
    std::string target = path;
    for (int links = 0; links < 40; ++links) {
        struct stat status;
        if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        std::string pointed(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 4096), '\0');
        const ssize_t length = ::readlink(target.c_str(), pointed.data(), pointed.size());
        if (length <= 0) break;
        pointed.resize(static_cast<std::size_t>(length));
        const std::size_t slash = target.find_last_of('/');
        target = pointed.front() == '/' || slash == std::string::npos ? pointed : target.substr(0, slash + 1) + pointed;
    }
    const std::size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    char* real = ::realpath(dir.c_str(), nullptr);
    if (real == nullptr) return target;
    std::string resolved = std::string(real) + "/" + target.substr(slash == std::string::npos ? 0 : slash + 1);
    std::free(real);
    return resolved;
}

void OutputClaims::addInputs(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (input != standardStream) {
            inputs_.add(input, identityOf(input));
            continue;
        }
        // Standard input read from a file: that file is an input too.
        struct stat status;
        if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode))
            inputs_.add(input, FileIdentity{status.st_dev, status.st_ino});
    }
}

base::Status OutputClaims::check(const std::string& path, const std::string& input) const {
    if (path == standardStream || isNullDevice(path)) return base::Status::success();
    if (const std::string* over = inputs_.writtenOver(path))
        return base::Status::failure("output file \"" + path + "\" is " +
                                     (*over == standardStream ? "standard input" : "the input file \"" + *over + "\"") +
                                     ": writing it would destroy the input");
    if (const auto it = written_.find(resolvedTarget(path)); it != written_.end()) {
        if (it->second.empty())
            return base::Status::failure("output file \"" + path + "\" is named for " +
                                         (input.empty() ? "two tables" : "a table") + " of the whole run");
        if (it->second != input)
            return base::Status::failure("output file \"" + path + "\" was already written for input \"" + it->second +
                                         "\"");
        return base::Status::failure("output file \"" + path + "\" is named for two outputs of this input");
    }
    return base::Status::success();
}

base::Status OutputClaims::claimSiteCode(const std::string& path, const std::string& code, const std::string& input) {
    if (path == standardStream) return base::Status::success();
    const std::string resolved = resolvedTarget(path);
    const std::string dir = resolved.substr(0, resolved.find_last_of('/') + 1);
    const auto [it, added] = siteCodes_.emplace(std::pair(dir, code), input);
    if (added || it->second == input) return base::Status::success();
    return base::Status::failure("the chronology of site code " + base::quoted(code) +
                                 " was already written into this directory for input \"" + it->second +
                                 "\": give each input its own code (--site) or directory");
}

void OutputClaims::claim(const std::string& path, const std::string& input) {
    if (path != standardStream && !isNullDevice(path)) written_[resolvedTarget(path)] = input;
}

}  // namespace detrend::output
