// The estimator's time-stamped progress lines of verbose mode.
#pragma once

#include <cstdio>

namespace talvik {

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
