// The volume operations of the shell measurement behind one interface: the estimator's
// word-parallel engine and the voxel-by-voxel reference engine of the tests are
// interchangeable, so that a whole run can be checked against the reference.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "balls_file.h"
#include "word_volume.h"

namespace talvik {

struct VolumeShape {
    int32_t width = 0;
    int32_t height = 0;
    int32_t slices = 0;
};

class MorphologyEngine {
  public:
    // A volume in the engine's own representation; only the engine that made it reads it.
    class Volume {
      public:
        virtual ~Volume() = default;
    };

    virtual ~MorphologyEngine() = default;

    // The general path, one operation at a time.
    // The loaded data set in the engine's representation; the engine may take it over.
    virtual std::unique_ptr<Volume> adopt(WordVolume loaded) = 0;
    // A volume of the shape with every voxel clear; fatal when the memory is not there.
    virtual std::unique_ptr<Volume> create(const VolumeShape& shape) = 0;
    virtual void clear(Volume& volume) = 0;
    // Sets in `target` the dilation of `source` by the ball; `target` starts clear.
    virtual void dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) = 0;
    virtual void complement(Volume& volume) = 0;
    // Clears in `a` every voxel set in `b`.
    virtual void subtract(Volume& a, const Volume& b) = 0;
    // Edge correction of `shell` against `reference`, then the window count with the ties.
    virtual uint64_t corrected_count(Volume& shell, const Volume& reference) = 0;

    // The distance path: every shell's corrected count at once, for balls files that it
    // takes (an engine without one takes none). The counts equal the general path's.
    virtual bool counts_all_shells(const std::vector<DiscretizedBall>& balls) const;
    virtual std::vector<uint64_t> all_shell_counts(const WordVolume& x,
                                                   const std::vector<DiscretizedBall>& balls,
                                                   size_t epsilon_index);
};

}  // namespace talvik
