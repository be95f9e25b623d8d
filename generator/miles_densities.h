// Miles' formulae: the intrinsic-volume densities, per voxel, of a stationary Boolean model
// of balls with intensity lambda and radii from a law on 0 .. R.
#pragma once

#include <vector>

namespace brisolt {

// Mean values over the radius law of one grain, a ball of radius rho = j + epsilon:
// volume 4/3 pi rho^3, surface area 4 pi rho^2, integral of mean curvature 4 pi rho.
struct MeanGrain {
    double vbar = 0.0;
    double sbar = 0.0;
    double mbar = 0.0;
};

// `law`[j] is P(r = j). epsilon = 0 gives the model's grains; epsilon = the de of a ball
// gives the grains of the model dilated by that ball.
MeanGrain mean_grain(const std::vector<double>& law, double epsilon);

// Volume fraction V3, half the surface area V2, V1 = (integral of mean curvature) / pi and
// the Euler characteristic V0, per unit volume, normalised so that one ball of radius r has
// V2 = 2 pi r^2, V1 = 4 r and V0 = 1.
struct IntrinsicDensities {
    double v3 = 0.0;
    double v2 = 0.0;
    double v1 = 0.0;
    double v0 = 0.0;
};

IntrinsicDensities miles_densities(double lambda, const MeanGrain& grain);

}  // namespace brisolt
