// Writing a sampled volume as a data set: one directory per data set, one binary PBM slice
// file per z-plane, named so that ascending name order is z order.
#pragma once

#include <cstdint>
#include <string>

#include "bit_volume.h"
#include "boolean_model.h"

namespace brisolt {

// "<output>/<prefix><i>" with i zero-padded to three digits (007, 042, 1000).
std::string data_set_directory(const std::string& output_directory, const std::string& prefix,
                               uint32_t i);

// "<directory>/<prefix>slice<z>.pbm", z zero-padded to three digits.
std::string slice_file_path(const std::string& directory, const std::string& prefix, uint32_t z);

// Creates the directory (never its parents). An existing directory is reused as it is and
// counts as success; anything else in the way is a failure.
bool create_data_set_directory(const std::string& path);

// The file of plane z: "P4\n<X> <Y>\n", then Y rows of ceil(X / 8) bytes, most significant
// bit first, the padding bits of a row's last byte 0.
std::string slice_file_contents(const talvik::BitVolume& volume, int32_t z);

// Writes `contents` to `path` in one write. On failure sets `error` ("Error opening file
// '%s' for writing!" or "Error writing file '%s'!", the latter after removing the partial
// file) and returns false.
bool write_data_file(const std::string& path, const std::string& contents, RunError& error);

// Writes plane z to `path` with write_data_file().
bool write_slice(const talvik::BitVolume& volume, int32_t z, const std::string& path,
                 RunError& error);

// Clears `error` and writes the slices in z order; stops at the first failure, leaving the
// slices written before it.
bool volume_write(const talvik::BitVolume& volume, const std::string& directory,
                  const std::string& prefix, RunError& error);

}  // namespace brisolt
