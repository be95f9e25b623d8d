#include "slice_inspection.h"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "formats/files.h"
#include "formats/numbers.h"

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
    const std::string percent =
        formats::fixed(100.0 * static_cast<double>(black) / static_cast<double>(pixels), 2);
    if (percent == "0.00") {
        return "(< 0.01 %)";
    }
    if (percent == "100.00") {
        return "(> 99.99 %)";
    }
    return "(" + percent + " %)";
}

std::string kept_results_note(const std::string& shown, const std::string& failed) {
    if (shown.empty() || shown == failed) {
        return {};
    }
    std::string shown_name = std::filesystem::path(shown).filename().string();
    std::string failed_name = std::filesystem::path(failed).filename().string();
    if (shown_name == failed_name || shown_name.empty() || failed_name.empty()) {
        shown_name = shown;
        failed_name = failed;
    }
    return (failed_name.empty() ? std::string("The file") : failed_name) +
           " could not be read: the numbers and the picture are those of " + shown_name + ".";
}

uint32_t count_black_pixels(const formats::SliceBits& bits) {
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
    switch (formats::read_whole_file(path, file)) {
        case formats::ReadOutcome::cannot_open:
            return failure(open_error);
        case formats::ReadOutcome::read_error:
            return failure(read_error);
        case formats::ReadOutcome::ok:
            break;
    }
    formats::SliceReadResult slice = formats::read_slice(file);
    if (slice.status != formats::SliceStatus::ok) {
        return failure(read_error);
    }
    Inspection result;
    result.ok = true;
    result.dimension = std::to_string(slice.width) + "x" + std::to_string(slice.height);
    const uint32_t black = count_black_pixels(slice.bits);
    result.black_pixels = std::to_string(black);
    result.black_fraction = format_black_fraction(
        black, static_cast<uint64_t>(slice.width) * static_cast<uint64_t>(slice.height));
    result.width = slice.width;
    result.height = slice.height;
    result.bits = std::move(slice.bits);
    return result;
}

}  // namespace ferndel
