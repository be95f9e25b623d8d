// The exceptions of the random-number classes: misuse and failed table construction.
#pragma once

#include <exception>
#include <string>

namespace brisolt {

// The text is "\n\nAn exception has been thrown\n", the class's prefix and the message, cut
// at 511 characters: the size of the one message buffer the original classes kept.
class Exception : public std::exception {
  public:
    explicit Exception(const std::string& message) : Exception("", message) {}
    const char* what() const noexcept override { return exception_text.c_str(); }
    const std::string& text() const { return exception_text; }

  protected:
    Exception(const char* prefix, const std::string& message);

  private:
    std::string exception_text;
};

class Logic_error : public Exception {
  public:
    explicit Logic_error(const std::string& message) : Exception("Logic error:- ", message) {}
};

class Runtime_error : public Exception {
  public:
    explicit Runtime_error(const std::string& message) : Exception("Runtime error:- ", message) {}
};

class Bad_alloc : public Exception {
  public:
    explicit Bad_alloc(const std::string& message) : Exception("bad allocation\n", message) {}
};

inline constexpr size_t kExceptionTextLimit = 511;

}  // namespace brisolt
