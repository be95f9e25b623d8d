#include "formats/results_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/files.h"
#include "formats/numbers.h"
#include "formats/text_lines.h"

namespace formats {
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

bool empty_results_file(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    return file != nullptr && std::fclose(file) == 0;
}

bool create_results_file(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    return file != nullptr && std::fclose(file) == 0;
}

}  // namespace formats
