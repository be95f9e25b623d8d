// The shell volumes: Xe, (Xe)* and the edge-corrected volume of every shell ((Xe)*)d\(Xe)*.
#pragma once

#include <vector>

#include "balls_file.h"
#include "diagnostics.h"
#include "matrix.h"
#include "morphology_engine.h"

namespace talvik {

// Builds Xe from X with the epsilon ball, turns it into (Xe)*, and for d = 1 .. N stores in
// V(d - 1, 0) the volume fraction of the shell of ball d inside the measuring window.
void measure_shells(MorphologyEngine& engine, const VolumeShape& shape,
                    const std::vector<DiscretizedBall>& balls, size_t epsilon_index, Matrix& v,
                    const VerboseLog& log);

}  // namespace talvik
