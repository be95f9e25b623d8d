// The law of the integer radius that draw_ball() produces: the chosen law's value truncated
// toward zero and kept only when it lands in 0 .. R, so the law conditioned on 0 <= r <= R.
#pragma once

#include <vector>

#include "formats/model_parameters.h"

namespace brisolt {

// The chance that one value of the law, before truncation, gives the radius j: a value in
// (-1, 1) for j = 0, in [j, j + 1) for j >= 1. "Uniform" is uniform between its bounds,
// "LogNormal" is exp(G p2 + p1) with G standard normal cut to [-8, 8], "Exponential" is E p1
// with E exponential of mean 1 cut to [0, 40], as the sampler draws them; any other law
// gives R with certainty.
double radius_value_mass(const formats::ModelParameters& parameters, uint32_t j);

// The chance that one radius draw of the law is kept (truncates to 0 .. R): the mass of
// radius_value_mass() over j = 0 .. R, taken in one piece.
double radius_acceptance(const formats::ModelParameters& parameters);

// P(r = j) for j = 0 .. R. All zero when no draw can be kept (model_problem() refuses such
// parameters before a run).
std::vector<double> radius_law(const formats::ModelParameters& parameters);

}  // namespace brisolt
