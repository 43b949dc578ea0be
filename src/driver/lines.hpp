// Line-by-line reading of a text source: a file descriptor (the console, the
// input table) or bytes in memory (tests). Carriage returns are dropped and
// tabs expanded to stops every 8 columns before a line is handed out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace detrend {

class LineReader {
public:
    // The longest line accepted (tabs expanded); a longer one ends the run.
    static constexpr std::size_t maxLineLength = std::size_t{64} << 20;

    // Reads from an open descriptor, which stays owned by the caller.
    // `description` names the source in error reports ("input file \"x\"").
    LineReader(int fd, std::string description);
    // Reads from `bytes`, which must outlive the reader.
    LineReader(std::string_view bytes, std::string description);

    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Moves to the next line: true, or false at the end of the source.
    // A read error of the descriptor, or a line longer than maxLineLength,
    // ends the run with a report.
    bool next();
    // The current line, valid until the next call of next().
    std::string_view line() const { return line_; }
    // 1-based number of the current line (0 before the first).
    long lineNumber() const { return lineNumber_; }
    const std::string& description() const { return description_; }

private:
    bool refill();
    [[noreturn]] void failTooLong() const;

    int fd_ = -1;
    std::string description_;
    std::vector<char> buffer_;
    const char* data_ = nullptr;  // buffer_ or the caller's bytes
    std::size_t begin_ = 0, end_ = 0, searched_ = 0;
    bool atEnd_ = false;
    std::string cooked_;  // the current line when it needed rewriting
    std::string_view line_;
    long lineNumber_ = 0;
};

}  // namespace detrend
