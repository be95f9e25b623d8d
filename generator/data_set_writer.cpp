#include "data_set_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "formats/files.h"
#include "formats/model_file.h"
#include "formats/numbers.h"
#include "formats/slice_file.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = fs::path::preferred_separator;

std::string three_digits(uint32_t n) {
    return formats::zero_padded(n, 3);
}

// Eight plane bits starting at bit `position`, least significant first; bits past the
// plane's end read as 0.
unsigned plane_byte_at(const std::vector<uint8_t>& bytes, size_t position) {
    const size_t index = position / 8;
    const unsigned shift = position % 8;
    unsigned value = bytes[index] >> shift;
    if (shift != 0 && index + 1 < bytes.size()) {
        value |= static_cast<unsigned>(bytes[index + 1]) << (8 - shift);
    }
    return value & 0xFFu;
}

std::string hidden_sibling(const fs::path& directory, const char* kind) {
    std::string name = directory.filename().string();
    name.insert(0, 1, '.');
    name.append(".").append(kind).append("-").append(std::to_string(::getpid()));
    return (directory.parent_path() / name).string();
}

// Puts everything written on the folder's file system on disk: one wait for all the files
// of a data set, where a flush of each file would wait once per slice.
bool sync_file_system(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
}

// Swaps two directory entries in one step where the file system can; elsewhere moves the
// old folder aside first, which leaves a moment without the data set folder. Returns the
// path that then holds the old contents, or "" on failure.
std::string swap_into_place(const std::string& partial, const std::string& target) {
    if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        return partial;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return {};
    }
    const std::string aside = hidden_sibling(target, "replaced");
    if (::rename(target.c_str(), aside.c_str()) != 0) {
        return {};
    }
    if (::rename(partial.c_str(), target.c_str()) != 0) {
        ::rename(aside.c_str(), target.c_str());
        return {};
    }
    return aside;
}

}  // namespace

std::string data_set_directory(const std::string& output_directory, const std::string& prefix,
                               uint32_t i) {
    return output_directory + kSeparator + prefix + three_digits(i);
}

std::string slice_file_name(const std::string& prefix, uint32_t z) {
    return prefix + "slice" + three_digits(z) + ".pbm";
}

std::string slice_file_path(const std::string& directory, const std::string& prefix, uint32_t z) {
    return directory + kSeparator + slice_file_name(prefix, z);
}

std::string prefix_problem(const std::string& prefix) {
    std::string problem;
    if (prefix.find(kSeparator) != std::string::npos) {
        problem = "holds a path separator";
    } else if (prefix == "." || prefix == "..") {
        problem = "names a folder";
    } else {
        return problem;
    }
    problem.insert(0, "\"" + prefix + "\" ");
    problem += ": a prefix only starts names inside the output folder.";
    return problem;
}

std::string partial_directory(const std::string& directory) {
    return hidden_sibling(fs::path(directory), "partial");
}

std::string slice_file_contents(const formats::BitVolume& volume, int32_t z) {
    const std::vector<uint8_t>& plane = volume.planes[static_cast<size_t>(z)].bytes;
    std::string contents =
        "P4\n" + std::to_string(volume.width) + " " + std::to_string(volume.height) + "\n";
    const size_t row_bytes = formats::raster_row_bytes(volume.width);
    const size_t header_size = contents.size();
    contents.resize(header_size + row_bytes * static_cast<size_t>(volume.height));
    char* out = contents.data() + header_size;
    // The plane runs on across row ends; each file row starts on a byte boundary.
    const unsigned tail_bits = static_cast<unsigned>(volume.width % 8);
    const uint8_t last_mask = tail_bits == 0 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - tail_bits));
    for (int32_t y = 0; y < volume.height; ++y) {
        const size_t row_start = volume.bit_index(0, y);
        for (size_t b = 0; b < row_bytes; ++b) {
            *out++ =
                static_cast<char>(formats::kReversedBits[plane_byte_at(plane, row_start + 8 * b)]);
        }
        out[-1] = static_cast<char>(static_cast<uint8_t>(out[-1]) & last_mask);
    }
    return contents;
}

PendingDataSet::PendingDataSet(std::string directory) : directory_(std::move(directory)) {}

PendingDataSet::~PendingDataSet() {
    abandon();
}

bool PendingDataSet::create(RunError& error) {
    abandon();
    written_.clear();
    // A data set folder that is a symbolic link is replaced where it points, beside its target.
    std::error_code ec;
    const std::optional<fs::path> resolved = formats::resolve_symlink(directory_, ec);
    if (!resolved) {
        error.set("Error creating directory " + directory_ + "!");
        return false;
    }
    const fs::path& target = *resolved;
    const bool in_the_way = fs::exists(target, ec) && !fs::is_directory(target, ec);
    target_ = target.string();
    partial_ = partial_directory(target_);
    // A folder of this name can only be left by a killed process that had the same id.
    fs::remove_all(partial_, ec);
    if (in_the_way || ::mkdir(partial_.c_str(), 0777) != 0) {
        error.set("Error creating directory " + directory_ + "!");
        return false;
    }
    open_ = true;
    return true;
}

bool PendingDataSet::write(const std::string& name, const std::string& contents, RunError& error) {
    const std::string path = partial_ + kSeparator + name;
    const std::string shown = directory_ + kSeparator + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error.set("Error opening file '" + shown + "' for writing!");
        return false;
    }
    // Some file systems report a full disk only when the file is closed.
    bool ok = formats::write_all(fd, contents);
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        error.set("Error writing file '" + shown + "'!");
        return false;
    }
    written_.push_back(name);
    return true;
}

bool PendingDataSet::commit(RunError& error) {
    if (!sync_file_system(partial_)) {
        error.set("Error writing the data set into " + directory_ + "!");
        return false;
    }
    const std::string output = fs::path(target_).parent_path().string();
    if (::rename(partial_.c_str(), target_.c_str()) == 0) {
        open_ = false;
        formats::sync_directory(output.empty() ? "." : output);
        return true;
    }
    if (errno != EEXIST && errno != ENOTEMPTY) {
        error.set("Error moving the data set into " + directory_ + "!");
        return false;
    }
    // The folder exists: its other files go along by hard links, so that it stays whole
    // until the swap; what cannot be linked (a sub-folder) is moved over after it.
    std::vector<std::string> move_after;
    const std::string model_file_name =
        fs::path(formats::model_file_path(target_)).filename().string();
    std::error_code ec;
    for (fs::directory_iterator it(target_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code type_error;
        const bool replaced =
            (formats::is_slice_file_name(name) && !it->is_directory(type_error)) ||
            name == model_file_name;
        if (replaced || std::find(written_.begin(), written_.end(), name) != written_.end()) {
            continue;
        }
        const std::string into = partial_ + kSeparator + name;
        if (::linkat(AT_FDCWD, it->path().c_str(), AT_FDCWD, into.c_str(), 0) != 0) {
            move_after.push_back(name);
        }
    }
    struct stat info {};
    if (ec || ::stat(target_.c_str(), &info) != 0) {
        error.set("Error moving the data set into " + directory_ + "!");
        return false;
    }
    formats::sync_directory(partial_);  // the links
    const std::string old = swap_into_place(partial_, target_);
    if (old.empty()) {
        error.set("Error moving the data set into " + directory_ + "!");
        return false;
    }
    open_ = false;
    bool moved = true;
    for (const std::string& name : move_after) {
        const std::string from = old + kSeparator + name;
        const std::string to = target_ + kSeparator + name;
        moved = ::rename(from.c_str(), to.c_str()) == 0 && moved;
    }
    ::chmod(target_.c_str(), info.st_mode & 07777);
    formats::sync_directory(output.empty() ? "." : output);
    if (!moved) {
        // The user's files stay in the hidden folder rather than being removed with it.
        error.set("Error moving the data set into " + directory_ + "!");
        return false;
    }
    fs::remove_all(old, ec);
    return true;
}

void PendingDataSet::abandon() {
    if (open_) {
        std::error_code ec;
        fs::remove_all(partial_, ec);
        open_ = false;
    }
}

bool volume_write(const formats::BitVolume& volume, const std::string& directory,
                  const std::string& prefix, RunError& error) {
    error.clear();
    PendingDataSet data_set(directory);
    if (!data_set.create(error)) {
        return false;
    }
    for (int32_t z = 0; z < volume.slice_count; ++z) {
        if (!data_set.write(slice_file_name(prefix, static_cast<uint32_t>(z)),
                            slice_file_contents(volume, z), error)) {
            return false;
        }
    }
    return data_set.commit(error);
}

}  // namespace brisolt
