#include "slice_inspection.h"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "file_bytes.h"

namespace ferndel {
namespace {

Inspection failure(std::string message) {
    Inspection result;
    result.message = std::move(message);
    return result;
}

bool names_something_other_than_a_file(const std::string& path) {
    // A NUL would cut the name short: the file opened would not be the one the user named.
    if (path.find('\0') != std::string::npos) {
        return true;
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace

uint32_t count_black_pixels(const talvik::SliceBits& bits) {
    // At most INT32_MAX - 8 pixels: the sum fits.
    uint32_t count = 0;
    for (const uint8_t byte : bits.bytes) {
        count += static_cast<uint32_t>(std::popcount(byte));
    }
    return count;
}

Inspection inspect_slice(const std::string& path) {
    const std::string open_error = "Error opening file '" + path + "' for reading!";
    const std::string read_error = "Error reading data from PBM file '" + path + "'!";
    if (names_something_other_than_a_file(path)) {
        return failure(open_error);
    }
    std::vector<uint8_t> file;
    switch (talvik::read_whole_file(path, file)) {
        case talvik::ReadOutcome::cannot_open:
            return failure(open_error);
        case talvik::ReadOutcome::read_error:
            return failure(read_error);
        case talvik::ReadOutcome::ok:
            break;
    }
    const talvik::SliceReadResult slice = talvik::read_slice(file);
    if (slice.status != talvik::SliceStatus::ok) {
        return failure(read_error);
    }
    Inspection result;
    result.ok = true;
    char text[32];
    std::snprintf(text, sizeof text, "%ux%u", static_cast<unsigned>(slice.width),
                  static_cast<unsigned>(slice.height));
    result.dimension = text;
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(count_black_pixels(slice.bits)));
    result.black_pixels = text;
    return result;
}

}  // namespace ferndel
