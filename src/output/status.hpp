// The outcome of an operation on files that can fail: success, or why it
// failed as words for a message (without "detrend:").
#pragma once

#include <string>
#include <utility>

namespace detrend::output {

class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(std::string why) { return Status(std::move(why)); }

    bool ok() const { return failed_ == false; }
    // Why it failed; empty on success.
    const std::string& why() const { return why_; }

private:
    Status() = default;
    explicit Status(std::string why) : why_(std::move(why)), failed_(true) {}

    std::string why_;
    bool failed_ = false;
};

}  // namespace detrend::output
