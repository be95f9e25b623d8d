#include "formats/data_set.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

#include "formats/errors.h"
#include "formats/files.h"
#include "formats/slice_file.h"

namespace formats {

std::vector<std::string> list_slice_files(const std::string& directory) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(directory, error);
    if (error) {
        return {};
    }
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (is_slice_file_name(name)) {
            names.push_back(name);
        }
    }
    if (error) {
        return {};
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = directory + static_cast<char>(fs::path::preferred_separator);
    for (std::string& name : names) {
        name = prefix + name;
    }
    return names;
}

WordVolume load_data_set(const std::string& directory) {
    const std::vector<std::string> paths = list_slice_files(directory);
    fatal_unless(!paths.empty(), 1, "Directory '%s' does not contain bitmaps.\n",
                 directory.c_str());
    fatal_unless(paths.size() <= INT32_MAX, 1, "Memory allocation error.\n");
    WordVolume volume;
    std::vector<uint8_t> bytes;
    for (size_t z = 0; z < paths.size(); ++z) {
        const char* path = paths[z].c_str();
        const ReadOutcome outcome = read_whole_file(paths[z], bytes);
        fatal_unless(outcome != ReadOutcome::cannot_open, 1,
                     "Error opening file '%s' for reading.\n", path);
        fatal_unless(outcome == ReadOutcome::ok, 1, "Error reading data set '%s'.\n", path);
        const SliceHeader header = read_slice_header(bytes);
        const size_t raster_bytes =
            raster_row_bytes(header.width) * static_cast<size_t>(header.height);
        fatal_unless(
            header.status == SliceStatus::ok && bytes.size() - header.raster_offset >= raster_bytes,
            1, "Error reading data set '%s'.\n", path);
        if (z == 0) {
            try {
                volume =
                    WordVolume(header.width, header.height, static_cast<int32_t>(paths.size()));
            } catch (const std::bad_alloc&) {
                fatal("Memory allocation error.\n");
            }
        }
        fatal_unless(header.width == volume.width() && header.height == volume.height(), 1,
                     "Invalid data set '%s' dimension.\n", path);
        unpack_raster_to_words(bytes.data() + header.raster_offset, header.width, header.height,
                               volume.plane(static_cast<int32_t>(z)), volume.words_per_row());
    }
    return volume;
}

}  // namespace formats
