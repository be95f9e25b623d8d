// Every shell of a balls file of digital Euclidean balls from one capped squared-distance
// transform, streamed through the volume in z.
//
// For the ball {q : |q|^2 <= t} the dilation of a set, clipped to the volume, is the set of
// voxels within squared distance t of it (stamping only at boundary voxels changes nothing:
// every stamp of an inner voxel is also made by a boundary voxel on the lattice path towards
// it). So Xe holds the voxels within t_e of X, and the shell of ball d holds the voxels of Xe
// within t_d of (Xe)*. One map of the squared distance to (Xe)*, capped just above the largest
// t, gives every shell's count in one pass. The edge correction depends on (Xe)* and the voxel
// only, so each corner voxel is decided once and applied to every shell that holds it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "formats/balls_file.h"
#include "formats/word_volume.h"
#include "shells/distance_kernels.h"
#include "shells/shell_counter.h"

namespace talvik {

// The largest threshold the transform takes: distances are held in 16 bits, capped at t + 1.
inline constexpr int64_t kLargestDistanceThreshold = 65534;

// How the work is done; the counts never depend on it.
struct DistanceTuning {
    // The SIMD target's kernels; null for the best that the processor runs.
    const distance::KernelSet* kernels = nullptr;
    // Bands of rows keep the planes that a piece of work reads around its current one within
    // about this many bytes.
    int64_t piece_bytes = int64_t{4} << 20;
};

// The edge-corrected window count of the shell of every ball, ball d being the set of offsets
// q with |q|^2 <= thresholds[d] (each at most kLargestDistanceThreshold); the epsilon ball is
// ball `epsilon_index`. Equal to the counts of the general path for every thread count.
// Besides X it holds a few planes per thread, never a whole volume.
std::vector<uint64_t> distance_shell_counts(const formats::WordVolume& x,
                                            const std::vector<int64_t>& thresholds,
                                            size_t epsilon_index, unsigned threads,
                                            const DistanceTuning& tuning = {});

// The same counts, in the whole window and in each of `blocks`.
ShellCounts distance_shell_counts(const formats::WordVolume& x,
                                  const std::vector<int64_t>& thresholds, size_t epsilon_index,
                                  unsigned threads, const WindowBlocks& blocks,
                                  const DistanceTuning& tuning = {});

// The thresholds of the balls when the distance path takes the file: every ball a digital
// Euclidean ball of threshold at most kLargestDistanceThreshold. Nothing otherwise.
std::optional<std::vector<int64_t>> distance_thresholds(
    const std::vector<formats::DiscretizedBall>& balls);

// The distance path behind the shell-counting interface: every count is made while Xe is
// reported, the other steps have no work of their own.
class DistanceShells : public ShellCounter {
  public:
    // `thresholds` from distance_thresholds() for the balls that count_shells will get.
    DistanceShells(formats::WordVolume x, std::vector<int64_t> thresholds, unsigned threads,
                   const DistanceTuning& tuning = {});

    ShellCounts count_shells(const std::vector<formats::DiscretizedBall>& balls,
                             size_t epsilon_index, const WindowBlocks& blocks,
                             const ShellSteps& steps) override;

  private:
    formats::WordVolume x_;
    std::vector<int64_t> thresholds_;
    unsigned threads_;
    DistanceTuning tuning_;
};

}  // namespace talvik
