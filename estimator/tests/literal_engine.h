// The run's volume operations voxel by voxel: the reference the word-parallel engine is
// checked against, in tests and in the benchmark.
#pragma once

#include "bit_volume.h"
#include "morphology_engine.h"

namespace talvik::oracle {

class LiteralEngine : public MorphologyEngine {
  public:
    VolumeShape load_data_set(const std::string& directory) override;
    void create_work_volumes() override;
    uint64_t reference_shell_count(const DiscretizedBall& ball) override;
    void dilate_data_set(const DiscretizedBall& epsilon) override;
    void complement_dilated() override;
    void clear_work() override;
    void dilate_complement(const DiscretizedBall& delta) override;
    void subtract_complement() override;
    uint64_t corrected_shell_count() override;

  private:
    BitVolume x_;
    BitVolume xe_;
    BitVolume xd_;
};

}  // namespace talvik::oracle
