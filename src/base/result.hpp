// The one way an operation says it failed: a Result holds either its value
// or a Diagnostic, what went wrong and where. A Status is a Result without a
// value: the outcome of a write, a check, a step that makes nothing.
// Running out of memory is the one failure left to an exception
// (std::bad_alloc), caught once in each face.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace detrend::base {

// What went wrong, as words for a message (without "detrend:" and without
// the file's name), and where: line and column are 1-based, 0 when not
// known (a line of 0: the input as a whole).
struct Diagnostic {
    std::string what;
    long line = 0;
    long column = 0;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}
    Result(Diagnostic diagnostic) : held_(std::in_place_index<1>, std::move(diagnostic)) {}

    bool ok() const { return held_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only when ok().
    T& value() & { return std::get<0>(held_); }
    const T& value() const& { return std::get<0>(held_); }
    T&& value() && { return std::get<0>(std::move(held_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // What went wrong; only when !ok().
    const Diagnostic& error() const { return std::get<1>(held_); }
    const std::string& why() const { return error().what; }

private:
    std::variant<T, Diagnostic> held_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Diagnostic diagnostic) : error_(std::move(diagnostic)) {}

    static Result success() { return {}; }
    static Result failure(std::string what, long line = 0, long column = 0) {
        return Diagnostic{std::move(what), line, column};
    }

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }

    // What went wrong; only when !ok().
    const Diagnostic& error() const { return *error_; }
    // Why it failed; empty on success.
    const std::string& why() const {
        static const std::string none;
        return error_ ? error_->what : none;
    }

private:
    std::optional<Diagnostic> error_;
};

using Status = Result<void>;

// A Diagnostic for a Result of any type: `return base::failure("...")`.
inline Diagnostic failure(std::string what, long line = 0, long column = 0) {
    return Diagnostic{std::move(what), line, column};
}

}  // namespace detrend::base
