#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace vantrel {

/// What went wrong: the operation tried, the path it addressed and the cause
/// (the system's error text, or a text of our own).
struct Error {
    std::string operation;
    std::string path;
    std::string message;
    int code = 0; ///< the errno value behind `message`; 0 for causes of our own

    /// One line for the user, e.g. "write '/home/a/x.vtl': Permission denied".
    [[nodiscard]] std::string text() const {
        std::string out = operation;
        if (!path.empty())
            out += " '" + path + "'";
        if (!message.empty())
            out += ": " + message;
        return out;
    }
};

namespace detail {
// strerror_r comes in two flavours depending on the feature macros in force;
// overloads pick the right reading of its result without a macro test.
inline std::string strerrorResult(int rc, const char* buffer, int errnum) {
    return rc == 0 ? std::string(buffer) : "Unknown error " + std::to_string(errnum);
}
inline std::string strerrorResult(const char* text, const char* /*buffer*/, int /*errnum*/) {
    return text != nullptr ? std::string(text) : std::string();
}
} // namespace detail

/// The system's text for an errno value (thread-safe).
[[nodiscard]] inline std::string systemErrorText(int errnum) {
    char buffer[256] = {};
    return detail::strerrorResult(strerror_r(errnum, buffer, sizeof buffer), buffer, errnum);
}

/// Success, or the Error that stopped an operation. Core functions return it
/// instead of throwing, so callers must look at it.
class [[nodiscard]] Result {
public:
    /// Success.
    Result() = default;
    /// Failure with the given error.
    Result(Error error) : error_(std::move(error)) {}

    /// Failure of `operation` on `path` with the system's text for `errnum`.
    static Result fromErrno(std::string operation, std::string path, int errnum) {
        return Error{std::move(operation), std::move(path), systemErrorText(errnum), errnum};
    }

    [[nodiscard]] bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }

    /// The error; an empty one on success.
    [[nodiscard]] const Error& error() const {
        static const Error none;
        return error_ ? *error_ : none;
    }

private:
    std::optional<Error> error_;
};

} // namespace vantrel
