// Preloaded (LD_PRELOAD) into a program under test to kill it at a chosen point instead of a
// moment: the calls that change files (write, fchmod, fsync, close, rename) are counted, and
// call number KILL_AT_CALL ends the process with SIGKILL before it takes effect. A write is
// cut after half of its bytes, as a crash in the middle of it would leave them.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

template <typename Function>
Function next_definition(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

bool is_chosen_call() {
    static const long chosen = [] {
        const char* text = std::getenv("KILL_AT_CALL");
        return text ? std::atol(text) : 0L;
    }();
    static long calls = 0;
    return ++calls == chosen;
}

[[noreturn]] void die() {
    ::kill(::getpid(), SIGKILL);
    for (;;) {
        ::pause();
    }
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = next_definition<ssize_t (*)(int, const void*, size_t)>("write");
    if (is_chosen_call()) {
        real(fd, data, size / 2);
        die();
    }
    return real(fd, data, size);
}

int fchmod(int fd, mode_t mode) {
    static const auto real = next_definition<int (*)(int, mode_t)>("fchmod");
    if (is_chosen_call()) {
        die();
    }
    return real(fd, mode);
}

int fsync(int fd) {
    static const auto real = next_definition<int (*)(int)>("fsync");
    if (is_chosen_call()) {
        die();
    }
    return real(fd);
}

int close(int fd) {
    static const auto real = next_definition<int (*)(int)>("close");
    if (is_chosen_call()) {
        die();
    }
    return real(fd);
}

int rename(const char* from, const char* to) {
    static const auto real = next_definition<int (*)(const char*, const char*)>("rename");
    if (is_chosen_call()) {
        die();
    }
    return real(from, to);
}

}  // extern "C"
