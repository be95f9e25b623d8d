#include "file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace talvik {

bool next_line_piece(std::span<const uint8_t> text, size_t position, LinePiece& piece) {
    if (position >= text.size()) {
        return false;
    }
    size_t end = position;
    while (end < text.size() && end - position < kLinePieceLength && text[end] != '\n') {
        ++end;
    }
    const size_t line_end = end;
    if (end < text.size() && text[end] == '\n') {
        ++end;
    }
    const void* nul = std::memchr(text.data() + position, 0, line_end - position);
    piece.begin = position;
    piece.end = end;
    piece.text_end =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - text.data()) : line_end;
    return true;
}

bool next_text_line(std::span<const uint8_t> text, size_t& position, std::string_view& line) {
    LinePiece piece;
    if (!next_line_piece(text, position, piece)) {
        return false;
    }
    position = piece.end;
    line = std::string_view(reinterpret_cast<const char*>(text.data()) + piece.begin,
                            piece.text_end - piece.begin);
    if (!line.empty() && line.back() == '\r' && piece.text_end + 1 == piece.end) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    return true;
}

int32_t atoi_value(const char* text) {
    // strtol saturates at the range of long; the cast wraps like glibc's atoi.
    return static_cast<int32_t>(std::strtol(text, nullptr, 10));
}

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
    ReadOutcome outcome = ReadOutcome::ok;
    try {
        // One read for a file of known size; one that grows meanwhile, or that reports no
        // size (/proc), grows the buffer as it goes.
        const size_t size = static_cast<size_t>(info.st_size);
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
                outcome = ReadOutcome::read_error;
                break;
            }
            if (n == 0) {
                break;
            }
            filled += static_cast<size_t>(n);
        }
        bytes.resize(filled);
    } catch (const std::bad_alloc&) {
        outcome = ReadOutcome::read_error;
    }
    ::close(fd);
    return outcome;
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
    fs::path target = path;
    if (fs::is_symlink(target, error)) {
        target = fs::canonical(target, error);
        if (error) {
            return false;
        }
    }
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
    const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

}  // namespace talvik
