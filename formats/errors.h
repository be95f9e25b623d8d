// The errors that end a run of the estimator, each with the message that talvik prints.
#pragma once

#include <stdexcept>
#include <string>

namespace formats {

// Carries a fatal message up to its caller: talvik's main() prints "<program>: <message>" on
// standard error and ends the process with `status`, the Python module raises it. Unwinding
// instead of exit() lets tests catch it and lets temporary files be removed on the way out.
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

}  // namespace formats
