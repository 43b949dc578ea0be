// An output file (the results listing, a CSV table) that replaces an existing
// file's contents only once there is something to put in their place.
#pragma once

#include <string>
#include <string_view>

namespace detrend {

class OutputFile {
public:
    // Opens the file, creating it when missing. Its old contents stay until
    // the first bytes are written or the file is closed: a run that ends
    // before leaves them as they were. Ends the run with a report naming the
    // output file and the cause when it cannot be opened.
    explicit OutputFile(const std::string& path);
    // Writes to `fd`, which stays open and owned by the caller; `description`
    // names it in error reports ("output file \"x\"", "standard output").
    OutputFile(int fd, std::string description);
    // Closes the file; old contents not yet replaced stay.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes one block laid out by layoutOutputFileBlock. A write failure ends
    // the run with a report.
    void write(std::string_view block);
    // Closes the file, emptied if nothing was written; ends the run with a
    // report if that fails.
    void close();

private:
    // Drops the old contents of the file, once.
    void empty();

    std::string description_;
    int fd_ = -1;
    bool ownsFd_ = true;
    bool emptied_ = false;  // old contents dropped, or none to drop
};

}  // namespace detrend
