// Preloaded (LD_PRELOAD) into a program under test to give it the file system of a shared
// folder, which lacks what a local disk has: with NO_LOCKS=1 every fcntl lock request fails
// with ENOLCK, as on NFS without its lock service; with NO_EXCHANGE=1 renameat2 refuses
// RENAME_EXCHANGE and RENAME_NOREPLACE with EINVAL, as NFS and most FUSE file systems do.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function>
Function next_definition(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

bool taken(const char* feature) {
    const char* value = std::getenv(feature);
    return value && std::strcmp(value, "1") == 0;
}

bool is_lock_request(int command) {
    return command == F_SETLK || command == F_SETLKW || command == F_GETLK ||
           command == F_OFD_SETLK || command == F_OFD_SETLKW || command == F_OFD_GETLK;
}

using Fcntl = int (*)(int, int, ...);

// fcntl's third argument is an int or a pointer; it is passed on as it came.
int limited_fcntl(Fcntl real, int fd, int command, void* argument) {
    if (is_lock_request(command) && taken("NO_LOCKS")) {
        errno = ENOLCK;
        return -1;
    }
    return real(fd, command, argument);
}

}  // namespace

extern "C" {

int fcntl(int fd, int command, ...) {
    static const auto real = next_definition<Fcntl>("fcntl");
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return limited_fcntl(real, fd, command, argument);
}

// The name under which programs built with 64-bit file offsets call it.
int fcntl64(int fd, int command, ...) {
    static const auto real = next_definition<Fcntl>("fcntl64");
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return limited_fcntl(real, fd, command, argument);
}

int renameat2(int from_directory, const char* from, int to_directory, const char* to,
              unsigned int flags) {
    static const auto real =
        next_definition<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    if (flags != 0 && taken("NO_EXCHANGE")) {
        errno = EINVAL;
        return -1;
    }
    return real(from_directory, from, to_directory, to, flags);
}

}  // extern "C"
