// The shell volumes: Xe, (Xe)* and the edge-corrected volume of every shell ((Xe)*)d\(Xe)*.
#pragma once

#include <memory>
#include <vector>

#include "balls_file.h"
#include "diagnostics.h"
#include "matrix.h"
#include "morphology_engine.h"
#include "word_volume.h"

namespace talvik {

class ShellMeasurement {
  public:
    // Takes X over. On the general path it creates Xe and ((Xe)*)d at once, so that a
    // shortage of memory shows before anything else is computed; the distance path holds
    // no other volume.
    ShellMeasurement(MorphologyEngine& engine, WordVolume x,
                     const std::vector<DiscretizedBall>& balls);

    // Builds Xe from X with the epsilon ball, turns it into (Xe)*, and for d = 1 .. N stores
    // in V(d - 1, 0) the volume fraction of the shell of ball d inside the measuring window.
    // The progress lines are the same on both paths; the distance path counts every shell
    // while Xe is reported.
    void measure(const std::vector<DiscretizedBall>& balls, size_t epsilon_index, Matrix& v,
                 const VerboseLog& log);

  private:
    MorphologyEngine& engine_;
    VolumeShape shape_;
    bool all_at_once_;
    WordVolume x_;  // the distance path reads X as loaded
    std::unique_ptr<MorphologyEngine::Volume> x_volume_;
    std::unique_ptr<MorphologyEngine::Volume> xe_;
    std::unique_ptr<MorphologyEngine::Volume> xd_;
};

}  // namespace talvik
