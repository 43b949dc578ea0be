// An output file (the results listing, a CSV table) that replaces an existing
// file's contents only once there is something to put in their place.
#pragma once

#include <string>
#include <string_view>

#include "output/status.hpp"

namespace detrend::output {

class OutputFile {
public:
    // Opens the file, creating it when missing. Its old contents stay until
    // the first bytes are written or the file is closed: a run that ends
    // before leaves them as they were. open() says whether it could be opened.
    explicit OutputFile(const std::string& path);
    // Writes to `fd`, which stays open and owned by the caller; `description`
    // names it in messages ("output file \"x\"", "standard output").
    OutputFile(int fd, std::string description);
    // Closes the file; old contents not yet replaced stay.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Whether the file could be opened: "cannot open output file ..." with
    // the cause when not.
    const Status& opened() const { return opened_; }
    // Writes `bytes`; "cannot write ..." with the cause when that fails.
    Status write(std::string_view bytes);
    // Closes the file, emptied if nothing was written.
    Status close();

private:
    // Drops the old contents of the file, once.
    Status empty();

    std::string description_;
    int fd_ = -1;
    bool ownsFd_ = true;
    bool emptied_ = false;  // old contents dropped, or none to drop
    Status opened_ = Status::success();
};

}  // namespace detrend::output
