// Where a writer is writing a data set: its partial folder has a name of its own, found here
// by the start that every such name has.
#pragma once

#include <filesystem>
#include <string>

#include "data_set_writer.h"

namespace brisolt::testing {

// The partial folder of the data set `directory`, or "" when there is none.
inline std::string partial_folder_of(const std::string& directory) {
    const std::filesystem::path prefix(partial_prefix(directory));
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(prefix.parent_path(), error)) {
        if (entry.path().filename().string().starts_with(prefix.filename().string())) {
            return entry.path().string();
        }
    }
    return {};
}

}  // namespace brisolt::testing
