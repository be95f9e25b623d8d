// Loading a data-set directory (one slice file per z-plane) into a voxel volume.
#pragma once

#include <string>
#include <vector>

#include "formats/word_volume.h"

namespace formats {

// Full paths of the entries named "*.pbm" (case-sensitive), ascending by name, which is
// z order for the generator's slice names. Empty when nothing matches or the directory
// cannot be listed.
std::vector<std::string> list_slice_files(const std::string& directory);

// Builds X from the directory's slices; every failure is fatal.
WordVolume load_data_set(const std::string& directory);

}  // namespace formats
