// An output file (a results listing, a CSV table, a plot file) that never
// leaves a target half replaced.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "base/result.hpp"

namespace detrend::output {

using base::Status;

// When an existing file's contents are replaced.
enum class Replace {
    // When the first bytes are written (or the file is closed): the
    // dialogue's listing, whose completed blocks stay if the run ends early.
    whenWritten,
    // When the file is complete: the bytes go to a temporary file in the
    // same directory, renamed over the target once closed without error; on
    // any failure, or an interruption, the temporary is removed and the
    // target stays as it was. Only an absent target or a regular file is
    // replaced so (keeping its permission bits); a device, a pipe or a
    // symbolic link is written in place, as whenWritten.
    whenComplete,
};

class OutputFile {
public:
    // Opens the file, creating it when missing. opened() says whether it
    // could be opened. `what` names such a file in messages.
    OutputFile(const std::string& path, Replace replace, std::string_view what = "output file");
    // Writes to `fd`, which stays open and owned by the caller; `description`
    // names it in messages ("standard output").
    OutputFile(int fd, std::string description);
    // Closes the file without completing it: a temporary is removed, and old
    // contents not yet replaced stay.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Whether the file could be opened: "cannot open output file "PATH": CAUSE"
    // when not.
    const Status& opened() const { return opened_; }
    // Whether it is a terminal.
    bool isTerminal() const;
    // Writes `bytes`; "cannot write ..." with the cause when that fails.
    Status write(std::string_view bytes);
    // Completes the file: closes it (emptied if nothing was written) and,
    // for a temporary, renames it over the target: finish() and commit().
    Status close();
    // Closes the file, complete, but leaves a temporary where it is: the
    // target is replaced only by commit(), or never when the OutputFile is
    // destroyed first.
    Status finish();
    // Renames a finished temporary over the target; nothing for a file
    // written in place or a temporary not finished (its target stays as it
    // was).
    Status commit();
    // The path named, or the description of a descriptor.
    const std::string& target() const { return target_.empty() ? description_ : target_; }

private:
    void openInPlace(const std::string& path);
    void openTemporary(const std::string& path, const struct stat* existing);
    Status failure(const char* what, int error) const;
    // Drops the old contents of the file, once.
    Status empty();
    void discard();

    std::string target_;  // the path named; empty for a descriptor
    std::string written_;  // the temporary, or the target
    std::string description_;
    int fd_ = -1;
    bool ownsFd_ = true;
    bool temporary_ = false;
    bool emptied_ = false;  // old contents dropped, or none to drop
    bool finished_ = false;  // closed complete by finish()
    Status opened_ = Status::success();
};

// Writes `bytes` as the whole of file `path`, finished but not committed:
// the target is replaced by the file's commit().
base::Result<std::unique_ptr<OutputFile>> writeFinished(const std::string& path, std::string_view bytes,
                                                        std::string_view what = "output file");

// Writes `bytes` as the whole of file `path`, replaced when complete.
Status writeWholeFile(const std::string& path, std::string_view bytes, std::string_view what = "output file");

}  // namespace detrend::output
