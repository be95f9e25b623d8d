#include "data_set_writer.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "slice_file.h"

namespace brisolt {
namespace {

constexpr char kSeparator = std::filesystem::path::preferred_separator;

std::string three_digits(uint32_t n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03u", n);
    return digits;
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

}  // namespace

std::string data_set_directory(const std::string& output_directory, const std::string& prefix,
                               uint32_t i) {
    return output_directory + kSeparator + prefix + three_digits(i);
}

std::string slice_file_path(const std::string& directory, const std::string& prefix, uint32_t z) {
    return directory + kSeparator + prefix + "slice" + three_digits(z) + ".pbm";
}

bool create_data_set_directory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directory(path, error);
    return !error && std::filesystem::is_directory(path, error);
}

std::string slice_file_contents(const talvik::BitVolume& volume, int32_t z) {
    const std::vector<uint8_t>& plane = volume.planes[static_cast<size_t>(z)].bytes;
    std::string contents =
        "P4\n" + std::to_string(volume.width) + " " + std::to_string(volume.height) + "\n";
    const size_t row_bytes = talvik::raster_row_bytes(volume.width);
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
                static_cast<char>(talvik::kReversedBits[plane_byte_at(plane, row_start + 8 * b)]);
        }
        out[-1] = static_cast<char>(static_cast<uint8_t>(out[-1]) & last_mask);
    }
    return contents;
}

bool write_data_file(const std::string& path, const std::string& contents, RunError& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error.set("Error opening file '" + path + "' for writing!");
        return false;
    }
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    // A full disk may show only when the buffer is flushed on closing.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
        error.set("Error writing file '" + path + "'!");
        return false;
    }
    return true;
}

bool write_slice(const talvik::BitVolume& volume, int32_t z, const std::string& path,
                 RunError& error) {
    return write_data_file(path, slice_file_contents(volume, z), error);
}

bool volume_write(const talvik::BitVolume& volume, const std::string& directory,
                  const std::string& prefix, RunError& error) {
    error.clear();
    for (int32_t z = 0; z < volume.slice_count; ++z) {
        if (!write_slice(volume, z, slice_file_path(directory, prefix, static_cast<uint32_t>(z)),
                         error)) {
            return false;
        }
    }
    return true;
}

}  // namespace brisolt
