#include "formats/lines.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace detrend::formats {
namespace {
constexpr std::size_t initialBuffer = 1 << 20;
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t npos = std::string_view::npos;
}  // namespace

LineReader::LineReader(int fd, std::string description, LineRules rules)
    : fd_(fd), description_(std::move(description)), rules_(rules), buffer_(initialBuffer), data_(buffer_.data()) {}

LineReader::LineReader(std::string_view bytes, std::string description, LineRules rules)
    : description_(std::move(description)), rules_(rules), atEnd_(true) {
    if (rules_.ends == LineRules::Ends::batch) {
        if (bytes.starts_with(byteOrderMark)) bytes.remove_prefix(byteOrderMark.size());
        while (bytes.ends_with('\x1A')) bytes.remove_suffix(1);
    }
    data_ = bytes.data();
    end_ = bytes.size();
}

// Appends more bytes from the descriptor; false when there are none.
bool LineReader::refill() {
    if (atEnd_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        searched_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        if (end_ > maxLineLength) return failTooLong();
        buffer_.resize(buffer_.size() * 2);
    }
    data_ = buffer_.data();
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            atEnd_ = true;
            return false;
        }
        if (errno != EINTR) {
            status_ = base::failure("cannot read " + description_ + ": " + std::strerror(errno));
            atEnd_ = true;
            return false;
        }
    }
}

bool LineReader::failTooLong() {
    status_ = base::failure("line " + std::to_string(lineNumber_ + 1) + " of " + description_ + " is longer than " +
                            std::to_string(maxLineLength >> 20) + " MiB");
    atEnd_ = true;
    begin_ = searched_ = end_;
    line_ = {};
    return false;
}

bool LineReader::next() {
    if (!status_) return false;
    const char* newline;
    for (;;) {
        newline = searched_ < end_ ? static_cast<const char*>(std::memchr(data_ + searched_, '\n', end_ - searched_))
                                   : nullptr;
        if (newline != nullptr) break;
        searched_ = end_;
        if (!refill()) break;
    }
    if (!status_) return false;
    std::size_t stop;  // end of the line's text
    if (newline != nullptr) {
        stop = static_cast<std::size_t>(newline - data_);
    } else if (begin_ < end_) {
        stop = end_;  // last line without a line end
    } else {
        line_ = {};
        return false;
    }
    std::size_t next = newline != nullptr ? stop + 1 : stop;  // where the next line begins
    if (rules_.ends == LineRules::Ends::batch) {
        // A carriage return ends the line, and so do carriage returns
        // followed by the line feed, all of them together.
        if (const void* cr = std::memchr(data_ + begin_, '\r', stop - begin_)) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - data_);
            const bool beforeNewline =
                newline != nullptr && std::string_view(data_ + at, stop - at).find_first_not_of('\r') == npos;
            if (!beforeNewline) next = at + 1;
            stop = at;
        }
    }
    std::string_view raw(data_ + begin_, stop - begin_);
    if (raw.size() > maxLineLength) return failTooLong();
    // No line feed lies before the one found: the search goes on from there.
    searched_ = std::max(next, newline != nullptr ? static_cast<std::size_t>(newline - data_) : end_);
    begin_ = next;
    if (lineNumber_++ == 0 && rules_.ends == LineRules::Ends::batch && raw.starts_with(byteOrderMark))
        raw.remove_prefix(byteOrderMark.size());
    return cook(raw);
}

// Hands out `raw` as the current line, rewritten where the rules ask for it.
bool LineReader::cook(std::string_view raw) {
    const bool dropReturns = rules_.ends == LineRules::Ends::dialogue;
    // Vectorised scans; find_first_of would test each byte against the set
    // one call at a time.
    const bool hasTab = rules_.expandTabs && std::memchr(raw.data(), '\t', raw.size()) != nullptr;
    const bool hasReturn = dropReturns && std::memchr(raw.data(), '\r', raw.size()) != nullptr;
    if (raw.empty() || (!hasTab && !hasReturn)) {
        line_ = raw;
        return true;
    }
    cooked_.clear();
    for (char c : raw) {
        if (c == '\r' && dropReturns) continue;
        if (c == '\t' && rules_.expandTabs) {
            cooked_.append(8 - cooked_.size() % 8, ' ');
        } else {
            cooked_.push_back(c);
        }
        if (cooked_.size() > maxLineLength) {
            --lineNumber_;
            return failTooLong();
        }
    }
    line_ = cooked_;
    return true;
}

bool isBlankLine(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace detrend::formats
