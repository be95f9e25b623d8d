// Fatal errors and the time-stamped verbose log of the estimator.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace talvik {

// Carries a fatal message up to main(), which prints "<program>: <message>" on standard
// error and ends the process with `status`. Unwinding instead of exit() lets tests catch it
// and lets temporary files be removed on the way out.
class FatalError : public std::runtime_error {
  public:
    FatalError(int status, std::string message)
        : std::runtime_error(std::move(message)), status_(status) {}
    int status() const { return status_; }

  private:
    int status_;
};

// printf into a std::string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// When `condition` is false: throws FatalError with the formatted message.
void fatal_unless(bool condition, int status, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Shorthand for the estimator's one exit status of a failed run.
[[noreturn]] void fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Progress lines: "%H:%M:%S: " and the message, flushed at once so that a reader on a pipe
// sees each line as it happens. Does nothing when disabled.
class VerboseLog {
  public:
    explicit VerboseLog(bool enabled, std::FILE* out = stdout) : enabled_(enabled), out_(out) {}
    bool enabled() const { return enabled_; }
    std::FILE* stream() const { return out_; }
    void operator()(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  private:
    bool enabled_;
    std::FILE* out_;
};

}  // namespace talvik
