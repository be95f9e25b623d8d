// The range of balls that the Steiner polynomial describes, chosen from the shells themselves.
// Once a ball's de passes the radius of the grains of Xe, its shell takes in whole grains and
// the shell fraction flattens towards the volume fraction of Xe, which no cubic follows; the
// balls before that point are the ones to fit.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvik {

struct BallRange {
    size_t used = 0;  // the fit takes balls 1 .. used
    // Even the smallest balls lie past the point where the shells flatten: the grains are too
    // small for the voxel size.
    bool smallest_flatten = false;
    std::string reason;  // one sentence for the verbose log, ending in a line feed
};

// From the volume fraction and the de of every shell, in file order (de ascending).
BallRange choose_ball_range(const std::vector<double>& fractions, const std::vector<double>& de);

}  // namespace talvik
