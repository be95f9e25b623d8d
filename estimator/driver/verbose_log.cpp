#include "driver/verbose_log.h"

#include <cstdarg>
#include <ctime>

namespace talvik {

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
