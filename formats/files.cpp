#include "formats/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace formats {

ReadOutcome read_whole_file(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    // Only a regular file: opening a FIFO waits for a writer, a device such as /dev/zero never
    // ends, and opening some devices acts on them. Looked up before the open, and checked
    // again on what was opened, in case the name changed in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return ReadOutcome::cannot_open;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return ReadOutcome::cannot_open;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadOutcome::cannot_open;
    }
    const ReadOutcome outcome = read_all(fd, bytes) ? ReadOutcome::ok : ReadOutcome::read_error;
    ::close(fd);
    return outcome;
}

bool read_all(int fd, std::vector<uint8_t>& bytes) {
    bytes.clear();
    struct stat info {};
    const off_t known = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
    try {
        // One read for a file of known size; one that grows meanwhile, or that reports no
        // size (/proc), grows the buffer as it goes.
        const size_t size = static_cast<size_t>(known);
        bytes.resize(size > 0 ? size + 1 : 65536);
        size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                bytes.resize(bytes.size() * 2);
            }
            const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                bytes.resize(filled);
                return false;
            }
            if (n == 0) {
                break;
            }
            filled += static_cast<size_t>(n);
        }
        bytes.resize(filled);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return false;
    }
    return true;
}

bool write_all(int fd, std::string_view text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

bool replace_file_contents(const std::string& path, const std::string& contents) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::optional<fs::path> resolved = resolve_symlink(path, error);
    if (!resolved) {
        return false;
    }
    const fs::path& target = *resolved;
    struct stat old_info {};
    const bool existed = ::stat(target.c_str(), &old_info) == 0;

    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = target.filename().string();
    name.insert(0, 1, '.');
    name.append(".XXXXXX");
    std::string temp = (directory / name).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = write_all(fd, contents);
    // Keep the permissions the user gave the file; mkstemp creates it private.
    const mode_t mode = existed ? (old_info.st_mode & 07777) : 0644;
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    sync_directory(directory.string());
    return true;
}

std::optional<std::filesystem::path> resolve_symlink(const std::filesystem::path& path,
                                                     std::error_code& error) {
    namespace fs = std::filesystem;
    error.clear();
    if (!fs::is_symlink(path, error)) {
        // A name that does not exist yet is written as it is.
        if (error == std::errc::no_such_file_or_directory) {
            error.clear();
        }
        return error ? std::nullopt : std::optional(path);
    }
    fs::path target = fs::canonical(path, error);
    return error ? std::nullopt : std::optional(std::move(target));
}

void sync_directory(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace formats
