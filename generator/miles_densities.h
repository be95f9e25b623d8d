// Miles' formulae: the intrinsic-volume densities, per voxel, of a stationary Boolean model
// of balls with intensity lambda and radii from a law on 0 .. R.
#pragma once

#include <vector>

#include "formats/model_file.h"

namespace brisolt {

// The generator's names for the grain and density records of model.txt.
using formats::IntrinsicDensities;
using formats::MeanGrain;

// `law`[j] is P(r = j). epsilon = 0 gives the model's grains; epsilon = the de of a ball
// gives the grains of the model dilated by that ball.
MeanGrain mean_grain(const std::vector<double>& law, double epsilon);

IntrinsicDensities miles_densities(double lambda, const MeanGrain& grain);

}  // namespace brisolt
