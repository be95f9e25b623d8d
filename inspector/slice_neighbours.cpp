#include "slice_neighbours.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "formats/data_set.h"

namespace ferndel {

SliceNeighbours find_slice_neighbours(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path file(path);
    const fs::path folder = file.parent_path();
    const std::string name = file.filename().string();
    // list_slice_files sorts by name, and so the binary searches below use the same order.
    std::vector<std::string> names =
        formats::list_slice_files(folder.empty() ? std::string(".") : folder.string());
    for (std::string& entry : names) {
        entry = fs::path(entry).filename().string();
    }
    const auto first_not_before = std::lower_bound(names.begin(), names.end(), name);
    const auto first_after = std::upper_bound(first_not_before, names.end(), name);
    SliceNeighbours result;
    result.count = names.size();
    if (first_not_before != first_after) {
        result.position = static_cast<size_t>(first_not_before - names.begin()) + 1;
    }
    if (first_not_before != names.begin()) {
        result.previous = (folder / *(first_not_before - 1)).string();
    }
    if (first_after != names.end()) {
        result.next = (folder / *first_after).string();
    }
    return result;
}

}  // namespace ferndel
