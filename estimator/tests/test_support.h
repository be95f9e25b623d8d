// Helpers of the estimator's tests: scratch directories, files, child processes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/bit_volume.h"

namespace talvik::testing {

// A fresh directory under the system's temporary folder, removed with its contents.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

// A volume of independent voxels, each set with probability `fraction`.
formats::BitVolume random_volume(int32_t w, int32_t h, int32_t s, double fraction, uint64_t seed);

// A union of `count` random balls of radius up to `max_radius`: solid regions with inner
// voxels, unlike independent noise.
formats::BitVolume random_blobs(int32_t w, int32_t h, int32_t s, int32_t count, int32_t max_radius,
                                uint64_t seed);

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` (no shell), standard input empty, and collects its output.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& extra_environment = {});

// The same, with `in_child` run in the child just before exec: resource limits, signal
// dispositions, the environment, a watchdog alarm. It may end the child with std::_Exit.
ProcessResult run_process_prepared(const std::string& program, const std::vector<std::string>& args,
                                   const std::function<void()>& in_child);

// The same, as the unprivileged user "nobody" when the tests run as root, so that file
// permissions and resource limits apply to the program (`in_child` runs as that user).
// Status kCannotDropPrivileges when that user cannot be taken on.
inline constexpr int kCannotDropPrivileges = 125;
ProcessResult run_process_unprivileged(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::function<void()>& in_child = {});

// The ASAN_OPTIONS setting under which a library can be preloaded (LD_PRELOAD) into a program
// of the sanitizer build: AddressSanitizer wants its runtime first among the libraries.
std::string asan_preload_options();

// The text with every "HH:MM:SS: " at the start of a line removed.
std::string strip_timestamps(const std::string& text);

}  // namespace talvik::testing
