#include "formats/errors.h"

#include <cstdarg>

namespace formats {
namespace {

std::string vformat_text(const char* format, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(size));
    return text;
}

}  // namespace

std::string format_text(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = vformat_text(format, args);
    va_end(args);
    return text;
}

void fatal_unless(bool condition, int status, const char* format, ...) {
    if (condition) {
        return;
    }
    std::va_list args;
    va_start(args, format);
    std::string message = vformat_text(format, args);
    va_end(args);
    throw FatalError(status, std::move(message));
}

void fatal(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string message = vformat_text(format, args);
    va_end(args);
    throw FatalError(1, std::move(message));
}

}  // namespace formats
