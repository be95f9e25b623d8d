// Counting the shells ((Xe)*)d\(Xe)* of every ball inside the measuring window. One interface
// with two ways to the same counts: the word path (word_shells.h), which dilates whole volumes
// a 64-bit word at a time and takes any ball, and the distance path (distance_shells.h), which
// gets every shell from one capped distance transform and takes digital Euclidean balls.
// driver/engines.h chooses between them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/verbose_log.h"
#include "formats/balls_file.h"
#include "morphology/window_blocks.h"

namespace talvik {

// The verbose lines of the shell measurement, the same on every path: each step's line, its
// work (none where a path has no such step), then "done".
class ShellSteps {
  public:
    using Work = std::function<void()>;

    explicit ShellSteps(const VerboseLog& log) : log_(log) {}

    // The SIMD target whose kernels count the shells, where a path has such kernels.
    void simd_target(const char* name) const;

    // Xe from X with the epsilon ball, then its complement (Xe)*.
    void reference(const Work& make_xe, const Work& complement) const;

    // The shell of ball d (counted from 1): ((Xe)*)d cleared, dilated, then cut down to the
    // shell; `count` gives its edge-corrected window count, which is logged and returned.
    uint64_t shell(unsigned d, const Work& clear, const Work& dilate, const Work& subtract,
                   const std::function<uint64_t()>& count) const;

  private:
    const VerboseLog& log_;
};

// The edge-corrected counts of every shell, in the whole window and in each of its blocks.
struct ShellCounts {
    std::vector<uint64_t> totals;  // totals[d - 1]: shell d in the window
    // by_block[b * N + d - 1]: shell d in block b. The blocks of a shell add up to its total;
    // the tie counter's half is shared as half_tie_shares() says.
    std::vector<uint64_t> by_block;

    uint64_t in_block(size_t block, size_t ball) const {
        return by_block[block * totals.size() + ball];
    }
};

class ShellCounter {
  public:
    virtual ~ShellCounter() = default;

    // For d = 1 .. N the edge-corrected count of the shell of ball d inside the measuring
    // window and inside each of `blocks`, Xe being X dilated by ball `epsilon_index`. The
    // totals do not depend on the blocks. Called once per counter.
    virtual ShellCounts count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                     size_t epsilon_index, const WindowBlocks& blocks,
                                     const ShellSteps& steps) = 0;
};

}  // namespace talvik
