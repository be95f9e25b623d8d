// The checks that stand before a run: parameters that could not make a model, or that would
// make the radius redraw run on forever, are refused with a message that says why.
#pragma once

#include <string>

#include "boolean_model.h"
#include "radius_law.h"

namespace brisolt {

// A Poisson variate of this mean stays well inside a signed 32-bit count: the sampler's
// table ends about 10 standard deviations above the mean.
inline constexpr double kMaxBallCountMean = 2.0e9;

// Below this chance of one draw landing in 0 .. R, the redraw loop would take longer than
// anyone waits, and the parameters are almost surely a mistake.
inline constexpr double kMinRadiusAcceptance = 1e-4;

// Empty when a run can be made with `parameters`, else the first reason it cannot.
std::string model_problem(const formats::ModelParameters& parameters);

}  // namespace brisolt
