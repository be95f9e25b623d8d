// The shell counting voxel by voxel, behind the estimator's interface: the reference that both
// of its paths are checked against, in tests and in the benchmark.
#pragma once

#include "driver/engines.h"
#include "formats/bit_volume.h"
#include "shells/shell_counter.h"

namespace talvik::oracle {

class LiteralShells : public ShellCounter {
  public:
    explicit LiteralShells(const formats::WordVolume& x);

    ShellCounts count_shells(const std::vector<formats::DiscretizedBall>& balls,
                             size_t epsilon_index, const WindowBlocks& blocks,
                             const ShellSteps& steps) override;

  private:
    formats::BitVolume x_;
};

// The literal shell counting and the literal count of Re - R for the correction values.
RunEngines literal_engines();

}  // namespace talvik::oracle
