#include "data_set_writer.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>
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

// "<parent>/.<name>.<kind>-": the start of the names of the hidden folders beside `directory`.
std::string hidden_prefix(const fs::path& directory, const char* kind) {
    std::string name = directory.filename().string();
    name.insert(0, 1, '.');
    name.append(".").append(kind).append("-");
    return (directory.parent_path() / name).string();
}

// Makes a new, empty folder named `prefix` and six random letters and digits, as mkdtemp does,
// but with the permissions that mkdir gives: the folder becomes the data set folder, which
// mkdtemp would make private. A name that exists is never taken. "" on failure.
std::string make_unique_folder(const std::string& prefix) {
    static constexpr std::string_view kSymbols =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
            bits =
                static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(attempt);
        }
        std::string path = prefix;
        for (int i = 0; i < 6; ++i) {
            path += kSymbols[bits % kSymbols.size()];
            bits /= kSymbols.size();
        }
        if (::mkdir(path.c_str(), 0777) == 0) {
            return path;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
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

// Where the data set folder `directory` is written once symbolic links are followed; the
// output folder and the data set folder may each be one. A link that leads nowhere or in a
// loop is refused before anything is made: the data set would land where nobody named it.
std::optional<std::string> place_of(const std::string& directory, RunError& error) {
    const fs::path path(directory);
    const fs::path output = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::optional<fs::path> resolved;
    for (const fs::path& link : {output, path}) {
        std::error_code ec;
        resolved = formats::resolve_symlink(link, ec);
        if (!resolved) {
            std::string reason;
            if (ec == std::errc::no_such_file_or_directory) {
                reason = ": " + link.string() + " is a symbolic link that leads nowhere";
            } else if (ec == std::errc::too_many_symbolic_link_levels) {
                reason = ": " + link.string() + " is a symbolic link that leads round in a loop";
            }
            error.set("Error creating directory " + directory + reason + "!");
            return std::nullopt;
        }
    }
    return resolved->string();
}

// "Error replacing the data set in <directory>: it holds <what>. Move <it> elsewhere first!"
std::string replace_refusal(const std::string& directory, const std::string& what, const char* it) {
    return "Error replacing the data set in " + directory + ": it holds " + what + ". Move " + it +
           " elsewhere first!";
}

// The first entry of the folder that is a folder itself, links not followed; "" when none.
std::string first_folder_in(const std::string& directory) {
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_error;
        if (it->symlink_status(type_error).type() == fs::file_type::directory) {
            return it->path().filename().string();
        }
    }
    return {};
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Moves `from` to the name `to` unless that name is taken.
bool move_to_free_name(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    struct stat info {};
    return (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) &&
           ::lstat(to.c_str(), &info) != 0 && errno == ENOENT &&
           ::rename(from.c_str(), to.c_str()) == 0;
}

// Empties and removes the folder that holds a data set folder's old contents once the new
// ones are in place: the slices and model.txt that the new data set replaces go, and so do
// the second names of the files that went along; a file that came into the old folder while
// it was replaced is moved over. False, with what is left kept, when an entry can be neither
// removed nor moved.
template <typename Replaced>
bool clear_replaced(const std::string& old, const std::string& target, const Replaced& replaced) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(old, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    bool cleared = !ec;
    for (const std::string& name : names) {
        const std::string from = old + kSeparator + name;
        const std::string to = target + kSeparator + name;
        struct stat info {};
        const bool folder = ::lstat(from.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        const bool done = (replaced(name) && !folder) || same_file(from, to)
                              ? ::unlink(from.c_str()) == 0
                              : move_to_free_name(from, to);
        cleared = cleared && done;
    }
    return cleared && ::rmdir(old.c_str()) == 0;
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

std::string partial_prefix(const std::string& directory) {
    return hidden_prefix(fs::path(directory), "partial");
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
    const std::optional<std::string> place = place_of(directory_, error);
    if (!place) {
        return false;
    }
    target_ = *place;
    std::error_code ec;
    const bool in_the_way = fs::exists(target_, ec) && !fs::is_directory(target_, ec);
    if (!in_the_way) {
        // Refused before any work: commit() could not keep it.
        const std::string folder = first_folder_in(target_);
        if (!folder.empty()) {
            error.set(replace_refusal(directory_, "the folder '" + folder + "'", "that folder"));
            return false;
        }
    }
    // Never a folder of another writer, nor one that a killed run left behind.
    partial_ = in_the_way ? std::string() : make_unique_folder(partial_prefix(target_));
    if (partial_.empty()) {
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
    const std::string moving_error = "Error moving the data set into " + directory_ + "!";
    const std::string output = fs::path(target_).parent_path().string();
    if (::rename(partial_.c_str(), target_.c_str()) == 0) {
        open_ = false;
        formats::sync_directory(output.empty() ? "." : output);
        return true;
    }
    if (errno != EEXIST && errno != ENOTEMPTY) {
        error.set(moving_error);
        return false;
    }
    // The folder exists: its other files go along by hard links, so that each of them is in
    // the visible folder at every moment, and in the hidden ones only as a second name.
    const std::string model_file_name =
        fs::path(formats::model_file_path(target_)).filename().string();
    const auto replaced = [&](const std::string& name) {
        return formats::is_slice_file_name(name) || name == model_file_name ||
               std::find(written_.begin(), written_.end(), name) != written_.end();
    };
    std::vector<std::string> kept;
    std::error_code ec;
    for (fs::directory_iterator it(target_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code type_error;
        if (it->symlink_status(type_error).type() == fs::file_type::directory) {
            // Made after create() looked.
            error.set(replace_refusal(directory_, "the folder '" + name + "'", "that folder"));
            return false;
        }
        if (replaced(name)) {
            continue;
        }
        const std::string into = partial_ + kSeparator + name;
        if (::linkat(AT_FDCWD, it->path().c_str(), AT_FDCWD, into.c_str(), 0) != 0) {
            error.set(replace_refusal(directory_, "the file '" + name + "', which cannot be kept",
                                      "that file"));
            return false;
        }
        kept.push_back(name);
    }
    struct stat info {};
    if (ec || ::stat(target_.c_str(), &info) != 0) {
        error.set(moving_error);
        return false;
    }
    formats::sync_directory(partial_);  // the links
    std::string old;
    if (::renameat2(AT_FDCWD, partial_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        old = partial_;
    } else if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        error.set(moving_error);
        return false;
    } else if (!kept.empty()) {
        // Without the swap in one step the old folder is moved aside first: a kill in that
        // moment would leave the user's files in hidden folders only.
        error.set(replace_refusal(directory_,
                                  "the file '" + kept.front() +
                                      "', and this file system cannot swap two "
                                      "folders in one step",
                                  "that file"));
        return false;
    } else {
        old = make_unique_folder(hidden_prefix(fs::path(target_), "replaced"));
        if (old.empty() || ::rename(target_.c_str(), old.c_str()) != 0) {
            ::rmdir(old.c_str());
            error.set(moving_error);
            return false;
        }
        if (::rename(partial_.c_str(), target_.c_str()) != 0) {
            // Another writer's complete data set may have come in place meanwhile; it stays.
            if (::rename(old.c_str(), target_.c_str()) != 0) {
                clear_replaced(old, target_, replaced);
            }
            error.set(moving_error);
            return false;
        }
    }
    open_ = false;
    ::chmod(target_.c_str(), info.st_mode & 07777);
    formats::sync_directory(output.empty() ? "." : output);
    if (!clear_replaced(old, target_, replaced)) {
        error.set(moving_error);
        return false;
    }
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
