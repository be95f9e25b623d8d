#include "results_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "file_bytes.h"

namespace talvik {
namespace {

// Waits for the whole file. Advisory: it orders the runs of talvik among themselves.
bool lock_whole_file(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(fd, F_SETLKW, &lock) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool append_results_row(const std::string& path, const std::string& data_set_directory,
                        const IntrinsicVolumes& volumes) {
    std::string text = format_text("%-32s %20.16f %20.16f %20.16f\n", data_set_directory.c_str(),
                                   volumes.v2, volumes.v1, volumes.v0);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    // Only a regular file can be locked and cut back; a pipe or a terminal (/dev/stdout)
    // just gets the text.
    const bool regular = ok && S_ISREG(info.st_mode);
    if (regular) {
        ok = lock_whole_file(fd) && ::fstat(fd, &info) == 0;
    }
    if (ok) {
        if (info.st_size == 0) {
            text.insert(0, "; Data_set\tV2\tV1\tV0\n");
        }
        ok = write_all(fd, text);
        if (!ok && regular) {
            // A full disk or a size limit: no torn row for the next run to glue onto.
            while (::ftruncate(fd, info.st_size) != 0 && errno == EINTR) {
            }
        }
    }
    // Closing releases the lock.
    ok = (::close(fd) == 0) && ok;
    return ok;
}

}  // namespace talvik
