// Where a slice file stands in its folder's data set: the slice files in the order that talvik
// loads them, the slice's place among them and the files before and after it.
#pragma once

#include <cstddef>
#include <string>

namespace ferndel {

struct SliceNeighbours {
    size_t position = 0;   // 1-based place of the slice; 0 when it is not one of the files
    size_t count = 0;      // slice files in the folder
    std::string previous;  // the file before the slice, empty at the first
    std::string next;      // the file after it, empty at the last
};

// Lists the folder of `path` afresh. A path that is not one of the slice files (another
// extension, a deleted file) still has neighbours: the files whose names sort before and after
// its own. The neighbours keep the folder part of `path` as it was written.
SliceNeighbours find_slice_neighbours(const std::string& path);

}  // namespace ferndel
