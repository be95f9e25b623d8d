// The run's volume operations voxel by voxel: the reference the word-parallel engine is
// checked against, in tests and in the benchmark. It has no distance path.
#pragma once

#include "bit_volume.h"
#include "morphology_engine.h"

namespace talvik::oracle {

class LiteralEngine : public MorphologyEngine {
  public:
    std::unique_ptr<Volume> adopt(WordVolume loaded) override;
    std::unique_ptr<Volume> create(const VolumeShape& shape) override;
    void clear(Volume& volume) override;
    void dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) override;
    void complement(Volume& volume) override;
    void subtract(Volume& a, const Volume& b) override;
    uint64_t corrected_count(Volume& shell, const Volume& reference) override;
};

}  // namespace talvik::oracle
