#include "diagnostics.h"

#include <cstdarg>
#include <ctime>

namespace talvik {
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

void VerboseLog::operator()(const char* format, ...) const {
    if (!enabled_) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::fputs(stamp, out_);
    std::fputs(": ", out_);
    std::va_list args;
    va_start(args, format);
    std::vfprintf(out_, format, args);
    va_end(args);
    std::fflush(out_);
}

}  // namespace talvik
