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

std::string format_black_fraction(uint64_t black, uint64_t pixels) {
    if (black == 0) {
        return "(0 %)";
    }
    if (black == pixels) {
        return "(100 %)";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f",
                  100.0 * static_cast<double>(black) / static_cast<double>(pixels));
    const std::string percent = text;
    if (percent == "0.00") {
        return "(< 0.01 %)";
    }
    if (percent == "100.00") {
        return "(> 99.99 %)";
    }
    return "(" + percent + " %)";
}

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
    talvik::SliceReadResult slice = talvik::read_slice(file);
    if (slice.status != talvik::SliceStatus::ok) {
        return failure(read_error);
    }
    Inspection result;
    result.ok = true;
    char text[32];
    std::snprintf(text, sizeof text, "%ux%u", static_cast<unsigned>(slice.width),
                  static_cast<unsigned>(slice.height));
    result.dimension = text;
    const uint32_t black = count_black_pixels(slice.bits);
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(black));
    result.black_pixels = text;
    result.black_fraction = format_black_fraction(
        black, static_cast<uint64_t>(slice.width) * static_cast<uint64_t>(slice.height));
    result.width = slice.width;
    result.height = slice.height;
    result.bits = std::move(slice.bits);
    return result;
}

}  // namespace ferndel
