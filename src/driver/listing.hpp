// The results listing: one block per series (an empty line, the series
// heading, the column heading, one line per year), every line ended by a
// carriage return and a line feed.
#pragma once

#include <span>
#include <string>
#include <string_view>

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

    // Writes one block laid out by layoutListingBlock. A write failure ends
    // the run with a report.
    void writeBlock(std::string_view block);
    // Closes the file, emptied if no block was written; ends the run with a
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

// Lays out one series' block into `out` (replacing what it held): the empty
// line, " Input series is: " with the name as a 20-character field, the
// column heading, then for each value i the year firstYear + i in 5 columns
// and series, spline and residual in 8 columns with 3 decimals each.
void layoutListingBlock(std::string& out, const SeriesName& name, long long firstYear, std::span<const float> series,
                        std::span<const float> spline, std::span<const float> residual);

}  // namespace detrend
