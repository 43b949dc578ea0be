// Line-by-line reading of text: from a file descriptor (the console, the
// dialogue's input table), read as needed, or from bytes in memory (the batch
// readers, tests). One splitter for every reader; the rules of a line differ
// between the dialogue and the batch readers (LineRules).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace detrend::formats {

struct LineRules {
    // Dialogue: a line ends at LF and every carriage return in it is
    // dropped. Batch: a line ends at LF, at CR LF, at CR CR LF (any carriage
    // returns before LF) or at a CR alone (older Mac files); a UTF-8 byte
    // order mark before the first line and DOS end-of-file marks (Ctrl-Z) at
    // the very end of bytes in memory are skipped. (From a descriptor, a
    // batch line is handed out once the LF after it, or the end, is read.)
    enum class Ends { dialogue, batch } ends = Ends::dialogue;
    // Tabs become blanks up to the next stop of every 8 columns.
    bool expandTabs = true;

    static constexpr LineRules dialogue() { return {Ends::dialogue, true}; }
    static constexpr LineRules batch(bool expandTabs) { return {Ends::batch, expandTabs}; }
};

class LineReader {
public:
    // The longest line accepted (tabs expanded).
    static constexpr std::size_t maxLineLength = std::size_t{64} << 20;

    // Reads from an open descriptor, which stays owned by the caller.
    // `description` names the source in error reports ("input file \"x\"").
    LineReader(int fd, std::string description, LineRules rules = LineRules::dialogue());
    // Reads from `bytes`, which must outlive the reader.
    LineReader(std::string_view bytes, std::string description, LineRules rules = LineRules::dialogue());

    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Moves to the next line: true, or false at the end of the source or
    // when it cannot be read (a read error of the descriptor, or a line
    // longer than maxLineLength); status() then says why.
    bool next();
    // The current line, valid until the next call of next().
    std::string_view line() const { return line_; }
    // 1-based number of the current line (0 before the first).
    long lineNumber() const { return lineNumber_; }
    const std::string& description() const { return description_; }
    // Whether the source could be read; if not, why, in words that name the
    // source (and the line, when one is too long), about the source as a
    // whole (line and column 0).
    const base::Status& status() const { return status_; }

private:
    bool refill();
    bool failTooLong();
    bool cook(std::string_view raw);

    int fd_ = -1;
    std::string description_;
    LineRules rules_;
    std::vector<char> buffer_;
    const char* data_ = nullptr;  // buffer_ or the caller's bytes
    std::size_t begin_ = 0, end_ = 0, searched_ = 0;
    bool atEnd_ = false;
    std::string cooked_;  // the current line when it needed rewriting
    std::string_view line_;
    long lineNumber_ = 0;
    base::Status status_;
};

// True when `line` holds nothing but blanks and tabs.
bool isBlankLine(std::string_view line);

}  // namespace detrend::formats
