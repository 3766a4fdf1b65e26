// Failures that library routines hand back to their caller instead of ending
// the process.  Only a program's main (see program_edge.h) prints them and
// chooses the exit status.
#pragma once
#include <optional>
#include <string>
#include <utility>

namespace seedbank {

// Why a routine could not do its work: the file concerned and the reason.
struct failure {
    enum class kind {
        cannot_open,  // a file to read or write could not be opened at all
        other,        // anything else: not a seed map, a write that failed, ...
        argument,     // a command-line argument refused; `file` is unused
    };
    kind what = kind::other;
    std::string file;
    std::string reason;
};

// A value, or the failure that prevented it.
template <class T>
class outcome {
public:
    outcome(T value) : value_(std::move(value)) {}
    outcome(failure error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T &value() { return *value_; }
    const T &value() const { return *value_; }
    const failure &error() const { return error_; }

private:
    std::optional<T> value_;
    failure error_;
};

// Success, or the failure.
class status {
public:
    status() = default;
    status(failure error) : failed_(true), error_(std::move(error)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const failure &error() const { return error_; }

private:
    bool failed_ = false;
    failure error_;
};

}  // namespace seedbank
