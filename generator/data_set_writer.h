// Writing a sampled volume as a data set: one directory per data set, one binary PBM slice
// file per z-plane, named so that ascending name order is z order. A data set is never seen
// half-written: its files go into a hidden folder beside it, which is moved into place whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "boolean_model.h"
#include "formats/bit_volume.h"

namespace brisolt {

// "<output>/<prefix><i>" with i zero-padded to three digits (007, 042, 1000).
std::string data_set_directory(const std::string& output_directory, const std::string& prefix,
                               uint32_t i);

// "<prefix>slice<z>.pbm", z zero-padded to three digits.
std::string slice_file_name(const std::string& prefix, uint32_t z);

// "<directory>/<prefix>slice<z>.pbm".
std::string slice_file_path(const std::string& directory, const std::string& prefix, uint32_t z);

// Why `prefix` cannot start names inside the output folder (it holds a path separator, or is
// "." or ".."), as a phrase after the field's or option's name; empty when it can.
std::string prefix_problem(const std::string& prefix);

// The start of the names of the hidden folders that receive the data set `directory` while it
// is written: "<output>/.<name>.partial-". Each writer adds six random letters and digits and
// never takes a name that exists, so that no two writers share a folder, not even with the
// same process id in other containers or on other hosts. No program of the toolkit loads a
// hidden folder.
std::string partial_prefix(const std::string& directory);

// The file of plane z: "P4\n<X> <Y>\n", then Y rows of ceil(X / 8) bytes, most significant
// bit first, the padding bits of a row's last byte 0.
std::string slice_file_contents(const formats::BitVolume& volume, int32_t z);

// One data set on its way to disk. Its files are written into a partial folder of its own;
// commit() flushes them to disk and then puts them in place at once, so that the data set
// folder is at every moment either as it was before or complete, even when the process is
// killed. A data set folder that exists already keeps its other files, which go along by hard
// links, so that each of them is in the visible folder at every moment; its slices ("*.pbm")
// and model.txt are replaced, stale deeper slices included. A folder inside it could not go
// along so: such a data set folder is refused, and left as it is. Whatever is not committed
// is removed by abandon() or the destructor; only a killed process leaves its hidden folder
// behind, which holds nothing but the data set and links.
class PendingDataSet {
  public:
    explicit PendingDataSet(std::string directory);
    ~PendingDataSet();
    PendingDataSet(const PendingDataSet&) = delete;
    PendingDataSet& operator=(const PendingDataSet&) = delete;

    // Makes an empty partial folder. Fails with "Error creating directory %s!" naming the
    // data set directory when that is something other than a folder or the partial folder
    // cannot be made, with a message naming the link when the output folder or the data set
    // folder is a symbolic link that leads nowhere or in a loop, and with one naming the
    // folder when the data set folder holds one.
    bool create(RunError& error);

    // Writes the file `name` of the data set. Fails with "Error opening file '%s' for
    // writing!" or "Error writing file '%s'!" naming the file's place in the data set.
    bool write(const std::string& name, const std::string& contents, RunError& error);

    // Flushes the written files to disk and moves them into place; fails with "Error writing
    // the data set into %s!", "Error moving the data set into %s!", or a message naming what
    // in the existing folder cannot go along, which then stays as it was.
    bool commit(RunError& error);

    // Removes the partial folder and everything written into it.
    void abandon();

    const std::string& directory() const { return directory_; }
    // The partial folder, once created.
    const std::string& partial() const { return partial_; }

  private:
    std::string directory_;
    std::string target_;  // the directory, or where it points when it is a symbolic link
    std::string partial_;
    std::vector<std::string> written_;
    bool open_ = false;
};

// Writes the Z slices of `volume` in z order as the data set `directory`, through a
// PendingDataSet; clears `error` first and sets it on failure, which leaves the directory
// as it was.
bool volume_write(const formats::BitVolume& volume, const std::string& directory,
                  const std::string& prefix, RunError& error);

}  // namespace brisolt
