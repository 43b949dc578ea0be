#include "driver/lines.hpp"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include "driver/failure.hpp"

namespace detrend {
namespace {
constexpr std::size_t initialBuffer = 1 << 20;
}

LineReader::LineReader(int fd, std::string description)
    : fd_(fd), description_(std::move(description)), buffer_(initialBuffer), data_(buffer_.data()) {}

LineReader::LineReader(std::string_view bytes, std::string description)
    : description_(std::move(description)), data_(bytes.data()), end_(bytes.size()), atEnd_(true) {}

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
        if (end_ > maxLineLength) failTooLong();
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
        if (errno != EINTR) fail("cannot read " + description_ + ": " + std::strerror(errno));
    }
}

void LineReader::failTooLong() const {
    fail("line " + std::to_string(lineNumber_ + 1) + " of " + description_ + " is longer than " +
         std::to_string(maxLineLength >> 20) + " MiB");
}

bool LineReader::next() {
    const char* newline;
    for (;;) {
        newline = static_cast<const char*>(std::memchr(data_ + searched_, '\n', end_ - searched_));
        if (newline != nullptr) break;
        searched_ = end_;
        if (!refill()) break;
    }
    std::size_t stop;  // end of the line's text
    if (newline != nullptr) {
        stop = static_cast<std::size_t>(newline - data_);
    } else if (begin_ < end_) {
        stop = end_;  // last line without a line end
    } else {
        line_ = {};
        return false;
    }
    std::string_view raw(data_ + begin_, stop - begin_);
    if (raw.size() > maxLineLength) failTooLong();
    begin_ = searched_ = newline != nullptr ? stop + 1 : stop;
    ++lineNumber_;

    // Two vectorised scans; find_first_of would test each byte against
    // the set one call at a time.
    if (raw.empty() || (std::memchr(raw.data(), '\t', raw.size()) == nullptr &&
                        std::memchr(raw.data(), '\r', raw.size()) == nullptr)) {
        line_ = raw;
        return true;
    }
    cooked_.clear();
    for (char c : raw) {
        if (c == '\r') continue;
        if (c == '\t') {
            cooked_.append(8 - cooked_.size() % 8, ' ');
        } else {
            cooked_.push_back(c);
        }
        if (cooked_.size() > maxLineLength) {
            --lineNumber_;
            failTooLong();
        }
    }
    line_ = cooked_;
    return true;
}

}  // namespace detrend
