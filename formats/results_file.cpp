#include "formats/results_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/files.h"
#include "formats/numbers.h"
#include "formats/text_lines.h"

namespace formats {
namespace {

// Waits for the whole file. Advisory: it orders the runs of talvik, and the front-end when it
// empties the file, among themselves. False with errno set when the lock cannot be had.
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

// Whether a lock request failed for want of locks (ENOLCK, EOPNOTSUPP, ...), not because
// another process holds the lock.
bool lacks_locks(int error) {
    return error != EAGAIN && error != EACCES && error != EDEADLK;
}

namespace fs = std::filesystem;

bool same_file(const std::string& a, const std::string& b) {
    std::error_code error;
    return !b.empty() && fs::equivalent(a, b, error) && !error;
}

// talvik loads every "*.pbm" entry of a data set; the name is refused in any case of letters,
// as such a file is most likely a slice.
bool slice_name(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    if (name.size() < 4) {
        return false;
    }
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return suffix == ".pbm";
}

// Rows are the lines that are not the header; the estimator never writes an empty one.
int count_rows(std::string_view text) {
    int rows = 0;
    for (const std::string_view line : split_lines(text)) {
        rows += !line.empty() && !line.starts_with(';');
    }
    return rows;
}

}  // namespace

bool append_results_row(const std::string& path, const std::string& data_set_directory, double v2,
                        double v1, double v0) {
    // "%-32s %20.16f %20.16f %20.16f\n"
    std::string text = data_set_directory;
    if (text.size() < 32) {
        text.append(32 - text.size(), ' ');
    }
    for (const double value : {v2, v1, v0}) {
        text += ' ' + fixed(value, 16, 20);
    }
    text += '\n';
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
            text.insert(0, kResultsHeader);
        }
        ok = write_all(fd, text);
        struct stat now {};
        if (!ok && regular && ::fstat(fd, &now) == 0 && now.st_size > info.st_size) {
            // A full disk or a size limit: no torn row for the next run to glue onto. Only
            // what this run added is cut off; a file that a program without the lock made
            // shorter meanwhile is never lengthened (with NUL bytes).
            while (::ftruncate(fd, info.st_size) != 0 && errno == EINTR) {
            }
        }
    }
    // Closing releases the lock.
    ok = (::close(fd) == 0) && ok;
    return ok;
}

ResultsFileCheck inspect_results_file(const std::string& path, const std::string& balls_path) {
    if (same_file(path, balls_path)) {
        return {ResultsFileKind::balls_file};
    }
    if (slice_name(path)) {
        return {ResultsFileKind::slice};
    }
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        return {ResultsFileKind::fresh};
    }
    if (error || fs::is_directory(status)) {
        return {ResultsFileKind::cannot_open};
    }
    std::vector<uint8_t> bytes;
    if (read_whole_file(path, bytes) != ReadOutcome::ok) {
        return {ResultsFileKind::cannot_open};
    }
    if (bytes.empty()) {
        return {ResultsFileKind::fresh};
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // The header's first word is enough to tell a results file.
    if (!text.starts_with(kResultsHeaderWord)) {
        return {ResultsFileKind::foreign};
    }
    return {ResultsFileKind::results, count_rows(text)};
}

ResultsFilePreparation create_results_file(const std::string& path) {
    // Not waiting for a reader, should the name be a FIFO.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return ResultsFilePreparation::cannot_open;
    }
    struct stat info {};
    ResultsFilePreparation outcome = ::fstat(fd, &info) == 0 ? ResultsFilePreparation::ready
                                                             : ResultsFilePreparation::cannot_open;
    // Tried without waiting: a lock held by a run shows that the file system has locks. Only a
    // regular file is locked by the appends.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (outcome == ResultsFilePreparation::ready && S_ISREG(info.st_mode) &&
        ::fcntl(fd, F_SETLK, &lock) != 0 && lacks_locks(errno)) {
        outcome = ResultsFilePreparation::cannot_lock;
    }
    // Closing releases the lock.
    return ::close(fd) == 0 ? outcome : ResultsFilePreparation::cannot_open;
}

ResultsFilePreparation empty_results_file(const std::string& path, int seen_rows) {
    // Never O_TRUNC: rows that a run appended after the user looked must be counted first.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return ResultsFilePreparation::cannot_open;
    }
    ResultsFilePreparation outcome = ResultsFilePreparation::ready;
    struct stat info {};
    std::vector<uint8_t> bytes;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        outcome = ResultsFilePreparation::cannot_open;
    } else if (!lock_whole_file(fd)) {
        outcome = lacks_locks(errno) ? ResultsFilePreparation::cannot_lock
                                     : ResultsFilePreparation::cannot_open;
    } else if (!read_all(fd, bytes)) {
        // Read through this descriptor: closing another one of the file would drop the lock.
        outcome = ResultsFilePreparation::cannot_open;
    } else {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const bool as_seen =
            (text.empty() || text.starts_with(kResultsHeaderWord)) && count_rows(text) == seen_rows;
        if (!as_seen) {
            outcome = ResultsFilePreparation::rows_changed;
        } else if (!text.empty()) {
            int result;
            while ((result = ::ftruncate(fd, 0)) != 0 && errno == EINTR) {
            }
            outcome = result == 0 ? outcome : ResultsFilePreparation::cannot_open;
        }
    }
    // Closing releases the lock.
    return ::close(fd) == 0 ? outcome : ResultsFilePreparation::cannot_open;
}

}  // namespace formats
