// The results listing: one block per series (an empty line, the series
// heading, the column heading, one line per year), every line ended by a
// carriage return and a line feed.
#pragma once

#include <memory>
#include <string>

#include "driver/series_name.hpp"

namespace detrend {

class Listing {
public:
    // Opens the file, creating it when missing. Its old contents stay until
    // the first block is written or the listing is closed: a run that ends
    // before leaves them as they were. Ends the run with a report naming the
    // output file and the cause when it cannot be opened.
    explicit Listing(const std::string& path);
    // Writes to `fd`, which stays open and owned by the caller; `description`
    // names it in error reports ("output file \"x\"", "standard output").
    Listing(int fd, std::string description);
    // Closes the file; a block not yet ended is dropped, and old contents
    // not yet replaced stay.
    ~Listing();
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // Starts a block: the empty line, " Input series is: " with the name as
    // a 20-character field, and the column heading.
    void heading(const SeriesName& name);
    // The year in 5 columns, then series, spline and residual in 8 columns
    // with 3 decimals each.
    void yearLine(long long year, double series, double spline, double residual);
    // Writes the block to the file. A write failure ends the run with a report.
    void endBlock();
    // Closes the file, emptied if no block was written; ends the run with a
    // report if that fails.
    void close();

private:
    void append(std::string_view text);
    // Drops the old contents of the file, once.
    void empty();

    std::string description_;
    int fd_ = -1;
    bool ownsFd_ = true;
    bool emptied_ = false;  // old contents dropped, or none to drop
    // The block being built: at most the heading and 10000 year lines.
    std::unique_ptr<char[]> block_;
    std::size_t used_ = 0;
};

}  // namespace detrend
